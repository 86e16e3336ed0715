// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The menus' labels and command ids. The main menu bar "MENU_1":
//   "&Режимы": 101 "&Вход звука", 102 "&Выход звука",
//              sub-menu "&Режим OLIVIA" (301..319, see modem/ModeTable.h,
//              then 320 "Все режимы", then 321 "Глубокий приём"),
//              108 "&Выход", 109 "&Передатчик…" (the keying dialog)
//   "&О программе": 201 "&Описание", 202 "&Автор"
// The device pop-ups "MENU_WIn" and "MENU_WOut", each one sub-menu "&Режимы"
// holding the default item, to which the devices are appended.

namespace quillon {

struct MenuItem {
  int id;
  const char* label;
};

constexpr char kMainMenuName[] = "MENU_1";
constexpr char kInputPopupMenuName[] = "MENU_WIn";
constexpr char kOutputPopupMenuName[] = "MENU_WOut";

constexpr char kModesMenuLabel[] = "&Режимы";
constexpr MenuItem kSoundInputItem{101, "&Вход звука"};
constexpr MenuItem kSoundOutputItem{102, "&Выход звука"};
constexpr char kOliviaModeMenuLabel[] = "&Режим OLIVIA";
constexpr MenuItem kExitItem{108, "&Выход"};
constexpr MenuItem kPttItem{109, "&Передатчик…"};

constexpr char kAboutMenuLabel[] = "&О программе";
constexpr MenuItem kDescriptionItem{201, "&Описание"};
constexpr MenuItem kAuthorItem{202, "&Автор"};

constexpr MenuItem kDefaultInputItem{401, "&Вход по умолчанию"};
constexpr MenuItem kDefaultOutputItem{501, "&Выход по умолчанию"};

// Command 100 exists and does nothing.
constexpr int kNoOpCommand = 100;

constexpr int kFirstModeItem = 301;
constexpr int kLastModeItem = 319;
constexpr int kFirstModeNumber = 93;
constexpr int kLastModeNumber = 111;
// Listens in all 19 modes at once; the checked mode still transmits.
// Choosing a single mode listens in that one again.
constexpr MenuItem kAllModesItem{320, "Все режимы"};
// Switches the deep receiver on and off, for one mode or all; the modem is
// rebuilt with it.
constexpr MenuItem kDeepReceiveItem{321, "Глубокий приём"};

// The mode menu item that carries the check mark for a mode number; 0 when
// the number is not one of the 19 and no item is checked.
constexpr int ModeMenuItemFor(int mode_number) {
  return mode_number >= kFirstModeNumber && mode_number <= kLastModeNumber
             ? kFirstModeItem + (mode_number - kFirstModeNumber)
             : 0;
}

}  // namespace quillon
