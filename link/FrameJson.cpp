// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/FrameJson.h"

#include <cmath>
#include <cstdio>

#include "link/Cp1251.h"
#include "link/FrameVerdict.h"

namespace quillon {
namespace {

// `format` applied to a finite value; null otherwise (JSON has no NaN).
std::string Number(const char* format, double value) {
  if (!std::isfinite(value)) return "null";
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string HexBytes(const std::string& bytes) {
  std::string hex;
  for (char c : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
    hex += digits;
  }
  return hex;
}

}  // namespace

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

std::string FrameJson(const ReceivedFrame& frame, const FrameHearing& hearing, const std::string& time_utc) {
  std::string json = "{\"mode\":" + JsonString(hearing.mode_label);
  json += ",\"mode_number\":" + std::to_string(hearing.mode_number);
  json += std::string(",\"good\":") + (frame.Trusted() ? "true" : "false");
  json += std::string(",\"integrity\":\"") + IntegrityName(frame.integrity) + "\"";
  json += std::string(",\"check_character_agrees\":") + (frame.good ? "true" : "false");
  // The weakest block's decision strength; infinite (null) when nothing measured it.
  json += ",\"weakest_strength\":" + Number("%.3f", frame.weakest);
  json += ",\"expected\":" + std::to_string(frame.expected);
  json += ",\"received\":" + std::to_string(frame.received);
  json += ",\"text\":" + JsonString(Cp1251ToUtf8(frame.text));
  json += ",\"text_cp1251_hex\":\"" + HexBytes(frame.text) + "\"";
  json += ",\"link_bytes\":" + std::to_string(frame.link_bytes);
  json += ",\"start_s\":" + Number("%.3f", hearing.start_s);
  json += ",\"end_s\":" + Number("%.3f", hearing.end_s);
  json += ",\"snr\":" + Number("%.2f", hearing.snr);
  json += ",\"snr_db\":" + Number("%.1f", hearing.snr_db);
  json += ",\"freq_offset_hz\":" + Number("%.2f", hearing.freq_offset_hz);
  if (!time_utc.empty()) json += ",\"time\":\"" + time_utc + "\"";
  return json + "}";
}

std::string UtcTimeText(std::time_t time) {
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &time);
#else
  gmtime_r(&time, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace quillon
