// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keying through a rigctld server over TCP: "T 1" and "T 0" switch the PTT,
// each answered "RPRT 0" or "RPRT -code"; "t" asks its state. One connection
// is kept open between calls and made again when the server dropped it.

#include <string>

#include "modem/ptt/Ptt.h"
#include "modem/ptt/TcpLine.h"

namespace quillon {

class RigctldPtt : public Ptt {
 public:
  // Each connect and each answer may take this long: a server on the same
  // machine or network answers within milliseconds, a rig behind it within
  // its serial timeout, well under a second.
  static constexpr TcpLine::Milliseconds kTimeout{2000};

  RigctldPtt(std::string host, int port);

  bool Key(std::string& error) override;
  bool Release(std::string& error) override;
  // Asks the PTT state ("t").
  bool Check(std::string& error) override;
  // The PTT state as the server last reported it on Check: 0 or 1.
  int LastState() const { return last_state_; }

 private:
  // One command and its one answer line, over the open connection or a new
  // one; a connection that fails mid-way is made again once.
  bool Exchange(const std::string& command, std::string& answer, std::string& error);
  bool SetPtt(int on, std::string& error);

  std::string host_;
  int port_;
  TcpLine line_;
  int last_state_ = -1;
};

// The text of a Hamlib error code as a rigctld "RPRT -code" reports it.
std::string HamlibErrorText(int code);

}  // namespace quillon
