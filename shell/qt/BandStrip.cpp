// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt/BandStrip.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <vector>

#include "link/Cp1251.h"
#include "shell/BandPlan.h"
#include "shell/Layout.h"
#include "shell/StripTexts.h"

namespace quillon {
namespace {

// A second without audio (the capture device closed or stalled) and the
// meter falls to silence rather than keep showing the last level.
constexpr int kQuietTicksToSilence = 10;
constexpr int kScaleFrequenciesHz[] = {500, 1000, 1500, 2000, 2500};
constexpr double kMeterTicksDbfs[] = {0, -10, -20, -30, -40, -50, -60, -70};

const QColor kFrame(64, 64, 64);
const QColor kBandColour(0x40, 0xC0, 0x40);
const QColor kSearchColour(0xE0, 0x40, 0xE0);
const QColor kMeterBackground(40, 40, 40);
const QColor kGoodRegion(30, 90, 30);
const QColor kClipRegion(120, 20, 20);

QRect Rect(const ControlRect& at) { return QRect(at.x, at.y, at.width, at.height); }

QString FromCp1251(const std::string& text) { return QString::fromStdString(Cp1251ToUtf8(text)); }

QColor VerdictColour(LevelVerdict verdict) {
  switch (verdict) {
    case LevelVerdict::kGood: return QColor(0, 110, 0);
    case LevelVerdict::kAcceptable: return QColor(0, 0, 0);
    case LevelVerdict::kTooWeak: return QColor(150, 90, 0);
    case LevelVerdict::kClipping: return QColor(200, 0, 0);
  }
  return QColor(0, 0, 0);
}

QColor BarColour(LevelVerdict verdict) {
  switch (verdict) {
    case LevelVerdict::kGood: return QColor(60, 200, 60);
    case LevelVerdict::kAcceptable: return QColor(220, 200, 40);
    case LevelVerdict::kTooWeak: return QColor(120, 120, 140);
    case LevelVerdict::kClipping: return QColor(240, 40, 40);
  }
  return QColor(120, 120, 140);
}

// y of a level on the meter bar: 0 dBFS at the top.
int MeterY(const QRect& bar, double dbfs) {
  return bar.bottom() - static_cast<int>(LevelMeter::ScaleFraction(dbfs) * (bar.height() - 1));
}

}  // namespace

BandStrip::BandStrip(StationState& station, AudioBackend& devices, QWidget* parent)
    : QWidget(parent), station_(station), devices_(devices), report_line_(FromCp1251(NoSignalReportText())) {
  setObjectName(QStringLiteral("bandStrip"));
  reading_ = meter_.Take();
  FollowStation();
  connect(&timer_, &QTimer::timeout, this, [this] { Drain(); });
  SetRunning(true);
}

void BandStrip::SetRunning(bool running) {
  if (running)
    timer_.start(kTickMs);
  else
    timer_.stop();
}

void BandStrip::Drain() {
  FollowStation();
  std::array<int16_t, kAudioBlockSamples> block;
  int blocks = 0;
  while (station_.monitor_tap.Take(block.data())) {
    ++blocks;
    meter_.Feed(block.data(), kAudioBlockSamples);
    if (spectrogram_.Feed(block.data(), kAudioBlockSamples)) waterfall_.AddLine(spectrogram_.Line());
  }
  if (blocks > 0) {
    quiet_ticks_ = 0;
    reading_ = meter_.Take();
  } else if (++quiet_ticks_ == kQuietTicksToSilence) {
    reading_ = meter_.Take();
  } else {
    return;
  }
  update();
}

void BandStrip::ShowSignalReport(const SignalReport& report) {
  report_line_ = FromCp1251(SignalReportText(report));
  update();
}

void BandStrip::FollowStation() {
  const int mode = station_.mode_number.load();
  const int input = station_.InDECSW.load();
  const int output = station_.OutDECSW.load();
  if (mode == mode_number_ && input == input_number_ && output == output_number_) return;
  if (mode != mode_number_) waterfall_.SetBandPlan(BandPlanForMode(mode));
  mode_number_ = mode;
  input_number_ = input;
  output_number_ = output;
  station_line_ = FromCp1251(StationText(mode, Utf8ToCp1251(DeviceName(AudioDirection::Capture, input).toStdString()),
                                         Utf8ToCp1251(DeviceName(AudioDirection::Playback, output).toStdString())));
  update();
}

// Empty for the default device; the number for one no longer listed.
QString BandStrip::DeviceName(AudioDirection direction, int number) {
  if (number < 0) return QString();
  const std::vector<std::string> names = devices_.ListDevices(direction);
  if (number < static_cast<int>(names.size())) return QString::fromStdString(names[number]);
  return QStringLiteral("#%1").arg(number);
}

void BandStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const BandStripLayout parts = ComputeBandStripLayout({0, 0, width(), height()});
  QFont small = font();
  small.setPixelSize(10);

