// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's menu bar "MENU_1" (device pop-up openers, the Olivia mode
// sub-menu with its single check mark, exit, description, author) and the
// device pop-ups "MENU_WIn" / "MENU_WOut". Every item carries its command id;
// choosing one hands the id to the window's command handler.

#include <QAction>
#include <QMenuBar>
#include <QPoint>

#include <functional>
#include <map>

#include "modem/audio/AudioDevice.h"

namespace quillon {

class MainMenus {
 public:
  using CommandHandler = std::function<void(int id)>;

  MainMenus(QMenuBar& bar, CommandHandler handler);

  // The menu bar item with a command id; nullptr when there is none.
  QAction* Item(int id) const;

  // Puts the check mark on the mode item of a mode number (none for a
  // number outside 93..111), and on "Все режимы" when listening in all.
  void OnOffMenu(int mode_number, bool all_modes = false);
  // The check mark of "Глубокий приём".
  void CheckDeepReceive(bool deep);

 private:
  QAction* AddItem(QMenu& menu, int id, const char* label);

  CommandHandler handler_;
  std::map<int, QAction*> items_;
};

// Shows the device pop-up at `at`, owned by `owner`: the default item
// (401 or 501), then item first_device_id + n named after device n, the item
// `checked_id` checked. Returns the chosen item's id, 0 when none was chosen.
int ShowDevicePopup(QWidget& owner, AudioBackend& devices, AudioDirection direction, int checked_id,
                    const QPoint& at);

}  // namespace quillon
