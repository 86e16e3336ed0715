// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LinkState.h"

namespace quillon {

LinkState& ProcessLinkState() {
  static LinkState state;
  return state;
}

}  // namespace quillon
