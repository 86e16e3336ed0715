// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt/PttDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "modem/ptt/PttFactory.h"

namespace quillon {
namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }
QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

// A message under its field: dark red, wrapped, out of the way until needed.
QLabel* MessageLabel(QWidget& owner) {
  auto* label = new QLabel(&owner);
  label->setWordWrap(true);
  label->setStyleSheet(QStringLiteral("color: #b00000"));
  label->hide();
  return label;
}

}  // namespace

PttDialog::PttDialog(PttKeyer& keyer, std::string home_directory, QWidget* parent)
    : QDialog(parent),
      keyer_(keyer),
      home_directory_(std::move(home_directory)),
      stored_(LoadPttSettings(home_directory_)),
      hamlib_available_(HamlibAvailable()) {
  setWindowTitle(Text(kPttDialogTitle));
  auto* grid = new QGridLayout;
  int row = 0;

  method_list_ = new QComboBox(this);
  for (int method = 0; method < kPttMethodCount; ++method)
    method_list_->addItem(Text(PttMethodLabel(static_cast<PttMethod>(method), hamlib_available_)));
  if (!hamlib_available_) {
    // Shown, so the operator learns it exists, but not to be chosen.
    if (auto* model = qobject_cast<QStandardItemModel*>(method_list_->model()))
      model->item(static_cast<int>(PttMethod::kHamlib))->setEnabled(false);
  }
  grid->addWidget(new QLabel(Text("Управление:"), this), row, 0);
  grid->addWidget(method_list_, row++, 1);
  method_message_ = MessageLabel(*this);
  grid->addWidget(method_message_, row++, 1);

  for (int field = 0; field < kPttFieldCount; ++field) {
    auto* label = new QLabel(Text(PttFieldLabel(static_cast<PttField>(field))), this);
    fields_[field] = new QLineEdit(this);
    label->setBuddy(fields_[field]);
    grid->addWidget(label, row, 0);
    grid->addWidget(fields_[field], row++, 1);
    field_messages_[field] = MessageLabel(*this);
    grid->addWidget(field_messages_[field], row++, 1);
  }
  grid->setColumnMinimumWidth(1, 220);

  check_result_ = new QLabel(this);
  check_result_->setWordWrap(true);

  check_button_ = new QPushButton(Text(kPttCheckCaption), this);
  ok_button_ = new QPushButton(Text(kPttOkCaption), this);
  auto* cancel_button = new QPushButton(Text(kPttCancelCaption), this);
  ok_button_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(check_button_);
  buttons->addStretch();
  buttons->addWidget(ok_button_);
  buttons->addWidget(cancel_button);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(check_result_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // grows and shrinks with the messages

  const PttFormFields shown = FieldsFromSettings(stored_);
  for (int field = 0; field < kPttFieldCount; ++field) fields_[field]->setText(Text(shown.texts[field]));
  method_list_->setCurrentIndex(static_cast<int>(shown.method));
  vox_ = shown.vox;
  FollowMethod();

  connect(method_list_, &QComboBox::currentIndexChanged, this, [this] {
    vox_ = false;
    FollowMethod();
  });
  connect(check_button_, &QPushButton::clicked, this, &PttDialog::StartCheck);
  connect(ok_button_, &QPushButton::clicked, this, &PttDialog::accept);
  connect(cancel_button, &QPushButton::clicked, this, &PttDialog::reject);
  check_poll_.setInterval(50);
  connect(&check_poll_, &QTimer::timeout, this, &PttDialog::PollCheck);
}

QLabel& PttDialog::Message(int row) const {
  return row == kPttMethodRow ? *method_message_ : *field_messages_[static_cast<std::size_t>(row)];
}

PttFormFields PttDialog::ReadFields() const {
  PttFormFields fields;
  fields.method = static_cast<PttMethod>(method_list_->currentIndex());
  fields.vox = vox_;
  for (int field = 0; field < kPttFieldCount; ++field) fields.texts[field] = fields_[field]->text().toStdString();
  return fields;
}

void PttDialog::FollowMethod() {
  const auto method = static_cast<PttMethod>(method_list_->currentIndex());
  for (int field = 0; field < kPttFieldCount; ++field)
    fields_[field]->setEnabled(PttFieldUsed(method, static_cast<PttField>(field)));
  check_button_->setEnabled(!check_.Running() && method != PttMethod::kNone);
  ClearMessages();
}

void PttDialog::ClearMessages() {
  method_message_->hide();
  for (QLabel* message : field_messages_) message->hide();
}

void PttDialog::ShowError(const PttFormError& error) {
  ClearMessages();
  QLabel& message = Message(error.row);
  message.setText(Text(error.message));
  message.show();
  if (error.row == kPttMethodRow)
    method_list_->setFocus(Qt::OtherFocusReason);
  else
    fields_[static_cast<std::size_t>(error.row)]->setFocus(Qt::OtherFocusReason);
}

void PttDialog::StartCheck() {
  PttSettings settings;
  if (const std::optional<PttFormError> wrong = SettingsFromFields(ReadFields(), hamlib_available_, settings)) {
    ShowError(*wrong);
    return;
  }
  ClearMessages();
  if (!check_.Start(keyer_, settings)) return;
  check_button_->setEnabled(false);
  check_result_->setText(Text(kPttCheckRunningText));
  check_poll_.start();
}

void PttDialog::PollCheck() {
  const std::optional<std::string> result = check_.TakeResult();
  if (!result) return;
  check_poll_.stop();
  check_result_->setText(Text(*result));
  FollowMethod();
}

void PttDialog::accept() {
  PttSettings settings;
  if (const std::optional<PttFormError> wrong = SettingsFromFields(ReadFields(), hamlib_available_, settings)) {
    ShowError(*wrong);
    return;
  }
  check_.Wait();
  check_poll_.stop();
  std::string error;
  if (!ApplyPttSettings(home_directory_, settings, keyer_, error)) {
    check_result_->setText(Text(error));
    return;
  }
  QDialog::accept();
}

// A check gave the keyer the dialog's settings; leaving gives back the
// stored ones.
void PttDialog::reject() {
  check_.Wait();
  check_poll_.stop();
  if (check_.ChangedKeyer()) {
    std::string error;
    ConfigureKeyer(keyer_, stored_, error);
  }
  QDialog::reject();
}

}  // namespace quillon
