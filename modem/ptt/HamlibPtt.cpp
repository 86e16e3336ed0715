// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/ptt/HamlibPtt.h"

#include <hamlib/rig.h>

#include <mutex>

namespace quillon {

class HamlibPtt::Rig {
 public:
  explicit Rig(RIG* rig) : rig(rig) {}
  ~Rig() {
    if (opened) rig_close(rig);
    rig_cleanup(rig);
  }
  RIG* const rig;
  bool opened = false;
};

namespace {

std::string Describe(int code) {
  const char* text = rigerror(code);
  std::string message = text != nullptr ? text : "Hamlib error " + std::to_string(code);
  // rigerror's text may carry a trailing newline and, in newer versions, a
  // debug trace after it: the first line is the message.
  message = message.substr(0, message.find('\n'));
  return message;
}

bool SetConf(RIG* rig, const char* name, const std::string& value, std::string& error) {
  const auto token = rig_token_lookup(rig, name);
  const int code = rig_set_conf(rig, token, value.c_str());
  if (code != RIG_OK) error = std::string("Hamlib refuses ") + name + " '" + value + "': " + Describe(code);
  return code == RIG_OK;
}

}  // namespace

std::unique_ptr<HamlibPtt> HamlibPtt::Open(int model, const std::string& port, int speed, std::string& error) {
  // The library writes its own tracing to standard error unless told not to.
  static std::once_flag quiet;
  std::call_once(quiet, [] { rig_set_debug(RIG_DEBUG_NONE); });
  RIG* raw = rig_init(static_cast<rig_model_t>(model));
  if (raw == nullptr) {
    error = "Hamlib knows no rig model " + std::to_string(model) + " (rigctl -l lists them)";
    return nullptr;
  }
  auto rig = std::make_unique<Rig>(raw);
  if (!SetConf(raw, "rig_pathname", port, error)) return nullptr;
  if (speed > 0 && !SetConf(raw, "serial_speed", std::to_string(speed), error)) return nullptr;
  // A rig without a PTT line of its own (the dummy rig, some receivers'
  // models) is keyed by command, which Hamlib otherwise refuses to try.
  if (raw->caps->ptt_type == RIG_PTT_NONE && !SetConf(raw, "ptt_type", "RIG", error)) return nullptr;
  const int code = rig_open(raw);
  if (code != RIG_OK) {
    error = "Hamlib cannot open rig model " + std::to_string(model) + " on " + port + ": " + Describe(code);
    return nullptr;
  }
  rig->opened = true;
  return std::make_unique<HamlibPtt>(std::move(rig));
}

HamlibPtt::HamlibPtt(std::unique_ptr<Rig> rig) : rig_(std::move(rig)) {}

HamlibPtt::~HamlibPtt() = default;

bool HamlibPtt::SetPtt(bool on, std::string& error) {
  const int code = rig_set_ptt(rig_->rig, RIG_VFO_CURR, on ? RIG_PTT_ON : RIG_PTT_OFF);
  if (code != RIG_OK) error = std::string("Hamlib could not ") + (on ? "key" : "release") + " the transmitter: " + Describe(code);
  return code == RIG_OK;
}

bool HamlibPtt::Key(std::string& error) { return SetPtt(true, error); }

bool HamlibPtt::Release(std::string& error) { return SetPtt(false, error); }

bool HamlibPtt::Check(std::string& error) {
  ptt_t state = RIG_PTT_OFF;
  const int code = rig_get_ptt(rig_->rig, RIG_VFO_CURR, &state);
  if (code != RIG_OK) {
    error = "Hamlib cannot read the PTT: " + Describe(code);
    return false;
  }
  last_state_ = state == RIG_PTT_OFF ? 0 : 1;
  return true;
}

}  // namespace quillon