  // The waterfall, stretched sideways to its place (one row per pixel row).
  const QRect picture = Rect(parts.waterfall);
  const QImage image(reinterpret_cast<const uchar*>(waterfall_.Pixels()), waterfall_.Width(), waterfall_.Height(),
                     waterfall_.Width() * 4, QImage::Format_RGB32);
  painter.drawImage(picture, image);
  painter.setPen(kFrame);
  painter.drawRect(picture.adjusted(0, 0, -1, -1));

  // Under it: the band and the search range as bars, then the scale.
  const QRect scale = Rect(parts.frequency_scale);
  const BandPlan plan = BandPlanForMode(mode_number_);
  auto x_of = [&](double hz) {
    return picture.x() + std::clamp(Waterfall::XForFrequency(hz, picture.width()), 0, picture.width() - 1);
  };
  painter.fillRect(QRect(QPoint(x_of(plan.search_low_hz), scale.y()), QPoint(x_of(plan.search_high_hz), scale.y())),
                   kSearchColour);
  painter.fillRect(QRect(QPoint(x_of(plan.band_low_hz), scale.y() + 1), QPoint(x_of(plan.band_high_hz), scale.y() + 2)),
                   kBandColour);
  painter.setFont(small);
  painter.setPen(Qt::black);
  for (int hz : kScaleFrequenciesHz) {
    const int x = picture.x() + Waterfall::XForFrequency(hz, picture.width());
    painter.drawLine(x, scale.y() + 3, x, scale.y() + 4);
    painter.drawText(QRect(x - 20, scale.y() + 3, 40, scale.height() - 3), Qt::AlignHCenter | Qt::AlignTop,
                     QString::number(hz));
  }

  // The report and the station, cut short with an ellipsis where too long.
  painter.setFont(font());
  const QFontMetrics metrics(font());
  const QRect report = Rect(parts.report_line);
  const QRect station = Rect(parts.station_line);
  painter.drawText(report, Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(report_line_, Qt::ElideRight, report.width()));
  painter.drawText(station, Qt::AlignLeft | Qt::AlignVCenter,
                   metrics.elidedText(station_line_, Qt::ElideRight, station.width()));

  // The meter: the good region and the clip region on the bar's background,
  // the RMS level as the bar, the peak as a white line.
  const QRect bar = Rect(parts.meter_bar);
  painter.fillRect(bar, kMeterBackground);
  painter.fillRect(QRect(QPoint(bar.left(), MeterY(bar, LevelMeter::kGoodHighDbfs)),
                         QPoint(bar.right(), MeterY(bar, LevelMeter::kGoodLowDbfs))),
                   kGoodRegion);
  painter.fillRect(QRect(QPoint(bar.left(), bar.top()), QPoint(bar.right(), MeterY(bar, LevelMeter::kClipDbfs))),
                   kClipRegion);
  if (reading_.rms_dbfs > LevelMeter::kScaleBottomDbfs)
    painter.fillRect(QRect(QPoint(bar.left() + 3, MeterY(bar, reading_.rms_dbfs)), QPoint(bar.right() - 3, bar.bottom())),
                     BarColour(reading_.verdict));
  if (reading_.peak_dbfs > LevelMeter::kScaleBottomDbfs) {
    painter.setPen(Qt::white);
    const int peak_y = MeterY(bar, reading_.peak_dbfs);
    painter.drawLine(bar.left(), peak_y, bar.right(), peak_y);
  }
  const QRect meter_scale = Rect(parts.meter_scale);
  painter.setFont(small);
  painter.setPen(Qt::black);
  for (double dbfs : kMeterTicksDbfs) {
    const int y = MeterY(bar, dbfs);
    painter.drawLine(meter_scale.left(), y, meter_scale.left() + 3, y);
    if (static_cast<int>(dbfs) % 20 == 0)
      painter.drawText(QRect(meter_scale.left() + 5, std::max(0, y - 6), meter_scale.width() - 5, 12),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       QString::number(dbfs) + (dbfs == 0 ? QStringLiteral(" dBFS") : QString()));
  }
  const QRect reading = Rect(parts.meter_reading);
  painter.setFont(font());
  painter.drawText(reading.adjusted(0, 0, 0, -reading.height() / 2), Qt::AlignLeft | Qt::AlignVCenter,
                   FromCp1251(LevelText(reading_)));
  QFont bold = font();
  bold.setBold(true);
  painter.setFont(bold);
  painter.setPen(VerdictColour(reading_.verdict));
  painter.drawText(reading.adjusted(0, reading.height() / 2, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   FromCp1251(LevelVerdictText(reading_.verdict)));
}

}  // namespace quillon
