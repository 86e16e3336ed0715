#pragma once
// Finds frames in the stream of received characters, one ring entry at a
// time: 22, 15, 15 starts a frame (whatever came before), the next 22 ends
// its text and the byte after that is its check byte. The link controller
// turns the events into pane, icon and archive updates; the command-line
// decoder prints the finished frames.

#include <string>
#include <vector>

namespace quillon {

struct ReceivedFrame {
  std::string text;   // cp1251, decoded from the stored link bytes
  int expected = 0;   // check character computed over `text`
  int received = 0;   // check byte as received, sign-extended from 8 bits
  bool good = false;  // the two agree and the text is not empty
  int link_bytes = 0; // link bytes stored (at most kMaxStoredLinkBytes)
};

struct ReceiveEvent {
  enum class Kind { kNone, kFrameStart, kCharacter, kFrameEnd };
  Kind kind = Kind::kNone;
  unsigned char character = 0;  // kCharacter: the character to show live
  ReceivedFrame frame;          // kFrameEnd
};

class FrameReceiver {
 public:
  // Link bytes beyond this many are neither stored nor shown.
  static constexpr int kMaxStoredLinkBytes = 9999;

  FrameReceiver();

  // Takes one receive-ring entry (only its low 8 bits count).
  ReceiveEvent Feed(int entry);

 private:
  enum class State { kIdle, kCollecting, kEndMarkerSeen };

  ReceivedFrame Finish(int check_entry) const;

  State state_ = State::kIdle;
  int oldest_ = 0;
  int middle_ = 0;
  int newest_ = 0;
  std::vector<int> store_;
  int shift_ = 0;
};

}  // namespace quillon
