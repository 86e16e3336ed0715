// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt/MainMenus.h"

#include <QMenu>

#include <string>
#include <vector>

#include "engine/ModeTable.h"
#include "shell/MenuTable.h"
#include "shell/Settings.h"

namespace quillon {

MainMenus::MainMenus(QMenuBar& bar, CommandHandler handler) : handler_(std::move(handler)) {
  QMenu* modes = bar.addMenu(QString::fromUtf8(kModesMenuLabel));
  AddItem(*modes, kSoundInputItem.id, kSoundInputItem.label);
  AddItem(*modes, kSoundOutputItem.id, kSoundOutputItem.label);
  QMenu* olivia = modes->addMenu(QString::fromUtf8(kOliviaModeMenuLabel));
  for (const OliviaMode& mode : kOliviaModes) AddItem(*olivia, mode.menu_id, mode.label)->setCheckable(true);
  olivia->addSeparator();
  AddItem(*olivia, kAllModesItem.id, kAllModesItem.label)->setCheckable(true);
  olivia->addSeparator();
  AddItem(*olivia, kDeepReceiveItem.id, kDeepReceiveItem.label)->setCheckable(true);
  AddItem(*modes, kExitItem.id, kExitItem.label);
  AddItem(*modes, kPttItem.id, kPttItem.label);

  QMenu* about = bar.addMenu(QString::fromUtf8(kAboutMenuLabel));
  AddItem(*about, kDescriptionItem.id, kDescriptionItem.label);
  AddItem(*about, kAuthorItem.id, kAuthorItem.label);
}

QAction* MainMenus::AddItem(QMenu& menu, int id, const char* label) {
  QAction* action = menu.addAction(QString::fromUtf8(label));
  action->setData(id);
  // Queued, so that a command that opens a pop-up or a message box runs
  // after the menu has closed, as a posted command would.
  QObject::connect(action, &QAction::triggered, action, [this, id] { handler_(id); }, Qt::QueuedConnection);
  items_[id] = action;
  return action;
}

QAction* MainMenus::Item(int id) const {
  const auto found = items_.find(id);
  return found == items_.end() ? nullptr : found->second;
}

void MainMenus::OnOffMenu(int mode_number, bool all_modes) {
  for (int id = kFirstModeItem; id <= kLastModeItem; ++id) Item(id)->setChecked(false);
  const int checked = ModeMenuItemFor(mode_number);
  if (checked != 0) Item(checked)->setChecked(true);
  Item(kAllModesItem.id)->setChecked(all_modes);
}

void MainMenus::CheckDeepReceive(bool deep) { Item(kDeepReceiveItem.id)->setChecked(deep); }

int ShowDevicePopup(QWidget& owner, AudioBackend& devices, AudioDirection direction, int checked_id,
                    const QPoint& at) {
  const bool input = direction == AudioDirection::Capture;
  const MenuItem& default_item = input ? kDefaultInputItem : kDefaultOutputItem;
  const int first_device_id = input ? kFirstInputDeviceMenuId : kFirstOutputDeviceMenuId;

  QMenu popup(&owner);
  popup.setObjectName(QString::fromUtf8(input ? kInputPopupMenuName : kOutputPopupMenuName));
  auto add = [&popup, checked_id](int id, const QString& label) {
    QAction* action = popup.addAction(label);
    action->setData(id);
    action->setCheckable(true);
    action->setChecked(id == checked_id);
  };
  add(default_item.id, QString::fromUtf8(default_item.label));
  const std::vector<std::string> names = devices.ListDevices(direction);
  for (std::size_t n = 0; n < names.size(); ++n)
    add(first_device_id + static_cast<int>(n), QString::fromStdString(names[n]));

  owner.activateWindow();
  const QAction* chosen = popup.exec(at);
  return chosen == nullptr ? 0 : chosen->data().toInt();
}

}  // namespace quillon
