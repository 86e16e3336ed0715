// SPDX-License-Identifier: GPL-3.0-or-later
// Build-time helper: writes the window's idle icon as a PNG for the desktop
// menu, so that the XPM the program draws stays the one source of the picture.
#include <QImage>

#include <cstdio>

#include "shell/icons/ICON_0.xpm"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: quillon_icon_png OUT.png\n", stderr);
    return 1;
  }
  const QImage icon(ICON_0_xpm);
  if (icon.isNull() || !icon.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "quillon_icon_png: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
