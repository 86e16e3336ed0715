#include "modem/ptt/PttSpec.h"

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

bool ParseRigctld(const std::string& rest, PttSpec& spec, std::string& error) {
  const std::size_t colon = rest.rfind(':');
  spec.host = colon == std::string::npos ? rest : rest.substr(0, colon);
  spec.port = kDefaultRigctldPort;
  if (spec.host.empty()) {
    error = "rigctld wants a host: rigctld:HOST:PORT (e.g. rigctld:127.0.0.1:4532)";
    return false;
  }
  if (colon != std::string::npos && !ParseWhole(rest.substr(colon + 1), 1, 65535, spec.port)) {
    error = "rigctld port '" + rest.substr(colon + 1) + "' is not a TCP port number 1..65535";
    return false;
  }
  return true;
}

bool ParseHamlib(const std::string& rest, PttSpec& spec, std::string& error) {
  const std::size_t colon = rest.find(':');
  if (colon == std::string::npos || colon + 1 == rest.size()) {
    error = "hamlib wants a rig model and a port: hamlib:MODEL:PORT[:SPEED] (e.g. hamlib:1:/dev/null)";
    return false;
  }
  if (!ParseWhole(rest.substr(0, colon), 1, INT_MAX, spec.model)) {
    error = "hamlib rig model '" + rest.substr(0, colon) + "' is not a model number (rigctl -l lists them)";
    return false;
  }
  spec.device = rest.substr(colon + 1);
  spec.speed = 0;
  const std::size_t last = spec.device.rfind(':');
  if (last != std::string::npos && last > 0 && AllDigits(spec.device.substr(last + 1))) {
    // 0 is allowed: the rig's own default speed. The top is above any UART.
    if (!ParseWhole(spec.device.substr(last + 1), 0, 4000000, spec.speed)) {
      error = "hamlib speed '" + spec.device.substr(last + 1) + "' is not a serial speed in baud";
      return false;
    }
    spec.device.resize(last);
  }
  return true;
}

}  // namespace

bool ParsePttSpec(const std::string& text, PttSpec& spec, std::string& error) {
  PttSpec parsed;
  const std::size_t colon = text.find(':');
  const std::string kind = text.substr(0, colon);
  const std::string rest = colon == std::string::npos ? std::string() : text.substr(colon + 1);
  bool ok = true;
  if (kind == "none" || kind == "vox") {
    parsed.kind = kind == "none" ? PttSpec::Kind::kNone : PttSpec::Kind::kVox;
    if (colon != std::string::npos) {
      error = "'" + kind + "' takes nothing after it";
      return false;
    }
  } else if (kind == "rigctld") {
    parsed.kind = PttSpec::Kind::kRigctld;
    ok = ParseRigctld(rest, parsed, error);
  } else if (kind == "hamlib") {
    parsed.kind = PttSpec::Kind::kHamlib;
    ok = ParseHamlib(rest, parsed, error);
  } else if (kind == "rts" || kind == "dtr") {
    parsed.kind = kind == "rts" ? PttSpec::Kind::kRts : PttSpec::Kind::kDtr;
    parsed.device = rest;
    if (rest.empty()) {
      error = kind + " wants the serial port: " + kind + ":/dev/ttyUSB0 or " + kind + ":COM3";
      return false;
    }
  } else {
    error = "PTT '" + text + "' is not one of " + kForms;
    return false;
  }
  if (ok) spec = parsed;
  return ok;
}

std::string FormatPttSpec(const PttSpec& spec) {
  switch (spec.kind) {
    case PttSpec::Kind::kNone:
      return "none";
    case PttSpec::Kind::kVox:
      return "vox";
    case PttSpec::Kind::kRigctld:
      return "rigctld:" + spec.host + ":" + std::to_string(spec.port);
    case PttSpec::Kind::kHamlib: {
      std::string text = "hamlib:" + std::to_string(spec.model) + ":" + spec.device;
      // A speed is written when there is one, or when the port's own last
      // part would otherwise be read as one.
      const std::size_t last = spec.device.rfind(':');
      if (spec.speed != 0 || (last != std::string::npos && AllDigits(spec.device.substr(last + 1))))
        text += ":" + std::to_string(spec.speed);
      return text;
    }
    case PttSpec::Kind::kRts:
      return "rts:" + spec.device;
    case PttSpec::Kind::kDtr:
      return "dtr:" + spec.device;
  }
  return "none";
}

}  // namespace quillon
