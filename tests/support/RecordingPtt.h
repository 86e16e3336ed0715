// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A PTT backend for tests: records when it was keyed and released (steady
// clock), and can be told to fail.

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "modem/ptt/Ptt.h"

namespace quillon {

class RecordingPtt : public Ptt {
 public:
  using Clock = std::chrono::steady_clock;
  struct Event {
    bool keyed;
    Clock::time_point at;
  };

  // Shared with the test, which keeps reading after the keyer owns the object.
  struct Log {
    std::mutex mutex;
    std::vector<Event> events;
    bool fail_key = false;
    bool fail_release = false;

    std::vector<Event> Events() {
      std::lock_guard<std::mutex> lock(mutex);
      return events;
    }
    bool Keyed() {
      std::lock_guard<std::mutex> lock(mutex);
      return !events.empty() && events.back().keyed;
    }
  };

  explicit RecordingPtt(Log& log) : log_(log) {}

  bool Key(std::string& error) override { return Record(true, log_.fail_key, error); }
  bool Release(std::string& error) override { return Record(false, log_.fail_release, error); }
  bool Check(std::string&) override { return true; }

 private:
  bool Record(bool keyed, bool fail, std::string& error) {
    std::lock_guard<std::mutex> lock(log_.mutex);
    if (fail) {
      error = keyed ? "the test radio refuses to key" : "the test radio refuses to release";
      return false;
    }
    log_.events.push_back({keyed, Clock::now()});
    return true;
  }

  Log& log_;
};

}  // namespace quillon
