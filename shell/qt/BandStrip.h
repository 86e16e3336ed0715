// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The band strip along the bottom of the window: the waterfall of the
// captured audio with the mode's band and the receiver's search range, the
// level meter, the last signal report, and the mode and devices in use.
//
// Every 100 ms it drains the station's monitor tap (the capture thread's
// copies of what it recorded), so it runs whenever the capture device is
// open, while receiving and while transmitting alike. It reads the mode and
// the device numbers from the station on the same tick.

#include <QString>
#include <QTimer>
#include <QWidget>

#include <string>

#include "link/SignalReport.h"
#include "modem/StationState.h"
#include "modem/audio/AudioDevice.h"
#include "shell/LevelMeter.h"
#include "shell/Spectrogram.h"
#include "shell/Waterfall.h"

namespace quillon {

class BandStrip : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kTickMs = 100;

  BandStrip(StationState& station, AudioBackend& devices, QWidget* parent);

  // Everything the tap holds now goes into the picture and the meter.
  void Drain();
  // Starts or stops the timer that drains the tap (tests drain by hand).
  void SetRunning(bool running);
  void ShowSignalReport(const SignalReport& report);

  // As shown, for tests.
  const QString& ReportLine() const { return report_line_; }
  const QString& StationLine() const { return station_line_; }
  const LevelReading& Reading() const { return reading_; }
  const Waterfall& Picture() const { return waterfall_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Takes up a changed mode or device choice.
  void FollowStation();
  QString DeviceName(AudioDirection direction, int number);

  StationState& station_;
  AudioBackend& devices_;
  QTimer timer_;
  Spectrogram spectrogram_;
  Waterfall waterfall_;
  LevelMeter meter_;
  LevelReading reading_;
  int quiet_ticks_ = 0;  // ticks without a captured block
  int mode_number_ = -1;
  int input_number_ = -2;   // none chosen yet: -1 is the default device
  int output_number_ = -2;
  QString report_line_;
  QString station_line_;
};

}  // namespace quillon
