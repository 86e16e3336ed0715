// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/FrameOutput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "link/Cp1251.h"
#include "link/FrameVerdict.h"

namespace quillon {
namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

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

std::string JsonString(const std::string& utf8) {
  std::string json = "\"";
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"') json += "\\\"";
    else if (c == '\\') json += "\\\\";
    else if (c == '\n') json += "\\n";
    else if (c == '\r') json += "\\r";
    else if (c == '\t') json += "\\t";
    else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
      json += escaped;
    } else {
      json.push_back(c);
    }
  }
  return json + "\"";
}

std::string JsonFrameLine(const DecodedFrame& decoded, const std::string& time_utc) {
  const ReceivedFrame& frame = decoded.frame;
  std::string hex;
  for (char c : frame.text) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
    hex += digits;
  }
  std::string json = "{\"mode\":" + JsonString(decoded.mode->label);
  json += ",\"mode_number\":" + std::to_string(decoded.mode->number);
  json += std::string(",\"good\":") + (frame.Trusted() ? "true" : "false");
  json += std::string(",\"integrity\":\"") + IntegrityName(frame.integrity) + "\"";
  json += std::string(",\"check_character_agrees\":") + (frame.good ? "true" : "false");
  // The weakest block's decision strength; null when nothing measured it.
  json += ",\"weakest_strength\":" + (std::isfinite(frame.weakest) ? Format("%.3f", frame.weakest) : std::string("null"));
  json += ",\"expected\":" + std::to_string(frame.expected);
  json += ",\"received\":" + std::to_string(frame.received);
  json += ",\"text\":" + JsonString(Cp1251ToUtf8(frame.text));
  json += ",\"text_cp1251_hex\":\"" + hex + "\"";
  json += ",\"link_bytes\":" + std::to_string(frame.link_bytes);
  json += ",\"start_s\":" + Format("%.3f", decoded.start_s);
  json += ",\"end_s\":" + Format("%.3f", decoded.end_s);
  json += ",\"snr\":" + Format("%.2f", decoded.snr);
  // In 2500 Hz, as the channel simulator sets it; null when nothing measured it.
  json += ",\"snr_db\":" + (std::isfinite(decoded.snr_db) ? Format("%.1f", decoded.snr_db) : std::string("null"));
  json += ",\"freq_offset_hz\":" + Format("%.2f", decoded.freq_offset_hz);
  if (!time_utc.empty()) json += ",\"time\":\"" + time_utc + "\"";
  return json + "}";
}

}  // namespace quillon
