// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/ptt/PttKeyer.h"

namespace quillon {

PttKeyer::PttKeyer() : ptt_(std::make_unique<NoPtt>()) {}

PttKeyer::~PttKeyer() {
  ReleaseNow(ReleaseCause::kExit);
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void PttKeyer::Configure(std::unique_ptr<Ptt> ptt, const PttTiming& timing) {
  std::lock_guard<std::mutex> backend(backend_mutex_);
  std::uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    generation = generation_;
  }
  ReleaseLocked(ReleaseCause::kExit, generation);
  ptt_ = ptt ? std::move(ptt) : std::make_unique<NoPtt>();
  std::lock_guard<std::mutex> lock(state_mutex_);
  timing_ = timing;
}

PttTiming PttKeyer::Timing() const {
  std::lock_guard<std::mutex> lock(state_mutex_);
  return timing_;
}

bool PttKeyer::Keyed() const {
  std::lock_guard<std::mutex> lock(state_mutex_);
  return keyed_;
}

void PttKeyer::EnsureWorker() {
  std::lock_guard<std::mutex> lock(state_mutex_);
  if (!worker_.joinable() && !stopping_) worker_ = std::thread([this] { WorkerLoop(); });
}

bool PttKeyer::KeyForTransmission(std::string& error) {
  std::chrono::milliseconds lead;
  {
    std::lock_guard<std::mutex> backend(backend_mutex_);
    if (!ptt_->KeysRadio()) return true;  // none or VOX: the audio goes out as it always did
    if (!ptt_->Key(error)) return false;
    std::lock_guard<std::mutex> lock(state_mutex_);
    keyed_ = true;
    ++generation_;  // a release still pending from the last transmission no longer applies
    keyed_at_ = Clock::now();
    release_at_.reset();
    cut_requested_.store(false, std::memory_order_release);
    lead = timing_.lead;
  }
  EnsureWorker();  // the first keying starts the thread that releases
  wake_.notify_all();
  std::this_thread::sleep_for(lead);
  return true;
}

void PttKeyer::AudioEndsAt(Clock::time_point when) {
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (!keyed_) return;
    release_at_ = when + timing_.tail;
  }
  wake_.notify_all();
}

void PttKeyer::ReleaseNow(ReleaseCause cause) {
  std::lock_guard<std::mutex> backend(backend_mutex_);
  std::uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    generation = generation_;
  }
  ReleaseLocked(cause, generation);
}

void PttKeyer::ReleaseLocked(ReleaseCause cause, std::uint64_t generation) {
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (!keyed_ || generation != generation_) return;
    keyed_ = false;
    release_at_.reset();
  }
  if (cause == ReleaseCause::kTimeLimit) cut_requested_.store(true, std::memory_order_release);
  std::string error;
  const bool released = ptt_->Release(error);
  std::lock_guard<std::mutex> lock(state_mutex_);
  if (!released) {
    notice_ = PttNotice{cause, error.empty() ? std::string("no answer") : error};
  } else if (cause == ReleaseCause::kTimeLimit || cause == ReleaseCause::kDeviceFailure) {
    notice_ = PttNotice{cause, std::string()};
  }
}

void PttKeyer::WorkerLoop() {
  std::unique_lock<std::mutex> lock(state_mutex_);
  while (!stopping_) {
    std::optional<Clock::time_point> deadline;
    ReleaseCause cause = ReleaseCause::kEndOfTransmission;
    if (keyed_) {
      deadline = release_at_;
      if (timing_.time_limit.count() > 0) {
        const Clock::time_point limit = keyed_at_ + timing_.time_limit;
        if (!deadline || limit < *deadline) {
          deadline = limit;
          cause = ReleaseCause::kTimeLimit;
        }
      }
    }
    if (!deadline) {
      wake_.wait(lock);
    } else if (Clock::now() < *deadline) {
      wake_.wait_until(lock, *deadline);
    } else {
      const std::uint64_t generation = generation_;
      lock.unlock();
      {
        std::lock_guard<std::mutex> backend(backend_mutex_);
        ReleaseLocked(cause, generation);
      }
      lock.lock();
    }
  }
}

std::optional<PttNotice> PttKeyer::TakeNotice() {
  std::lock_guard<std::mutex> lock(state_mutex_);
  std::optional<PttNotice> notice = std::move(notice_);
  notice_.reset();
  return notice;
}

bool PttKeyer::TestKey(std::chrono::milliseconds duration, std::string& error) {
  std::lock_guard<std::mutex> backend(backend_mutex_);
  if (Keyed()) {
    error = "a transmission has the transmitter keyed";
    return false;
  }
  if (!ptt_->Key(error)) return false;
  std::this_thread::sleep_for(duration);
  return ptt_->Release(error);
}

bool PttKeyer::Check(std::string& error) {
  std::lock_guard<std::mutex> backend(backend_mutex_);
  return ptt_->Check(error);
}

std::string PttNoticeText(const PttNotice& notice, const PttTiming& timing) {
  // "Передатчик не выключается: " in cp1251.
  if (!notice.failure.empty())
    return "\xCF\xE5\xF0\xE5\xE4\xE0\xF2\xF7\xE8\xEA \xED\xE5 \xE2\xFB\xEA\xEB\xFE\xF7\xE0\xE5\xF2\xF1\xFF: " +
           notice.failure;
  switch (notice.cause) {
    case ReleaseCause::kTimeLimit:
      // "Передатчик выключен: передача длилась дольше N с" in cp1251.
      return "\xCF\xE5\xF0\xE5\xE4\xE0\xF2\xF7\xE8\xEA \xE2\xFB\xEA\xEB\xFE\xF7\xE5\xED: "
             "\xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE0 \xE4\xEB\xE8\xEB\xE0\xF1\xFC \xE4\xEE\xEB\xFC\xF8\xE5 " +
             std::to_string(timing.time_limit.count()) + " \xF1";
    case ReleaseCause::kDeviceFailure:
      // "Передатчик выключен: звук не выводится" in cp1251.
      return "\xCF\xE5\xF0\xE5\xE4\xE0\xF2\xF7\xE8\xEA \xE2\xFB\xEA\xEB\xFE\xF7\xE5\xED: "
             "\xE7\xE2\xF3\xEA \xED\xE5 \xE2\xFB\xE2\xEE\xE4\xE8\xF2\xF1\xFF";
    default:
      return std::string();
  }
}

std::string PttRefusalText(const std::string& error) {
  // "Передатчик не включён: ERROR. Текст не передан" in cp1251.
  return "\xCF\xE5\xF0\xE5\xE4\xE0\xF2\xF7\xE8\xEA \xED\xE5 \xE2\xEA\xEB\xFE\xF7\xB8\xED: " + error +
         ". \xD2\xE5\xEA\xF1\xF2 \xED\xE5 \xEF\xE5\xF0\xE5\xE4\xE0\xED";
}

}  // namespace quillon
