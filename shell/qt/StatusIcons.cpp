// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt/StatusIcons.h"

#include <QPixmap>

namespace quillon {
namespace {

#include "shell/icons/ICON_0.xpm"
#include "shell/icons/ICON_1.xpm"
#include "shell/icons/ICON_2.xpm"
#include "shell/icons/ICON_3.xpm"

}  // namespace

QIcon StatusIconPicture(StatusIcon icon) {
  static const char* const* const kPictures[] = {ICON_0_xpm, ICON_1_xpm, ICON_2_xpm, ICON_3_xpm};
  return QIcon(QPixmap(kPictures[icon]));
}

}  // namespace quillon
