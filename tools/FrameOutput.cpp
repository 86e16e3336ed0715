// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/FrameOutput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "link/Cp1251.h"
#include "link/FrameVerdict.h"

namespace quillon {
namespace {

std::string CheckText(const ReceivedFrame& frame) {
  char text[64];
  // As the status bar shows it: a received byte of 128 or more prints
  // sign-extended.
  std::snprintf(text, sizeof text, frame.good ? "CRC %X = %X" : "CRC %X != %X", static_cast<unsigned>(frame.expected),
                static_cast<unsigned>(frame.received));
  return text;
}

// "SNR -8 dB  +23 Hz", or "SNR ? dB" when nothing measured the frame.
std::string SignalText(const DecodedFrame& decoded) {
  char text[64];
  if (std::isfinite(decoded.snr_db))
    std::snprintf(text, sizeof text, "SNR %.0f dB  %+.0f Hz", decoded.snr_db, decoded.freq_offset_hz);
  else
    std::snprintf(text, sizeof text, "SNR ? dB  %+.0f Hz", decoded.freq_offset_hz);
  return text;
}

std::string EscapedLine(const std::string& utf8) {
  std::string line;
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') line += "\\\\";
    else if (c == '\n') line += "\\n";
    else if (c == '\r') line += "\\r";
    else if (c == '\t') line += "\\t";
    else if (byte < 0x20 || byte == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      line += hex;
    } else {
      line.push_back(c);
    }
  }
  return line;
}

}  // namespace

std::string ClockTime(double seconds) {
  const long hundredths = std::lround(std::max(0.0, seconds) * 100.0);
  char text[32];
  std::snprintf(text, sizeof text, "%02ld:%02ld.%02ld", hundredths / 6000, (hundredths / 100) % 60, hundredths % 100);
  return text;
}

std::string PlainFrameLine(const DecodedFrame& decoded, bool with_mode) {
  std::string line;
  if (with_mode) line += std::string(decoded.mode->label) + "  ";
  line += decoded.frame.Trusted() ? "GOOD  " : "BAD   ";
  line += CheckText(decoded.frame) + "  " + IntegrityName(decoded.frame.integrity) + "  " + ClockTime(decoded.start_s) + "  ";
  line += SignalText(decoded) + "  ";
  line += EscapedLine(Cp1251ToUtf8(decoded.frame.text));
  return line;
}

std::string JsonFrameLine(const DecodedFrame& decoded, const std::string& time_utc) {
  FrameHearing hearing;
  hearing.mode_label = decoded.mode->label;
  hearing.mode_number = decoded.mode->number;
  hearing.start_s = decoded.start_s;
  hearing.end_s = decoded.end_s;
  hearing.snr = decoded.snr;
  hearing.snr_db = decoded.snr_db;
  hearing.freq_offset_hz = decoded.freq_offset_hz;
  return FrameJson(decoded.frame, hearing, time_utc);
}

}  // namespace quillon
