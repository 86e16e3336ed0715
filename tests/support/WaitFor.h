// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Polls a condition of a station running on other threads until it holds or
// the limit passes (a generous limit: the sanitizer builds run several times
// slower). Polled every 5 ms, fine enough for the keying timing tests.

#include <chrono>
#include <functional>
#include <thread>

namespace quillon {

inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace quillon
