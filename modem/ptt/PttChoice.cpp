// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/ptt/PttChoice.h"

#include <cctype>
#include <climits>

namespace quillon {
namespace {

const char kForms[] = "none, vox, rigctld:HOST:PORT, hamlib:MODEL:PORT[:SPEED], rts:PORT or dtr:PORT";

// A whole decimal number within [low, high], nothing else.
bool ParseWhole(const std::string& text, long long low, long long high, int& value) {
  if (text.empty() || text.size() > 10) return false;
  long long number = 0;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    number = number * 10 + (c - '0');
  }
  if (number < low || number > high) return false;
  value = static_cast<int>(number);
  return true;
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool ParseRigctld(const std::string& rest, PttChoice& choice, std::string& error) {
  const std::size_t colon = rest.rfind(':');
  choice.host = colon == std::string::npos ? rest : rest.substr(0, colon);
  choice.port = kDefaultRigctldPort;
  if (choice.host.empty()) {
    error = "rigctld wants a host: rigctld:HOST:PORT (e.g. rigctld:127.0.0.1:4532)";
    return false;
  }
  if (colon != std::string::npos && !ParseWhole(rest.substr(colon + 1), 1, 65535, choice.port)) {
    error = "rigctld port '" + rest.substr(colon + 1) + "' is not a TCP port number 1..65535";
    return false;
  }
  return true;
}

bool ParseHamlib(const std::string& rest, PttChoice& choice, std::string& error) {
  const std::size_t colon = rest.find(':');
  if (colon == std::string::npos || colon + 1 == rest.size()) {
    error = "hamlib wants a rig model and a port: hamlib:MODEL:PORT[:SPEED] (e.g. hamlib:1:/dev/null)";
    return false;
  }
  if (!ParseWhole(rest.substr(0, colon), 1, INT_MAX, choice.model)) {
    error = "hamlib rig model '" + rest.substr(0, colon) + "' is not a model number (rigctl -l lists them)";
    return false;
  }
  choice.device = rest.substr(colon + 1);
  choice.speed = 0;
  const std::size_t last = choice.device.rfind(':');
  if (last != std::string::npos && last > 0 && AllDigits(choice.device.substr(last + 1))) {
    // 0 is allowed: the rig's own default speed. The top is above any UART.
    if (!ParseWhole(choice.device.substr(last + 1), 0, 4000000, choice.speed)) {
      error = "hamlib speed '" + choice.device.substr(last + 1) + "' is not a serial speed in baud";
      return false;
    }
    choice.device.resize(last);
  }
  return true;
}

}  // namespace

bool ParsePttChoice(const std::string& text, PttChoice& choice, std::string& error) {
  PttChoice parsed;
  const std::size_t colon = text.find(':');
  const std::string kind = text.substr(0, colon);
  const std::string rest = colon == std::string::npos ? std::string() : text.substr(colon + 1);
  bool ok = true;
  if (kind == "none" || kind == "vox") {
    parsed.kind = kind == "none" ? PttChoice::Kind::kNone : PttChoice::Kind::kVox;
    if (colon != std::string::npos) {
      error = "'" + kind + "' takes nothing after it";
      return false;
    }
  } else if (kind == "rigctld") {
    parsed.kind = PttChoice::Kind::kRigctld;
    ok = ParseRigctld(rest, parsed, error);
  } else if (kind == "hamlib") {
    parsed.kind = PttChoice::Kind::kHamlib;
    ok = ParseHamlib(rest, parsed, error);
  } else if (kind == "rts" || kind == "dtr") {
    parsed.kind = kind == "rts" ? PttChoice::Kind::kRts : PttChoice::Kind::kDtr;
    parsed.device = rest;
    if (rest.empty()) {
      error = kind + " wants the serial port: " + kind + ":/dev/ttyUSB0 or " + kind + ":COM3";
      return false;
    }
  } else {
    error = "PTT '" + text + "' is not one of " + kForms;
    return false;
  }
  if (ok) choice = parsed;
  return ok;
}

std::string FormatPttChoice(const PttChoice& choice) {
  switch (choice.kind) {
    case PttChoice::Kind::kNone:
      return "none";
    case PttChoice::Kind::kVox:
      return "vox";
    case PttChoice::Kind::kRigctld:
      return "rigctld:" + choice.host + ":" + std::to_string(choice.port);
    case PttChoice::Kind::kHamlib: {
      std::string text = "hamlib:" + std::to_string(choice.model) + ":" + choice.device;
      // A speed is written when there is one, or when the port's own last
      // part would otherwise be read as one.
      const std::size_t last = choice.device.rfind(':');
      if (choice.speed != 0 || (last != std::string::npos && AllDigits(choice.device.substr(last + 1))))
        text += ":" + std::to_string(choice.speed);
      return text;
    }
    case PttChoice::Kind::kRts:
      return "rts:" + choice.device;
    case PttChoice::Kind::kDtr:
      return "dtr:" + choice.device;
  }
  return "none";
}

}  // namespace quillon
