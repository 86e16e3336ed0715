#include "link/FrameReceiver.h"

#include "link/Frame.h"
#include "link/TextCoding.h"

namespace quillon {

FrameReceiver::FrameReceiver() { store_.reserve(kMaxStoredLinkBytes); }

ReceiveEvent FrameReceiver::Feed(int entry) {
  ReceiveEvent event;
  oldest_ = middle_;
  middle_ = newest_;
  newest_ = entry & 0xFF;

  if (oldest_ == kFrameMarker && middle_ == kShiftToLatin && newest_ == kShiftToLatin) {
    store_.clear();
    state_ = State::kCollecting;
    shift_ = 0;
    event.kind = ReceiveEvent::Kind::kFrameStart;
  } else if (entry == kFrameMarker && state_ == State::kCollecting) {
    state_ = State::kEndMarkerSeen;
  } else if (state_ == State::kCollecting) {
    if (static_cast<int>(store_.size()) < kMaxStoredLinkBytes) {
      store_.push_back(entry);
      const int character = KodirowkaIz(entry & 0xFF, &shift_);
      if (character != 0) {
        event.kind = ReceiveEvent::Kind::kCharacter;
        event.character = static_cast<unsigned char>(character);
      }
    }
  } else if (state_ == State::kEndMarkerSeen) {
    event.kind = ReceiveEvent::Kind::kFrameEnd;
    event.frame = Finish(entry);
    state_ = State::kIdle;
    store_.clear();
  }
  return event;
}

ReceivedFrame FrameReceiver::Finish(int check_entry) const {
  ReceivedFrame frame;
  frame.link_bytes = static_cast<int>(store_.size());
  int shift = 0;
  for (int link_byte : store_) {
    const int character = KodirowkaIz(link_byte & 0xFF, &shift);
    if (character != 0) frame.text.push_back(static_cast<char>(character));
  }
  frame.expected = TextCheckCharacter(frame.text);
  const int check_byte = check_entry & 0xFF;
  frame.received = check_byte >= 128 ? check_byte - 256 : check_byte;
  // A frame without text can only come from noise: it is never good, even if
  // its check byte happens to match.
  frame.good = !frame.text.empty() && frame.expected == frame.received;
  return frame;
}

}  // namespace quillon
