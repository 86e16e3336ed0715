// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The synchroniser's epochs: one transmission after another with no pause.
//
// The synchroniser integrates every candidate's signal over several blocks,
// and it decides a block SyncBlocks - 1 blocks after decoding it. When one
// transmission follows another, the timing the first one built up still
// outweighs the second one's when the second one's first block is decided,
// and that block (the one with the start marker) comes out of the wrong
// time slice. The tone burst that closes and opens every transmission marks
// the change: at its end the current epoch closes. A closed epoch keeps the
// candidate it had settled on and its signal-to-noise ratio, and goes on
// deciding the blocks decoded before the burst; the next epoch decides the
// blocks after it, with a synchroniser that no longer favours the old
// timing.
//
// Times are input sample counts since the receiver's Reset. A block that
// ends less than `overlap` samples after a burst holds mostly the burst and
// belongs to the epoch before it.

#include <cstdint>
#include <limits>

namespace quillon {

struct ClosedEpoch {
  unsigned best_slice = 0;
  unsigned best_offset = 0;
  double snr = 0;       // signal-to-noise ratio of best_slice/best_offset when the epoch closed
  std::int64_t start = 0;  // where the epoch began
  std::int64_t end = 0;    // where the burst that closed it ended
};

class SyncEpochs {
 public:
  // A closed epoch lives for SyncBlocks blocks after its burst; bursts come
  // at least 0.5 s apart, and three of them (closing burst, the pattern
  // their tones make with the next opening burst, opening burst) lie
  // between two transmissions.
  static constexpr unsigned kMaxClosed = 4;

  // The first epoch reaches back without limit.
  void Reset() {
    closed_count_ = 0;
    current_start_ = kBeginningOfTime;
  }

  std::int64_t CurrentStart() const { return current_start_; }

  // The current epoch ends at burst_end with the given choice; the next
  // begins there. With no room left the oldest closed epoch is dropped.
  void Close(unsigned best_slice, unsigned best_offset, double snr, std::int64_t burst_end) {
    if (closed_count_ == kMaxClosed) {
      for (unsigned e = 1; e < kMaxClosed; ++e) closed_[e - 1] = closed_[e];
      --closed_count_;
    }
    closed_[closed_count_++] = {best_slice, best_offset, snr, current_start_, burst_end};
    current_start_ = burst_end;
  }

  // Whether a block that ended at row_end belongs to the current epoch.
  bool InCurrent(std::int64_t row_end, std::int64_t overlap) const { return row_end >= current_start_ + overlap; }

  // The closed epochs' decisions at slice s, oldest epoch first, half a
  // block after each one's best slice as the current epoch decides:
  // emit(slice, offset) for a block of its own whose ratio reaches the
  // threshold. An epoch whose oldest block of its best slice lies past its
  // end has decided all it had and is dropped. row_end(slice) gives where
  // the block in that slice's oldest history row ended.
  template <class RowEnd, class Emit>
  void Decide(unsigned s, unsigned slice_count, std::int64_t overlap, double threshold, RowEnd row_end, Emit emit) {
    unsigned kept = 0;
    for (unsigned e = 0; e < closed_count_; ++e) {
      const ClosedEpoch epoch = closed_[e];
      bool alive = true;
      if ((epoch.best_slice + slice_count / 2) % slice_count == s) {
        const std::int64_t block_end = row_end(epoch.best_slice);
        if (block_end >= epoch.end + overlap)
          alive = false;
        else if (block_end >= epoch.start + overlap && epoch.snr >= threshold)
          emit(epoch.best_slice, epoch.best_offset);
      }
      if (alive) closed_[kept++] = epoch;
    }
    closed_count_ = kept;
  }

 private:
  static constexpr std::int64_t kBeginningOfTime = std::numeric_limits<std::int64_t>::min() / 2;

  ClosedEpoch closed_[kMaxClosed];
  unsigned closed_count_ = 0;
  std::int64_t current_start_ = kBeginningOfTime;
};

}  // namespace quillon
