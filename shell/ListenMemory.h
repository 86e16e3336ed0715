// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the window keeps about listening in quillon.conf (init.ini's
// 36-byte record has no room for it): whether it listens in all 19 modes,
// whether with the deep receiver, and where it sends each received frame.

#include <string>

namespace quillon {

struct ListenChoice {
  bool all_modes = false;  // listen_all_modes = 1
  bool deep = false;       // deep_receive = 1
  std::string udp_events;  // udp_events = HOST:PORT; empty sends nothing
};

// The choice stored in quillon.conf in `home`; a damaged value is said on
// standard error and counts as absent.
ListenChoice StoredListenChoice(const std::string& home);

// Keep listen_all_modes and deep_receive in quillon.conf. False when the
// file cannot be written, which is said on standard error (the choice holds
// for this run; the window says so in its status bar).
bool RememberListenAllModes(const std::string& home, bool all_modes);
bool RememberDeepReceive(const std::string& home, bool deep);

}  // namespace quillon
