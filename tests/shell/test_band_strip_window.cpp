// SPDX-License-Identifier: GPL-3.0-or-later
// The band strip in the Linux window: what it takes from the monitor tap,
// the mode and devices it follows, the report it is handed from the link's
// thread, and screenshots of it to look at: a weak signal in noise at the
// default and the smallest window size, and a message received over the
// loopback device.

#include <QtTest>

#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "link/Cp1251.h"
#include "shell/Layout.h"
#include "shell/qt/Program.h"
#include "shell/qt/WindowView.h"
#include "tests/shell/ShellFixture.h"

using namespace quillon;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Audio of an 8-tone signal like 8/500's (tones 62.5 Hz apart, one of them
// for each 32 ms symbol, centred at `centre_hz`) in Gaussian noise, `snr_db`
// in 2500 Hz, noise at -30 dBFS RMS. Phase runs on across symbols.
std::vector<int16_t> WeakSignal(double seconds, double centre_hz, double snr_db) {
  std::mt19937 random(7);
  const double noise_rms = 32767.0 * std::pow(10.0, -30.0 / 20);
  std::normal_distribution<double> noise(0.0, noise_rms);
  std::uniform_int_distribution<int> tone(0, 7);
  // Noise over 4000 Hz; the signal's power is set against its share in 2500 Hz.
  const double signal_rms = noise_rms * std::sqrt(2500.0 / 4000.0) * std::pow(10.0, snr_db / 20);
  const double amplitude = signal_rms * std::sqrt(2.0);
  std::vector<int16_t> samples(static_cast<std::size_t>(seconds * kSampleRateHz));
  double phase = 0;
  double hz = centre_hz;
  for (std::size_t n = 0; n < samples.size(); ++n) {
    if (n % 256 == 0) hz = centre_hz + (tone(random) - 3.5) * 62.5;
    phase += 2 * kPi * hz / kSampleRateHz;
    samples[n] = static_cast<int16_t>(std::lround(std::clamp(amplitude * std::sin(phase) + noise(random), -32768.0, 32767.0)));
  }
  return samples;
}

// Puts audio into the tap block by block, draining it as the timer would.
void Play(StationState& station, BandStrip& strip, const std::vector<int16_t>& audio) {
  for (std::size_t at = 0; at + kAudioBlockSamples <= audio.size(); at += kAudioBlockSamples) {
    QVERIFY(station.monitor_tap.Put(audio.data() + at));
    if ((at / kAudioBlockSamples) % 2 == 1) strip.Drain();
  }
  strip.Drain();
}

int Brightness(QRgb pixel) { return qRed(pixel) + qGreen(pixel) + qBlue(pixel); }

}  // namespace

class BandStripWindow : public QObject {
  Q_OBJECT

 private slots:
  // A tone at 1812.5 Hz lights its column in the window's picture at the x
  // the scale gives it; the meter reads the tone's level; the station line
  // follows the mode and device choices.
  void ToneReachesThePictureAndTheMeter() {
    ShellFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    BandStrip& strip = f.window->Strip();
    strip.SetRunning(false);
    std::vector<int16_t> tone(8000 * 2);
    for (std::size_t n = 0; n < tone.size(); ++n)
      tone[n] = static_cast<int16_t>(std::lround(3277 * std::sin(2 * kPi * 1812.5 * n / kSampleRateHz)));
    Play(*f.station, strip, tone);
    QVERIFY(std::abs(strip.Reading().rms_dbfs + 23.0) < 0.1);  // -20 dBFS peak: -23 dBFS RMS
    QCOMPARE(strip.Reading().verdict, LevelVerdict::kGood);

    const QImage shot = strip.grab().toImage();
    const BandStripLayout parts = ComputeBandStripLayout({0, 0, strip.width(), strip.height()});
    const int y = parts.waterfall.y + 2;  // the newest rows
    const int tone_x = parts.waterfall.x + Waterfall::XForFrequency(1812.5, parts.waterfall.width);
    // A clean tone saturates its column and its neighbours (the window's
    // main lobe): the middle of the brightest run is the tone's x, to within
    // a pixel of the stretch from 360 columns.
    int brightest = 0;
    for (int x = parts.waterfall.x + 1; x < parts.waterfall.x + parts.waterfall.width - 1; ++x)
      brightest = std::max(brightest, Brightness(shot.pixel(x, y)));
    int first = -1, last = -1;
    for (int x = parts.waterfall.x + 1; x < parts.waterfall.x + parts.waterfall.width - 1; ++x)
      if (Brightness(shot.pixel(x, y)) == brightest) {
        if (first < 0) first = x;
        last = x;
      }
    QVERIFY2(std::abs((first + last) / 2 - tone_x) <= 1 && last - first <= 4,
             qPrintable(QString("%1..%2 vs %3").arg(first).arg(last).arg(tone_x)));

    QVERIFY(strip.StationLine().startsWith(QStringLiteral("OLIVIA 8/500")));
    f.window->RunCommand(313);  // OLIVIA_16_1000
    f.window->RunCommand(402);  // the first capture device: the loopback here
    strip.Drain();
    QVERIFY(strip.StationLine().startsWith(QStringLiteral("OLIVIA 16/1000")));
    QVERIFY2(strip.StationLine().contains(QStringLiteral("Вход: Quillon loopback")), qPrintable(strip.StationLine()));
    QVERIFY(strip.StationLine().contains(QStringLiteral("Выход: по умолчанию")));
  }

