// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The decoder's report of one finished frame: a plain line
// ("GOOD  CRC 3E = 3E  00:01.23  abc") or one JSON object per line.

#include <string>

#include "link/FrameJson.h"  // JsonString
#include "tools/FrameDecoder.h"

namespace quillon {

// mm:ss.cc
std::string ClockTime(double seconds);

// The text in UTF-8 on one line: backslash and control characters escaped
// as \\, \n, \r, \t and \xHH. `with_mode` puts the mode's label in front.
std::string PlainFrameLine(const DecodedFrame& decoded, bool with_mode);

// One JSON object on one line (FrameJson); `time_utc` ("2026-12-09T01:40:05Z", when the
// frame was received live) is given as "time" when not empty.
std::string JsonFrameLine(const DecodedFrame& decoded, const std::string& time_utc = "");

}  // namespace quillon
