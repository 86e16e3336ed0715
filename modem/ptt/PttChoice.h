// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the transmitter is keyed, as the --ptt option and the settings file's
// `ptt` key write it:
//
//   none | vox                  nothing is keyed (the default)
//   rigctld:HOST:PORT           a rigctld server (PORT defaults to 4532)
//   hamlib:MODEL:PORT[:SPEED]   the Hamlib library, rig MODEL (a number) on
//                               PORT (/dev/ttyUSB0, COM3, ...) at SPEED baud
//   rts:PORT | dtr:PORT         a serial port's RTS or DTR line
//
// A hamlib PORT that itself holds ':' (a network rig, host:port) must be
// followed by a SPEED (0 leaves the rig's default), so its last part is not
// taken for one.

#include <string>

namespace quillon {

struct PttChoice {
  enum class Kind { kNone, kVox, kRigctld, kHamlib, kRts, kDtr };

  Kind kind = Kind::kNone;
  std::string host;  // rigctld
  int port = 0;      // rigctld TCP port
  int model = 0;     // hamlib rig model number
  std::string device;  // hamlib, rts, dtr: the serial port (or the rig's address)
  int speed = 0;       // hamlib serial speed in baud; 0 = the rig's default

  bool KeysNothing() const { return kind == Kind::kNone || kind == Kind::kVox; }
};

constexpr int kDefaultRigctldPort = 4532;

// Parses `text`; on failure `error` says what is wrong and what was expected.
bool ParsePttChoice(const std::string& text, PttChoice& choice, std::string& error);
// The text ParsePttChoice reads back as the same choice.
std::string FormatPttChoice(const PttChoice& choice);

}  // namespace quillon
