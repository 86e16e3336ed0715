// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/win32/StatusIcon.h"

#include <windows.h>

#include "link/LinkState.h"
#include "shell/IconRule.h"
#include "shell/win32/ShellWindows.h"

namespace quillon {

void Iconki() {
  const LinkState& link = ProcessLinkState();
  const char* name = StatusIconName(link.PRD_R.load(), link.PRM_R.load(), link.USPESHNO.load());
  // LoadIcon hands out shared icons, so nothing has to be destroyed later.
  SendMessageA(Glhwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadIconA(hInst, name)));
  SendMessageA(Glhwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadIconA(hInst, name)));
}

}  // namespace quillon
