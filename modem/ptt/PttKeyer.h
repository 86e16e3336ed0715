// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The station's transmitter keying: a PTT backend and when to use it.
//
// A transmission keys the radio (KeyForTransmission, on the link controller
// thread) and waits the lead before its first sample is queued, so the
// radio is on the air before the opening tone burst. The playback thread
// reports when the device will have played the transmission's last sample
// (AudioEndsAt); the keyer's own thread releases the radio the tail after
// that moment, or at once when the transmission outlasts its time limit
// (the playback thread then cuts it: TakeCutRequest). Exit, a mode change
// and a device failure release at once (ReleaseNow). What the operator must
// be told (a time limit, a failed device, a radio that would not release)
// waits in TakeNotice for the driver's status bar.
//
// Locks: backend_mutex_ around every backend call, then state_mutex_ for
// the short bookkeeping; AudioEndsAt and TakeCutRequest take only the
// latter (or nothing), so the playback thread never waits for a radio.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "modem/ptt/Ptt.h"

namespace quillon {

struct PttTiming {
  std::chrono::milliseconds lead{50};  // keyed this long before the first sample plays
  std::chrono::milliseconds tail{20};  // and held this long after the last one has played
  std::chrono::seconds time_limit{0};  // a longer transmission is cut off; 0 = no limit
};

enum class ReleaseCause { kEndOfTransmission, kTimeLimit, kDeviceFailure, kModeChange, kExit };

struct PttNotice {
  ReleaseCause cause = ReleaseCause::kEndOfTransmission;
  std::string failure;  // non-empty when the radio would not release: the backend's words
};

class PttKeyer {
 public:
  using Clock = std::chrono::steady_clock;

  // Keys nothing (NoPtt) until configured.
  PttKeyer();
  // Releases a keyed radio and ends the keyer's thread.
  ~PttKeyer();
  PttKeyer(const PttKeyer&) = delete;
  PttKeyer& operator=(const PttKeyer&) = delete;

  // A new backend and timing; a radio keyed through the old one is
  // released first.
  void Configure(std::unique_ptr<Ptt> ptt, const PttTiming& timing);
  PttTiming Timing() const;

  // Keys the radio and waits the lead. False, with the backend's words in
  // `error`, when the radio cannot be keyed: the transmission is refused.
  bool KeyForTransmission(std::string& error);
  // The device will have played the transmission's last sample at `when`.
  // Never blocks.
  void AudioEndsAt(Clock::time_point when);
  // Releases a keyed radio now.
  void ReleaseNow(ReleaseCause cause);
  // True once after the time limit released the radio: the transmission
  // must stop.
  bool TakeCutRequest() { return cut_requested_.exchange(false, std::memory_order_acq_rel); }
  bool Keyed() const;

  std::optional<PttNotice> TakeNotice();

  // The dialog's check: keys for `duration` and releases, refused while a
  // transmission has the radio keyed.
  bool TestKey(std::chrono::milliseconds duration, std::string& error);
  // Whether the radio can be reached, without keying it.
  bool Check(std::string& error);

 private:
  void EnsureWorker();
  void WorkerLoop();
  // Under backend_mutex_ (and not state_mutex_).
  void ReleaseLocked(ReleaseCause cause, std::uint64_t generation);

  mutable std::mutex backend_mutex_;
  std::unique_ptr<Ptt> ptt_;

  mutable std::mutex state_mutex_;
  std::condition_variable wake_;
  PttTiming timing_;
  bool keyed_ = false;
  std::uint64_t generation_ = 0;  // one more at each keying: a stale release is not carried out
  Clock::time_point keyed_at_;
  std::optional<Clock::time_point> release_at_;
  std::optional<PttNotice> notice_;
  bool stopping_ = false;
  std::atomic<bool> cut_requested_{false};

  std::thread worker_;  // started with the first keying
};

// The status-bar text (cp1251) for a notice.
std::string PttNoticeText(const PttNotice& notice, const PttTiming& timing);
// The status-bar text (cp1251) for a transmission refused because the radio
// could not be keyed; `error` is the backend's words.
std::string PttRefusalText(const std::string& error);

}  // namespace quillon
