// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/ptt/RigctldPtt.h"

#include <cstdlib>

namespace quillon {

std::string HamlibErrorText(int code) {
  // Hamlib's error codes, as positive numbers.
  static const char* const kTexts[] = {
      "no error",           "invalid parameter",        "invalid configuration", "out of memory",
      "not implemented",    "communication timed out",  "I/O error",             "internal Hamlib error",
      "protocol error",     "command rejected by the rig", "command performed only partially",
      "not available",      "the rig is not on the target VFO", "bus error",   "bus collision",
      "invalid argument",   "invalid VFO",              "argument out of domain"};
  const int index = code < 0 ? -code : code;
  if (index < static_cast<int>(sizeof kTexts / sizeof kTexts[0])) return kTexts[index];
  return "Hamlib error " + std::to_string(code);
}

RigctldPtt::RigctldPtt(std::string host, int port) : host_(std::move(host)), port_(port) {}

bool RigctldPtt::Exchange(const std::string& command, std::string& answer, std::string& error) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const bool fresh = !line_.IsOpen();
    if (fresh && !line_.Connect(host_, port_, kTimeout, error)) {
      error = "rigctld: " + error;
      return false;
    }
    if (line_.SendLine(command, kTimeout, error) && line_.ReadLine(answer, kTimeout, error)) return true;
    // A connection the server closed since the last call is made again; a
    // fresh one that fails is a real failure.
    if (fresh) break;
  }
  error = "rigctld: " + error;
  return false;
}

bool RigctldPtt::SetPtt(int on, std::string& error) {
  std::string answer;
  if (!Exchange(on ? "T 1" : "T 0", answer, error)) return false;
  if (answer.rfind("RPRT ", 0) != 0) {
    error = "rigctld at " + host_ + ":" + std::to_string(port_) + " answered '" + answer + "' to the PTT command";
    line_.Close();  // out of step with the server: start afresh next time
    return false;
  }
  const int code = std::atoi(answer.c_str() + 5);
  if (code != 0) {
    error = std::string("rigctld could not ") + (on ? "key" : "release") + " the transmitter: " + HamlibErrorText(code);
    return false;
  }
  return true;
}

bool RigctldPtt::Key(std::string& error) { return SetPtt(1, error); }

bool RigctldPtt::Release(std::string& error) { return SetPtt(0, error); }

bool RigctldPtt::Check(std::string& error) {
  std::string answer;
  if (!Exchange("t", answer, error)) return false;
  if (answer.rfind("RPRT ", 0) == 0) {
    error = "rigctld cannot read the PTT: " + HamlibErrorText(std::atoi(answer.c_str() + 5));
    return false;
  }
  if (answer.empty() || answer.find_first_not_of("0123456789") != std::string::npos) {
    error = "rigctld answered '" + answer + "' when asked for the PTT state";
    line_.Close();
    return false;
  }
  last_state_ = std::atoi(answer.c_str()) != 0 ? 1 : 0;
  return true;
}

}  // namespace quillon
