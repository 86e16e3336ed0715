// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LinkController.h"

#include <chrono>
#include <ctime>
#include <cstdarg>
#include <cstdio>
#include <thread>
#include <vector>

#include "link/CheckExtension.h"
#include "link/Frame.h"
#include "link/FrameVerdict.h"

namespace quillon {
namespace {

std::string Printf(const char* format, ...) {
  char text[128];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

// "Осталось    %d" in cp1251.
constexpr char kRemainingFormat[] = "\xCE\xF1\xF2\xE0\xEB\xEE\xF1\xFC    %d";
// "Слишком длинный текст: %d из %d" in cp1251.
constexpr char kTooLongFormat[] =
    "\xD1\xEB\xE8\xF8\xEA\xEE\xEC \xE4\xEB\xE8\xED\xED\xFB\xE9 \xF2\xE5\xEA\xF1\xF2: %d \xE8\xE7 %d";
// "Выход звука не открыт: текст не передан" in cp1251.
constexpr char kNoPlaybackText[] =
    "\xC2\xFB\xF5\xEE\xE4 \xE7\xE2\xF3\xEA\xE0 \xED\xE5 \xEE\xF2\xEA\xF0\xFB\xF2: "
    "\xF2\xE5\xEA\xF1\xF2 \xED\xE5 \xEF\xE5\xF0\xE5\xE4\xE0\xED";

}  // namespace

LinkController::LinkController(const LinkControllerContext& context)
    : state_(context.state),
      view_(context.view),
      start_transmitter_(context.start_transmitter),
      playback_open_(context.playback_open),
      key_transmitter_(context.key_transmitter),
      send_check_extension_(context.send_check_extension),
      archive_(context.home_directory, context.clock),
      receiver_(context.receive),
      mode_number_(context.mode_number) {}

void LinkController::Tick() {
  WatchEndOfTransmission();
  CountDown();
  ServeTransmitRequest();
  DrainReceiveRing();
}

void LinkController::Run() {
  while (state_.STOPTIM.load() == 0) {
    Tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(kTickMilliseconds));
  }
}

// The transmit indicator goes out no sooner than two ticks after the end of
// the transmission was seen, and only once playback has queued silence after
// that moment, so the icon stays red while the last audio is still playing.
void LinkController::WatchEndOfTransmission() {
  if (after_transmit_ != 0) {
    ++after_transmit_;
    if (after_transmit_ > 2 && state_.ZeroYes.load() != 0) {
      state_.PRD_R.store(0);
      view_.Iconki();
      state_.ZeroYes.store(0);
      after_transmit_ = 0;
    }
  }
  const int start_prd = state_.start_prd.load();
  if (start_prd != last_start_prd_) {
    if (start_prd == 0) {
      after_transmit_ = 1;
      state_.ZeroYes.store(0);
    }
    last_start_prd_ = start_prd;
  }
}

void LinkController::CountDown() {
  if (remaining_ == 0) return;
  remaining_ = state_.GetKolPrd();
  view_.SetStatusText(Printf(kRemainingFormat, remaining_));
}

void LinkController::ServeTransmitRequest() {
  if (state_.Ura.load() == 0) return;
  std::string text = view_.FetchUpperText(kMaxTextBytes);
  text = text.substr(0, text.find('\0'));
  if (text.size() > static_cast<std::size_t>(kMaxTextBytes)) text.resize(kMaxTextBytes);
  if (!text.empty()) SendText(text);
  state_.Ura.store(0);
}

void LinkController::SendText(const std::string& text) {
  // Without a playback device the frame would wait in the ring and go on air
  // after some later device change, long after the operator gave up on it.
  if (playback_open_ && !playback_open_()) {
    view_.SetStatusText(kNoPlaybackText);
    return;
  }
  const std::vector<int> frame = send_check_extension_ ? BuildExtendedFrame(text) : BuildFrame(text);
  const int check = TextCheckCharacter(text);
  // All of the frame but its markers (3 + 1), check character and
  // extension; the limit is the same with or without the extension.
  const int framing = 5 + (send_check_extension_ ? kExtensionLength : 0);
  const int coded_bytes = static_cast<int>(frame.size()) - framing;
  // The writer never tests for room, so a frame that does not fit would
  // overwrite its own unsent start: refuse it whole. The ring is normally
  // empty here, leaving room for 9989 coded bytes.
  const int room = kMaxCodedBytes - state_.GetKolPrd();
  if (coded_bytes > room) {
    view_.SetStatusText(Printf(kTooLongFormat, coded_bytes, room));
    return;
  }
  // A radio that cannot be keyed refuses the message rather than sending it
  // into a receiving transceiver.
  std::string refusal;
  if (key_transmitter_ && !key_transmitter_(refusal)) {
    view_.SetStatusText(refusal);
    return;
  }
  for (int entry : frame) state_.CBufer.Put(entry);
  view_.SetStatusText(Printf("CRC   %X", static_cast<unsigned>(check)));
  remaining_ = state_.GetKolPrd();
  state_.CBufer.Put(kEndOfTransmission);
  state_.PRD_R.store(1);
  view_.Iconki();
  if (start_transmitter_) start_transmitter_();
  state_.start_prd.store(1);
  // Taken as seen here, so that a transmission that ends before the next
  // tick still turns the indicator off.
  last_start_prd_ = 1;
}

// One tick's worth of received characters, and then the tick's time for a
// frame that waits for its check extension.
void LinkController::DrainReceiveRing() {
  int entry = 0;
  float strength = 0;
  ReceivedSignal signal;
  while (state_.Bufer_Olivia.Take(entry, strength, signal)) {
    Show(receiver_.Feed(entry, strength));
    signal_.Follow(signal, receiver_.AwaitingExtension());
  }
  Show(receiver_.Elapse(kTickMilliseconds / 1000.0));
}

void LinkController::Show(const ReceiveEvents& events) {
  for (const ReceiveEvent& event : events) {
    switch (event.kind) {
      case ReceiveEvent::Kind::kFrameStart:
        signal_.Start();
        view_.SetLowerText("");
        state_.PRM_R.store(1);
        view_.Iconki();
        break;
      case ReceiveEvent::Kind::kCharacter:
        view_.InsertLowerChar(event.character);
        break;
      case ReceiveEvent::Kind::kFrameEnd:
        FinishFrame(event.frame);
        break;
      case ReceiveEvent::Kind::kNone:
        break;
    }
  }
}

void LinkController::FinishFrame(const ReceivedFrame& frame) {
  view_.SetLowerText("");
  view_.SetLowerText(frame.text);
  state_.USPESHNO.store(frame.Trusted() ? 1 : 0);
  view_.SetStatusText(FrameStatusText(frame));
  archive_.Append(frame);
  state_.PRM_R.store(0);
  view_.Iconki();
  view_.FocusArchiveButton();
  // A frame no block of which was measured (its characters pushed out at a
  // mode change) has no report; the window keeps showing the last one.
  if (signal_.Measured()) {
    SignalReport report = signal_.Report();
    report.mode_number = mode_number_;
    report.time = std::time(nullptr);
    view_.ShowSignalReport(report);
  }
}

void tim(const LinkControllerContext& context) {
  LinkController controller(context);
  controller.Run();
}

}  // namespace quillon
