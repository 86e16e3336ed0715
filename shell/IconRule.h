// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which status icon the window shows for the link's three indicators.
// Transmitting outranks everything; a frame in progress outranks a good
// result only while the good-result flag is clear.

namespace quillon {

enum StatusIcon {
  kIconIdle = 0,       // "ICON_0", also the window class icon
  kIconReceiving = 1,  // "ICON_1", yellow
  kIconGood = 2,       // "ICON_2", green
  kIconSending = 3,    // "ICON_3", red
};

constexpr StatusIcon StatusIconFor(int prd_r, int prm_r, int uspeshno) {
  if (prd_r == 0 && prm_r == 0 && uspeshno == 0) return kIconIdle;
  if (prd_r != 0) return kIconSending;
  if (prm_r != 0 && uspeshno == 0) return kIconReceiving;
  return kIconGood;
}

// The icon resource's name: "ICON_0" .. "ICON_3".
constexpr const char* StatusIconName(int prd_r, int prm_r, int uspeshno) {
  constexpr const char* kNames[] = {"ICON_0", "ICON_1", "ICON_2", "ICON_3"};
  return kNames[StatusIconFor(prd_r, prm_r, uspeshno)];
}

}  // namespace quillon
