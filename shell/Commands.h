// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operator's commands on the link's flags, the same in both shells. Each
// returns true when it changed the success indicator, after which the shell
// calls Iconki so the icon follows.

#include "link/LinkState.h"

namespace quillon {

// The transmit and archive buttons: the operator has seen the good frame.
inline bool ClearSuccessIndicator(LinkState& link) {
  if (link.USPESHNO.load() == 0) return false;
  link.USPESHNO.store(0);
  return true;
}

// Any notification from the lower pane clears a good result, but not while a
// frame is arriving (the link is typing into the pane then).
inline bool LowerPaneTouched(LinkState& link) {
  if (link.PRM_R.load() != 0) return false;
  return ClearSuccessIndicator(link);
}

// The transmit button asks the link controller for a transmission only while
// nothing is being sent and no request is pending.
inline void RequestTransmission(LinkState& link) {
  if (link.PRD_R.load() == 0 && link.Ura.load() == 0) link.Ura.store(1);
}

}  // namespace quillon
