// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LinkController.h"

#include <chrono>
#include <ctime>
#include <limits>
#include <cstdarg>
#include <cstdio>
#include <thread>
#include <vector>

#include "link/CheckExtension.h"
#include "link/Frame.h"
#include "link/FrameJson.h"
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
      name_modes_(!context.other_modes.empty()),
      announce_(context.announce),
      listening_since_(context.listening_since) {
  channels_.reserve(1 + context.other_modes.size());
  channels_.push_back(Channel{&state_.Bufer_Olivia, FrameReceiver(context.receive), context.mode_number,
                              context.mode_label});
  for (const OtherModeRing& other : context.other_modes)
    channels_.push_back(Channel{other.ring, FrameReceiver(other.receive), other.mode_number, other.mode_label});
}

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
// frame that waits for its check extension; the chosen mode's ring first.
void LinkController::DrainReceiveRing() {
  const double now_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - listening_since_).count();
  for (std::size_t index = 0; index < channels_.size(); ++index) Drain(index, now_s);
}

void LinkController::Drain(std::size_t index, double now_s) {
  Channel& channel = channels_[index];
  int entry = 0;
  float strength = 0;
  ReceivedSignal signal;
  while (channel.ring->Take(entry, strength, signal)) {
    Show(index, channel.receiver.Feed(entry, strength), now_s);
    channel.signal.Follow(signal, channel.receiver.AwaitingExtension());
    if (channel.check_seen || !channel.receiver.AwaitingExtension()) continue;
    channel.end_s = now_s;  // the check byte came: the frame waits for its extension
    channel.check_seen = true;
  }
  Show(index, channel.receiver.Elapse(kTickMilliseconds / 1000.0), now_s);
}

void LinkController::Show(std::size_t index, const ReceiveEvents& events, double now_s) {
  Channel& channel = channels_[index];
  const int number = static_cast<int>(index);
  for (const ReceiveEvent& event : events) {
    switch (event.kind) {
      case ReceiveEvent::Kind::kFrameStart:
        channel.signal.Start();
        channel.start_s = now_s;
        channel.check_seen = false;
        // Another mode's frame being typed keeps the pane.
        if (followed_ != -1 && followed_ != number) break;
        followed_ = number;
        view_.SetLowerText("");
        state_.PRM_R.store(1);
        view_.Iconki();
        break;
      case ReceiveEvent::Kind::kCharacter:
        if (followed_ == number) view_.InsertLowerChar(event.character);
        break;
      case ReceiveEvent::Kind::kFrameEnd:
        // The pane now holds this frame's text; a frame of another mode
        // that was being typed is shown when it ends.
        followed_ = -1;
        FinishFrame(channel, event.frame, now_s);
        break;
      case ReceiveEvent::Kind::kNone:
        break;
    }
  }
}

void LinkController::FinishFrame(Channel& channel, const ReceivedFrame& frame, double now_s) {
  if (!channel.check_seen) channel.end_s = now_s;
  view_.SetLowerText("");
  view_.SetLowerText(frame.text);
  state_.USPESHNO.store(frame.Trusted() ? 1 : 0);
  std::string status = FrameStatusText(frame);
  if (name_modes_) status = channel.label + ": " + status;
  SignalReport report = channel.signal.Report();
  report.mode_number = channel.mode_number;
  report.time = std::time(nullptr);
  if (const std::string failure = Announce(channel, frame, report); !failure.empty()) status += "; " + failure;
  view_.SetStatusText(status);
  archive_.Append(frame, name_modes_ ? channel.label : std::string());
  state_.PRM_R.store(0);
  view_.Iconki();
  view_.FocusArchiveButton();
  // A frame no block of which was measured (its characters pushed out at a
  // mode change) has no report; the window keeps showing the last one.
  if (channel.signal.Measured()) view_.ShowSignalReport(report);
}

std::string LinkController::Announce(const Channel& channel, const ReceivedFrame& frame, const SignalReport& report) {
  if (!announce_) return {};
  FrameHearing hearing;
  hearing.mode_label = channel.label.c_str();
  hearing.mode_number = channel.mode_number;
  hearing.start_s = channel.start_s;
  hearing.end_s = channel.end_s;
  // The receiver's own ratio lives on the driver thread: not known here.
  hearing.snr = std::numeric_limits<double>::quiet_NaN();
  hearing.snr_db = report.snr_db;
  hearing.freq_offset_hz = report.offset_hz;
  std::string error;
  if (announce_(FrameJson(frame, hearing, UtcTimeText(report.time)), error)) {
    announce_failing_ = false;
    return {};
  }
  if (announce_failing_) return {};
  announce_failing_ = true;
  return error;
}

void tim(const LinkControllerContext& context) {
  LinkController controller(context);
  controller.Run();
}

}  // namespace quillon
