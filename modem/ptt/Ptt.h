// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keying the transmitter: one small interface over the ways a station can
// switch its radio between receive and transmit (none, a rigctld server, the
// Hamlib library, a serial port's RTS or DTR line).
//
// Every call blocks until the radio has answered or the backend's own time
// limit has passed (a few seconds at most), and on failure says in `error`
// what went wrong in words an operator can act on.

#include <string>

namespace quillon {

class Ptt {
 public:
  virtual ~Ptt() = default;
  // Switch the radio to transmit.
  virtual bool Key(std::string& error) = 0;
  // Switch it back to receive.
  virtual bool Release(std::string& error) = 0;
  // Whether the radio can be reached, without keying it.
  virtual bool Check(std::string& error) = 0;
  // False for a backend that never keys anything: no lead to wait for.
  virtual bool KeysRadio() const { return true; }
};

// none and vox: the program never keys anything (the radio's VOX, or the
// operator by hand, does); every call succeeds.
class NoPtt : public Ptt {
 public:
  bool Key(std::string&) override { return true; }
  bool Release(std::string&) override { return true; }
  bool Check(std::string&) override { return true; }
  bool KeysRadio() const override { return false; }
};

}  // namespace quillon
