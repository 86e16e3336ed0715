// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The backend a PTT choice asks for.

#include <memory>
#include <string>

#include "modem/ptt/Ptt.h"
#include "modem/ptt/PttChoice.h"

namespace quillon {

// Whether this build has the Hamlib library (Linux builds that found it).
bool HamlibAvailable();

// The backend for `choice`, or nullptr with `error` when this build cannot
// have it (hamlib without the library). A serial port or Hamlib rig that
// cannot be opened yet is not an error here: it is opened when first used
// and tried again at every use while it fails, so a radio switched on or an
// interface plugged in later works without a restart.
std::unique_ptr<Ptt> MakePtt(const PttChoice& choice, std::string& error);

}  // namespace quillon
