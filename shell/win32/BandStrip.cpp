// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/win32/BandStrip.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/SignalReport.h"
#include "modem/StationState.h"
#include "modem/audio/AudioDevice.h"
#include "shell/BandPlan.h"
#include "shell/LevelMeter.h"
#include "shell/Spectrogram.h"
#include "shell/StripTexts.h"
#include "shell/Waterfall.h"
#include "shell/win32/Menus.h"
#include "shell/win32/StripPainter.h"

namespace quillon {
namespace {

constexpr char kBandStripClassName[] = "QuillonBandStrip";
// Ticks without captured audio before the meter reads silence: half a
// second, so that a driver that hands over its blocks in bunches does not
// make the meter flicker.
constexpr int kIdleTicksBeforeSilence = 5;

// A device's name as the device pop-ups list it; empty for the default
// device. A stored device that is not in the list shows its number.
std::string DeviceName(AudioDirection direction, int number) {
  if (number < 0) return {};
  if (ShellAudioDevices != nullptr) {
    const std::vector<std::string> names = ShellAudioDevices->ListDevices(direction);
    if (number < static_cast<int>(names.size())) return names[static_cast<std::size_t>(number)];
  }
  return "#" + std::to_string(number);
}

// What the strip shows, fed on the window thread from the station's monitor
// tap and from the link's reports.
class BandStripState {
 public:
  explicit BandStripState(StationState& station)
      : station_(station), level_(LevelMeter().Take()), report_line_(NoSignalReportText()) {
    FollowStation();
  }

  // Takes every block the tap holds into the waterfall and the meter, and
  // follows the mode and device choices; true when there is anything new to
  // show.
  bool Tick() {
    const bool station_changed = FollowStation();
    std::array<int16_t, kAudioBlockSamples> block{};
    bool fed = false;
    while (station_.monitor_tap.Take(block.data())) {
      meter_.Feed(block.data(), kAudioBlockSamples);
      if (spectrogram_.Feed(block.data(), kAudioBlockSamples)) waterfall_.AddLine(spectrogram_.Line());
      fed = true;
    }
    if (fed) {
      idle_ticks_ = 0;
      level_ = meter_.Take();
      return true;
    }
    if (idle_ticks_ < kIdleTicksBeforeSilence && ++idle_ticks_ == kIdleTicksBeforeSilence) {
      level_ = meter_.Take();  // nothing fed: silence, too weak
      return true;
    }
    return station_changed;
  }

  void ShowReport(const SignalReport& report) {
    report_line_ = SignalReportText(report);
    has_report_ = true;
    report_offset_hz_ = report.offset_hz;
  }

  const std::string& ReportLine() const { return report_line_; }

  void Paint(HDC dc, int width, int height) const {
    painter_.Paint(dc, width, height,
                   StripContent{waterfall_, level_, report_line_, station_line_, has_report_, report_offset_hz_});
  }

 private:
  // True when the mode, a device or the device list changed.
  bool FollowStation() {
    const int mode = station_.mode_number.load();
    const int input = station_.InDECSW.load();
    const int output = station_.OutDECSW.load();
    if (mode == mode_number_ && input == input_ && output == output_ && ShellAudioDevices == devices_) return false;
    if (mode != mode_number_) waterfall_.SetBandPlan(BandPlanForMode(mode));
    mode_number_ = mode;
    input_ = input;
    output_ = output;
    devices_ = ShellAudioDevices;
    station_line_ = StationText(mode, DeviceName(AudioDirection::Capture, input),
                                DeviceName(AudioDirection::Playback, output));
    return true;
  }

  StationState& station_;
  Spectrogram spectrogram_;
  Waterfall waterfall_;
  LevelMeter meter_;
  LevelReading level_;
  int idle_ticks_ = 0;
  std::string report_line_;
  bool has_report_ = false;
  double report_offset_hz_ = 0;
  std::string station_line_;
  // What the station line was made from; a device number is never -2.
  int mode_number_ = 0;
  int input_ = -2;
  int output_ = -2;
  const AudioBackend* devices_ = nullptr;
  StripPainter painter_;
};

BandStripState* StateOf(HWND strip) {
  return reinterpret_cast<BandStripState*>(GetWindowLongPtrA(strip, GWLP_USERDATA));
}

void PaintWhole(HWND strip, HDC dc) {
  RECT client{};
  GetClientRect(strip, &client);
  StateOf(strip)->Paint(dc, client.right, client.bottom);
}

LRESULT CALLBACK BandStripProc(HWND strip, UINT message, WPARAM wparam, LPARAM lparam) {
  // Only what comes before WM_NCCREATE finds no state.
  if (message != WM_NCCREATE && StateOf(strip) == nullptr) return DefWindowProcA(strip, message, wparam, lparam);
  switch (message) {
    case WM_NCCREATE: {
      auto* station = static_cast<StationState*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
      if (station == nullptr) return FALSE;  // only CreateBandStrip makes a strip: it names the station
      // Owned by the window from here on; WM_NCDESTROY, its last message,
      // takes it back.
      SetWindowLongPtrA(strip, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(std::make_unique<BandStripState>(*station).release()));
      break;
    }
    case WM_CREATE:
      SetTimer(strip, kBandStripTimerId, kBandStripTickMs, nullptr);
      return 0;
    case WM_NCDESTROY:
      KillTimer(strip, kBandStripTimerId);
      std::unique_ptr<BandStripState>(StateOf(strip)).reset();
      SetWindowLongPtrA(strip, GWLP_USERDATA, 0);
      break;
    case WM_TIMER:
      if (wparam == kBandStripTimerId && StateOf(strip)->Tick()) InvalidateRect(strip, nullptr, FALSE);
      return 0;
    case kShowSignalReportMessage:
      StateOf(strip)->ShowReport(*reinterpret_cast<const SignalReport*>(lparam));
      // The strip's window text is its report line, for whatever reads
      // window texts (screen readers, tests).
      SetWindowTextA(strip, StateOf(strip)->ReportLine().c_str());
      InvalidateRect(strip, nullptr, FALSE);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the painting covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(strip, &paint);
      PaintWhole(strip, dc);
      EndPaint(strip, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintWhole(strip, reinterpret_cast<HDC>(wparam));
      return 0;
    default:
      break;
  }
  return DefWindowProcA(strip, message, wparam, lparam);
}

}  // namespace

bool RegisterBandStripClass(HINSTANCE instance) {
  WNDCLASSEXA strip_class{};
  strip_class.cbSize = sizeof(strip_class);
  strip_class.style = CS_HREDRAW | CS_VREDRAW;
  strip_class.lpfnWndProc = BandStripProc;
  strip_class.hInstance = instance;
  strip_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  strip_class.lpszClassName = kBandStripClassName;
  return RegisterClassExA(&strip_class) != 0;
}

HWND CreateBandStrip(HWND parent, HINSTANCE instance, StationState& station) {
  // Sized by the parent's layout.
  return CreateWindowExA(0, kBandStripClassName, NoSignalReportText().c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                         parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBandStripId)), instance, &station);
}

}  // namespace quillon