  // The link controller's thread hands the report over through the view.
  void ReportFromTheLinkThreadIsShown() {
    ShellFixture f;
    WindowView view(*f.window);
    QCOMPARE(f.window->Strip().ReportLine(), QStringLiteral("Принятых сообщений ещё нет"));
    SignalReport report;
    report.snr_db = -8.2;
    report.offset_hz = 23.4;
    report.mode_number = 101;
    report.time = std::time(nullptr);
    std::thread link([&view, &report] { view.ShowSignalReport(report); });
    QTRY_VERIFY(f.window->Strip().ReportLine().startsWith(QStringLiteral("SNR -8 dB  +23 Hz  8/500  ")));
    link.join();
  }

  // For the eye: a signal at -12 dB SNR, 40 Hz off the centre, in noise, at
  // the window's default size and at its smallest.
  void WeakSignalScreenshots() {
    ShellFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    BandStrip& strip = f.window->Strip();
    strip.SetRunning(false);
    Play(*f.station, strip, WeakSignal(9.0, 1540.0, -12.0));
    QVERIFY(f.window->grab().save(ScreenshotPath("band_weak_signal.png")));
    f.window->resize(kMinWindowWidth, kMinWindowHeight);
    QTRY_COMPARE(f.window->size(), QSize(kMinWindowWidth, kMinWindowHeight));
    QVERIFY(f.window->grab().save(ScreenshotPath("band_weak_signal_smallest.png")));
  }

  // The station hears itself over the loopback device in the default mode
  // (8/500), in real time: the strip shows the signal, the level and the
  // report of the message received.
  void MessageOverTheLoopbackScreenshot() {
    TempHome home;
    LinkState link;
    StationState station(link, 4000);
    AudioDevices devices(nullptr);
    home.Write("init.ini", SettingsBytes({502, 402, INT32_MIN, INT32_MIN, 0, 0, 0, 0, 101}));
    Program program(ProgramContext{station, devices, home.Path(), {}, [](const std::string&) { return true; }});
    program.Start();
    MainWindow& window = program.Window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.UpperPane().setPlainText(QStringLiteral("CQ CQ de UA3ABC"));
    QTest::mouseClick(&window.TransmitButton(), Qt::LeftButton);
    // While the station sends, the strip shows what it hears of itself: the
    // loopback's level (about -13 dBFS RMS) in the good region.
    QTRY_VERIFY_WITH_TIMEOUT(window.Strip().Reading().verdict == LevelVerdict::kGood, 10000);
    QCOMPARE(link.PRD_R.load(), 1);
    QTest::qWait(4000);  // the waterfall fills with the signal meanwhile
    QVERIFY(window.grab().save(ScreenshotPath("window_band_sending.png")));
    QTRY_COMPARE_WITH_TIMEOUT(window.LowerPane().toPlainText(), QStringLiteral("CQ CQ de UA3ABC"), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(window.Strip().ReportLine().startsWith(QStringLiteral("SNR ")), 5000);
    QVERIFY(window.grab().save(ScreenshotPath("window_band_received.png")));
    window.resize(kMinWindowWidth, kMinWindowHeight);
    QTRY_COMPARE(window.size(), QSize(kMinWindowWidth, kMinWindowHeight));
    QVERIFY(window.grab().save(ScreenshotPath("window_band_received_smallest.png")));
    program.Finish();
  }
};

QTEST_MAIN(BandStripWindow)
#include "test_band_strip_window.moc"
