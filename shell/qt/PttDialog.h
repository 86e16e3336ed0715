// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Передатчик" dialog: how the transmitter is keyed. The method list,
// one row per field (greyed out when the method does not read it) with its
// message under it, the check's result, and "Проверить", "OK", "Отмена".
// OK saves quillon.conf and gives the station's keyer the new keying at
// once; wrong input keeps the dialog open with the message at the field.

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <string>

#include "shell/PttForm.h"

namespace quillon {

class PttDialog : public QDialog {
  Q_OBJECT

 public:
  PttDialog(PttKeyer& keyer, std::string home_directory, QWidget* parent = nullptr);

  QComboBox& MethodList() const { return *method_list_; }
  QLineEdit& Field(PttField field) const { return *fields_[static_cast<int>(field)]; }
  // The message at a row: a PttField as int, or kPttMethodRow.
  QLabel& Message(int row) const;
  QLabel& CheckResult() const { return *check_result_; }
  QPushButton& CheckButton() const { return *check_button_; }
  QPushButton& OkButton() const { return *ok_button_; }

  void accept() override;
  void reject() override;

 private:
  PttFormFields ReadFields() const;
  void FollowMethod();
  void ShowError(const PttFormError& error);
  void ClearMessages();
  void StartCheck();
  void PollCheck();

  PttKeyer& keyer_;
  const std::string home_directory_;
  const PttSettings stored_;  // what the keyer had when the dialog opened
  const bool hamlib_available_;
  bool vox_ = false;  // "Нет / VOX" was read from "vox" and stays so
  PttCheck check_;
  QTimer check_poll_;

  QComboBox* method_list_ = nullptr;
  std::array<QLineEdit*, kPttFieldCount> fields_{};
  std::array<QLabel*, kPttFieldCount> field_messages_{};
  QLabel* method_message_ = nullptr;
  QLabel* check_result_ = nullptr;
  QPushButton* check_button_ = nullptr;
  QPushButton* ok_button_ = nullptr;
};

}  // namespace quillon
