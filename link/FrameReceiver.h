// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finds frames in the stream of received characters, one ring entry at a
// time: 22, 15, 15 starts a frame (whatever came before), the next 22 ends
// its text and the byte after that is its check byte. Then it waits a while
// for the check extension ('~' and three digits) that this program's
// senders append, and judges the frame:
//   verified    the check character and the extension both agree;
//   unverified  no extension came (a sender that knows only the frame), the
//               check character agrees and every block was decided firmly;
//   doubtful    as unverified, but some block of the frame was weak: the
//               check character alone (61 values) cannot vouch for it;
//   bad         the check character or the extension disagrees.
// The link controller turns the events into pane, icon and archive updates;
// the command-line decoder prints the finished frames.

#include <limits>
#include <string>
#include <vector>

namespace quillon {

enum class FrameIntegrity { kVerified, kUnverified, kDoubtful, kBad };
enum class ExtensionResult { kAbsent, kMatching, kMismatch };

// A character's decision strength when nothing measured it: always firm.
constexpr float kFirmStrength = std::numeric_limits<float>::infinity();

// The confidence gate for frames without the check extension: the weakest
// character of such a frame must have been decided at least this firmly
// (its winning Walsh magnitude over the rms of the 63 losing ones). A
// character that noise alone decided wins by the largest of 64 Gaussian
// magnitudes, about 2.2 to 2.8 rms. Calibrated on the channel simulator with
// legacy 40-character frames, 200 per 0.5 dB from 2 dB below to 1.5 dB above
// each 90 % point, AWGN and moderate fading: at 2.8, 8/500 still let 2 of 200
// frames through with a wrong text (AWGN, -12.5 dB); at 3.0 at most 1 of 200
// at any SNR, for 0.2 dB at its 90 % point (16/500, 32/1000 and 8/250 were at
// most 1 of 200 already at 2.8). The 4-tone modes carry only two characters
// a block and need more: at 2.8, 4/2000 let 2 of 200 through under fading
// and 2 of 400 in AWGN; at 3.2 none of 3200 under fading and at most 1 of
// 400 in AWGN, for 0.4 dB at its 90 % point (-1.9 to -1.5 dB).
constexpr float kConfidenceThreshold = 3.0f;
constexpr float kFourToneConfidenceThreshold = 3.2f;

// The gate for a mode of `bits_per_symbol` bits (tones = 2^bits).
constexpr float ConfidenceThreshold(unsigned bits_per_symbol) {
  return bits_per_symbol <= 2 ? kFourToneConfidenceThreshold : kConfidenceThreshold;
}

struct ReceivedFrame {
  std::string text;   // cp1251, decoded from the stored link bytes
  int expected = 0;   // check character computed over `text`
  int received = 0;   // check byte as received, sign-extended from 8 bits
  bool good = false;  // the two agree and the text is not empty
  int link_bytes = 0; // link bytes stored (at most kMaxStoredLinkBytes)
  ExtensionResult extension = ExtensionResult::kAbsent;
  float weakest = kFirmStrength;  // weakest decision strength from start marker to check byte
  FrameIntegrity integrity = FrameIntegrity::kBad;

  // Verified or unverified: what the window shows green and archives as a success.
  bool Trusted() const {
    return integrity == FrameIntegrity::kVerified || integrity == FrameIntegrity::kUnverified;
  }
};

struct ReceiveEvent {
  enum class Kind { kNone, kFrameStart, kCharacter, kFrameEnd };
  Kind kind = Kind::kNone;
  unsigned char character = 0;  // kCharacter: the character to show live
  ReceivedFrame frame;          // kFrameEnd
};

// What one call gives: at most two events, in order (a character can end a
// frame waiting for its extension and complete the next start marker).
class ReceiveEvents {
 public:
  ReceiveEvents() = default;
  ReceiveEvents(const ReceiveEvent& event) { Add(event); }  // NOLINT: one event is the common case
  void Add(const ReceiveEvent& event) {
    if (event.kind != ReceiveEvent::Kind::kNone && count_ < 2) events_[count_++] = event;
  }
  const ReceiveEvent* begin() const { return events_; }
  const ReceiveEvent* end() const { return events_ + count_; }
  bool empty() const { return count_ == 0; }

 private:
  ReceiveEvent events_[2];
  int count_ = 0;
};

struct FrameReceiverSettings {
  // How long to wait after the check byte for the extension, in seconds of
  // received audio; 0 judges every frame at its check byte.
  double extension_wait_s = 0;
  // A frame without the extension whose weakest character is below this
  // strength is doubtful; 0 trusts every strength.
  float confidence_threshold = 0;
};

class FrameReceiver {
 public:
  // Link bytes beyond this many are neither stored nor shown.
  static constexpr int kMaxStoredLinkBytes = 9999;

  explicit FrameReceiver(const FrameReceiverSettings& settings = {});

  // Takes one receive-ring entry (only its low 8 bits count) with the
  // receiver's decision strength for it.
  ReceiveEvents Feed(int entry, float strength = kFirmStrength);
  // Time passes without characters: a frame waiting for its extension is
  // judged without it once the wait is over.
  ReceiveEvents Elapse(double seconds);
  // The end of the received audio: a waiting frame is judged with what came.
  ReceiveEvents Finish();
  // Between a frame's check byte and its judgement.
  bool AwaitingExtension() const {
    return state_ == State::kAwaitingExtension || state_ == State::kReadingExtension;
  }

 private:
  enum class State { kIdle, kCollecting, kEndMarkerSeen, kAwaitingExtension, kReadingExtension };

  ReceivedFrame Judge(int check_entry) const;
  ReceiveEvent Conclude(ExtensionResult extension);

  FrameReceiverSettings settings_;
  State state_ = State::kIdle;
  int oldest_ = 0;
  int middle_ = 0;
  int newest_ = 0;
  std::vector<int> store_;
  int shift_ = 0;
  float weakest_ = kFirmStrength;
  ReceivedFrame pending_;          // judged by its check byte, waiting for the extension
  std::vector<int> extension_;     // received extension characters, marker first
  double waited_s_ = 0;
};

}  // namespace quillon
