// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/FrameReceiver.h"

#include <algorithm>

#include "link/CheckExtension.h"
#include "link/Frame.h"
#include "link/TextCoding.h"

namespace quillon {

FrameReceiver::FrameReceiver(const FrameReceiverSettings& settings) : settings_(settings) {
  store_.reserve(kMaxStoredLinkBytes);
}

ReceiveEvents FrameReceiver::Feed(int entry, float strength) {
  ReceiveEvents events;
  oldest_ = middle_;
  middle_ = newest_;
  newest_ = entry & 0xFF;

  // A frame waiting for its extension: the first character after the check
  // byte says whether one follows; a 22 (the next frame's start) or any
  // character that cannot belong to it ends the wait.
  if (state_ == State::kAwaitingExtension) {
    if (newest_ != kExtensionMarker) {
      events.Add(Conclude(ExtensionResult::kAbsent));
    } else {
      extension_.assign(1, newest_);
      state_ = State::kReadingExtension;
      return events;
    }
  } else if (state_ == State::kReadingExtension) {
    extension_.push_back(newest_);
    if (!IsExtensionDigit(newest_)) {
      events.Add(Conclude(ExtensionResult::kMismatch));
    } else if (static_cast<int>(extension_.size()) == kExtensionLength) {
      const CheckExtensionChars expected = BuildCheckExtension(pending_.text);
      const bool matching = std::equal(expected.begin(), expected.end(), extension_.begin());
      return Conclude(matching ? ExtensionResult::kMatching : ExtensionResult::kMismatch);
    } else {
      return events;
    }
  }
  // A character that ended a wait is still looked at as any other: it may
  // complete the next start marker.
  ReceiveEvent event;
  if (oldest_ == kFrameMarker && middle_ == kShiftToLatin && newest_ == kShiftToLatin) {
    store_.clear();
    state_ = State::kCollecting;
    shift_ = 0;
    // The start marker's own decisions count: a start found in noise is as
    // weak as its weakest character.
    weakest_ = strength;
    event.kind = ReceiveEvent::Kind::kFrameStart;
  } else {
    if (state_ == State::kCollecting || state_ == State::kEndMarkerSeen) weakest_ = std::min(weakest_, strength);
    if (entry == kFrameMarker && state_ == State::kCollecting) {
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
      pending_ = Judge(entry);
      store_.clear();
      waited_s_ = 0;
      // No extension can make a frame good whose check character disagrees.
      if (settings_.extension_wait_s > 0 && pending_.good)
        state_ = State::kAwaitingExtension;
      else
        event = Conclude(ExtensionResult::kAbsent);
    }
  }
  events.Add(event);
  return events;
}

ReceiveEvents FrameReceiver::Elapse(double seconds) {
  if (state_ != State::kAwaitingExtension && state_ != State::kReadingExtension) return {};
  waited_s_ += seconds;
  if (waited_s_ < settings_.extension_wait_s) return {};
  // A marker without all its digits is an extension that did not arrive whole.
  return Conclude(state_ == State::kReadingExtension ? ExtensionResult::kMismatch : ExtensionResult::kAbsent);
}

ReceiveEvents FrameReceiver::Finish() { return Elapse(settings_.extension_wait_s); }

ReceivedFrame FrameReceiver::Judge(int check_entry) const {
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
  frame.weakest = weakest_;
  return frame;
}

ReceiveEvent FrameReceiver::Conclude(ExtensionResult extension) {
  ReceiveEvent event;
  event.kind = ReceiveEvent::Kind::kFrameEnd;
  event.frame = pending_;
  ReceivedFrame& frame = event.frame;
  frame.extension = extension;
  if (!frame.good || extension == ExtensionResult::kMismatch) {
    frame.integrity = FrameIntegrity::kBad;
  } else if (extension == ExtensionResult::kMatching) {
    frame.integrity = FrameIntegrity::kVerified;
  } else {
    frame.integrity = frame.weakest < settings_.confidence_threshold ? FrameIntegrity::kDoubtful
                                                                     : FrameIntegrity::kUnverified;
  }
  state_ = State::kIdle;
  extension_.clear();
  return event;
}

}  // namespace quillon
