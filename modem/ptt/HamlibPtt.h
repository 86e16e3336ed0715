// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keying through the Hamlib library (Linux builds that found libhamlib): the
// rig is opened once, by model number, on a port and at a speed, and kept
// open until the object goes.

#include <memory>
#include <string>

#include "modem/ptt/Ptt.h"

namespace quillon {

class HamlibPtt : public Ptt {
 public:
  // nullptr, with `error` saying why, when the rig cannot be set up or opened.
  static std::unique_ptr<HamlibPtt> Open(int model, const std::string& port, int speed, std::string& error);
  class Rig;  // the library's handle, kept out of this header
  explicit HamlibPtt(std::unique_ptr<Rig> rig);
  ~HamlibPtt() override;

  bool Key(std::string& error) override;
  bool Release(std::string& error) override;
  // Reads the PTT state from the rig.
  bool Check(std::string& error) override;
  int LastState() const { return last_state_; }

 private:
  bool SetPtt(bool on, std::string& error);

  std::unique_ptr<Rig> rig_;
  int last_state_ = -1;
};

}  // namespace quillon
