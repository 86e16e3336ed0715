// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A fixed archive clock, so that archive records can be compared byte for byte.

#include "link/Archive.h"

namespace quillon {

// 7 December 2026, 04:55:12.345.
inline ArchiveTime SeventhOfDecember() {
  ArchiveTime time;
  time.year = 2026;
  time.month = 12;
  time.day = 7;
  time.hour = 4;
  time.minute = 55;
  time.second = 12;
  time.millisecond = 345;
  return time;
}

}  // namespace quillon
