// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The four window icons, drawn from the XPM pictures in shell/icons.

#include <QIcon>

#include "shell/IconRule.h"

namespace quillon {

// Needs a QGuiApplication.
QIcon StatusIconPicture(StatusIcon icon);

}  // namespace quillon
