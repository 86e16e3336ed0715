// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Передатчик" dialog's contents, the same in both windows: the keying
// method and its fields as the operator types them, turned into keying
// settings and back, with a Russian message for the field that is wrong.
// The two dialogs only lay these rows out and copy the texts in and out.
//
// Texts are UTF-8 literals; the Windows build compiles narrow literals to
// cp1251, so there they are the bytes the ...A calls expect.

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <string>

#include "modem/ptt/PttKeyer.h"
#include "modem/ptt/PttSettings.h"

namespace quillon {

constexpr char kPttDialogTitle[] = "Передатчик";
constexpr char kPttCheckCaption[] = "Проверить";
constexpr char kPttOkCaption[] = "OK";
constexpr char kPttCancelCaption[] = "Отмена";

// The order of the method list in the dialog.
enum class PttMethod { kNone, kRigctld, kHamlib, kRts, kDtr };
constexpr int kPttMethodCount = 5;

// Label of a method in the list; Hamlib says so when this build lacks it.
const char* PttMethodLabel(PttMethod method, bool hamlib_available);

// The dialog's edit fields, in the order they are laid out.
enum class PttField { kHost, kPort, kModel, kRigPort, kSpeed, kSerialPort, kLead, kTail, kTimeLimit };
constexpr int kPttFieldCount = 9;
// The method list itself, for a message about the method (a method this
// build lacks).
constexpr int kPttMethodRow = -1;

const char* PttFieldLabel(PttField field);
// Whether a method reads the field; the others are greyed out.
bool PttFieldUsed(PttMethod method, PttField field);

struct PttFormFields {
  PttMethod method = PttMethod::kNone;
  bool vox = false;  // "Нет / VOX" read from "vox": written back as it was
  std::string texts[kPttFieldCount];

  std::string& operator[](PttField field) { return texts[static_cast<int>(field)]; }
  const std::string& operator[](PttField field) const { return texts[static_cast<int>(field)]; }
};

// A field that does not hold what its method needs.
struct PttFormError {
  int row = kPttMethodRow;  // a PttField as int, or kPttMethodRow
  std::string message;
};

// The fields showing `settings`; the fields of the other methods hold their
// usual values (rigctld on this machine's port 4532).
PttFormFields FieldsFromSettings(const PttSettings& settings);
// The settings the fields describe, checked field by field and then read
// back through the keying parser; blanks around a text do not count.
// nullopt and `settings` set, or the first wrong field and nothing set.
std::optional<PttFormError> SettingsFromFields(const PttFormFields& fields, bool hamlib_available,
                                               PttSettings& settings);

// The keying as quillon.conf in `home` keeps it; its damaged values are
// reported on standard error and their defaults used.
PttSettings LoadPttSettings(const std::string& home);
// Writes the settings into quillon.conf in `home` (keeping everything else
// it holds) and gives them to the keyer at once. On failure `error` says, in
// Russian, what went wrong; the keyer is left as it was when nothing was
// saved.
bool ApplyPttSettings(const std::string& home, const PttSettings& settings, PttKeyer& keyer, std::string& error);
// At the window's start: the keyer keys as quillon.conf says.
void UseStoredPttSettings(const std::string& home, PttKeyer& keyer);

// "Проверить": keys the radio for one second through the keyer, off the
// window's thread so the window keeps answering. The keyer is first given
// the dialog's settings, so what is checked is what the operator sees.
class PttCheck {
 public:
  static constexpr std::chrono::milliseconds kKeyedFor{1000};

  ~PttCheck();  // waits for a check under way
  // False when a check is already under way.
  bool Start(PttKeyer& keyer, const PttSettings& settings);
  bool Running() const { return result_.valid(); }
  // Whether a check has given the keyer the dialog's settings: a dialog
  // left with "Отмена" then gives it back the ones it had.
  bool ChangedKeyer() const { return changed_keyer_.load(); }
  // The text to show once the check has ended, nullopt while it runs or
  // when none was started.
  std::optional<std::string> TakeResult();
  // Waits for a check under way to end (its result is dropped).
  void Wait();

 private:
  std::future<std::string> result_;
  std::atomic<bool> changed_keyer_{false};  // set by the check's own thread
};

// The texts the dialog shows while and after checking.
constexpr char kPttCheckRunningText[] = "Проверка: передатчик включён на 1 с…";
constexpr char kPttCheckPassedText[] = "Передатчик включался на 1 с и выключен.";
constexpr char kPttCheckFailedPrefix[] = "Проверка не удалась: ";
constexpr char kPttCheckWhileKeyedText[] = "идёт передача, проверьте после неё.";

}  // namespace quillon
