// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/win32/PttDialog.h"

#include <cstring>
#include <memory>
#include <utility>

#include "modem/ptt/PttFactory.h"
#include "shell/PttForm.h"

namespace quillon {
namespace {

// The rows in dialog units: the label, its edit, and to the right the room
// where the message of a wrong row appears (three rows high, as the longer
// messages take).
constexpr int kMargin = 7;
constexpr int kRowPitch = 15;
constexpr int kRowHeight = 12;
constexpr int kLabelWidth = 95;
constexpr int kEditX = kMargin + kLabelWidth + 2;
constexpr int kEditWidth = 110;
constexpr int kMessageX = kEditX + kEditWidth + 6;
constexpr int kMessageWidth = 150;
constexpr int kDialogWidth = kMessageX + kMessageWidth + kMargin;
constexpr int kRows = 1 + kPttFieldCount;  // the method list, then the fields
constexpr int kResultY = kMargin + kRows * kRowPitch;
constexpr int kButtonsY = kResultY + 24;
constexpr int kButtonHeight = 14;
constexpr int kButtonWidth = 54;

constexpr UINT_PTR kCheckTimer = 1;
constexpr UINT kCheckPollMs = 50;
// The message's dark red.
constexpr COLORREF kMessageColour = RGB(176, 0, 0);

struct DialogState {
  DialogState(PttKeyer& keyer_in, std::string home_in, bool modal_in)
      : keyer(keyer_in), home(std::move(home_in)), modal(modal_in), stored(LoadPttSettings(home)) {}

  PttKeyer& keyer;
  std::string home;
  bool modal;
  PttSettings stored;  // what the keyer had when the dialog opened
  bool hamlib_available = HamlibAvailable();
  bool vox = false;    // "Нет / VOX" was read from "vox" and stays so
  PttCheck check;
};

DialogState* StateOf(HWND dialog) { return reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

HWND Make(HWND dialog, const char* window_class, const char* text, DWORD style, int id, int x, int y, int width,
          int height) {
  RECT at{x, y, x + width, y + height};
  MapDialogRect(dialog, &at);
  // Edits get the sunken edge a dialog template gives them.
  const DWORD ex_style = std::strcmp(window_class, "EDIT") == 0 ? WS_EX_CLIENTEDGE : 0;
  HWND control = CreateWindowExA(ex_style, window_class, text,
                                 WS_CHILD | WS_VISIBLE | style, at.left, at.top, at.right - at.left,
                                 at.bottom - at.top, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE)), nullptr);
  SendMessageA(control, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
  return control;
}

int RowY(int row) { return kMargin + row * kRowPitch; }
// The method list is row 0 of the dialog, field f is row f + 1.
int DialogRow(int form_row) { return form_row == kPttMethodRow ? 0 : form_row + 1; }

PttMethod ChosenMethod(HWND dialog) {
  const LRESULT index = SendDlgItemMessageA(dialog, kPttMethodListId, CB_GETCURSEL, 0, 0);
  return index < 0 ? PttMethod::kNone : static_cast<PttMethod>(index);
}

std::string ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(control, &text[0], static_cast<int>(text.size()))));
  return text;
}

PttFormFields ReadFields(HWND dialog, const DialogState& state) {
  PttFormFields fields;
  fields.method = ChosenMethod(dialog);
  fields.vox = state.vox;
  for (int field = 0; field < kPttFieldCount; ++field) fields.texts[field] = ControlText(dialog, kPttFirstFieldId + field);
  return fields;
}

void HideMessage(HWND dialog) { ShowWindow(GetDlgItem(dialog, kPttMessageId), SW_HIDE); }

void ShowError(HWND dialog, const PttFormError& error) {
  HWND message = GetDlgItem(dialog, kPttMessageId);
  RECT at{kMessageX, RowY(DialogRow(error.row)), kMessageX + kMessageWidth, RowY(DialogRow(error.row)) + 3 * kRowPitch};
  MapDialogRect(dialog, &at);
  SetWindowTextA(message, error.message.c_str());
  SetWindowPos(message, nullptr, at.left, at.top, at.right - at.left, at.bottom - at.top, SWP_NOZORDER);
  ShowWindow(message, SW_SHOW);
  SetFocus(GetDlgItem(dialog, error.row == kPttMethodRow ? kPttMethodListId : kPttFirstFieldId + error.row));
}

void FollowMethod(HWND dialog, const DialogState& state) {
  const PttMethod method = ChosenMethod(dialog);
  for (int field = 0; field < kPttFieldCount; ++field)
    EnableWindow(GetDlgItem(dialog, kPttFirstFieldId + field), PttFieldUsed(method, static_cast<PttField>(field)));
  EnableWindow(GetDlgItem(dialog, kPttCheckButtonId), !state.check.Running() && method != PttMethod::kNone);
  HideMessage(dialog);
}

void CreateRows(HWND dialog, const DialogState& state) {
  Make(dialog, "STATIC", "Управление:", SS_LEFT, -1, kMargin, RowY(0) + 2, kLabelWidth, kRowHeight);
  // A drop-down list's height includes its open list.
  Make(dialog, "COMBOBOX", nullptr, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kPttMethodListId, kEditX, RowY(0),
       kEditWidth, 100);
  for (int method = 0; method < kPttMethodCount; ++method)
    SendDlgItemMessageA(dialog, kPttMethodListId, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(PttMethodLabel(static_cast<PttMethod>(method), state.hamlib_available)));
  for (int field = 0; field < kPttFieldCount; ++field) {
    Make(dialog, "STATIC", PttFieldLabel(static_cast<PttField>(field)), SS_LEFT, -1, kMargin, RowY(field + 1) + 2,
         kLabelWidth, kRowHeight);
    Make(dialog, "EDIT", nullptr, ES_AUTOHSCROLL | WS_TABSTOP, kPttFirstFieldId + field, kEditX, RowY(field + 1),
         kEditWidth, kRowHeight);
  }
  Make(dialog, "STATIC", nullptr, SS_LEFT, kPttMessageId, kMessageX, RowY(0), kMessageWidth, 3 * kRowPitch);
  HideMessage(dialog);
  Make(dialog, "STATIC", nullptr, SS_LEFT, kPttCheckResultId, kMargin, kResultY, kDialogWidth - 2 * kMargin, 20);
  Make(dialog, "BUTTON", kPttCheckCaption, BS_PUSHBUTTON | WS_TABSTOP, kPttCheckButtonId, kMargin, kButtonsY,
       kButtonWidth + 10, kButtonHeight);
  Make(dialog, "BUTTON", kPttOkCaption, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK,
       kDialogWidth - kMargin - 2 * kButtonWidth - 4, kButtonsY, kButtonWidth, kButtonHeight);
  Make(dialog, "BUTTON", kPttCancelCaption, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, kDialogWidth - kMargin - kButtonWidth,
       kButtonsY, kButtonWidth, kButtonHeight);
}

void ShowFields(HWND dialog, DialogState& state) {
  const PttFormFields fields = FieldsFromSettings(state.stored);
  state.vox = fields.vox;
  SendDlgItemMessageA(dialog, kPttMethodListId, CB_SETCURSEL, static_cast<WPARAM>(fields.method), 0);
  for (int field = 0; field < kPttFieldCount; ++field)
    SetDlgItemTextA(dialog, kPttFirstFieldId + field, fields.texts[field].c_str());
  FollowMethod(dialog, state);
}

void Close(HWND dialog, const DialogState& state, INT_PTR result) {
  if (state.modal)
    EndDialog(dialog, result);
  else
    DestroyWindow(dialog);
}

void StartCheck(HWND dialog, DialogState& state) {
  PttSettings settings;
  if (const std::optional<PttFormError> wrong = SettingsFromFields(ReadFields(dialog, state), state.hamlib_available,
                                                                   settings)) {
    ShowError(dialog, *wrong);
    return;
  }
  HideMessage(dialog);
  if (!state.check.Start(state.keyer, settings)) return;
  EnableWindow(GetDlgItem(dialog, kPttCheckButtonId), FALSE);
  SetDlgItemTextA(dialog, kPttCheckResultId, kPttCheckRunningText);
  SetTimer(dialog, kCheckTimer, kCheckPollMs, nullptr);
}

void PollCheck(HWND dialog, DialogState& state) {
  const std::optional<std::string> result = state.check.TakeResult();
  if (!result) return;
  KillTimer(dialog, kCheckTimer);
  SetDlgItemTextA(dialog, kPttCheckResultId, result->c_str());
  FollowMethod(dialog, state);
}

void Confirm(HWND dialog, DialogState& state) {
  PttSettings settings;
  if (const std::optional<PttFormError> wrong = SettingsFromFields(ReadFields(dialog, state), state.hamlib_available,
                                                                   settings)) {
    ShowError(dialog, *wrong);
    return;
  }
  state.check.Wait();
  KillTimer(dialog, kCheckTimer);
  std::string error;
  if (!ApplyPttSettings(state.home, settings, state.keyer, error)) {
    SetDlgItemTextA(dialog, kPttCheckResultId, error.c_str());
    return;
  }
  Close(dialog, state, IDOK);
}

// A check gave the keyer the dialog's settings; leaving gives back the
// stored ones.
void Cancel(HWND dialog, DialogState& state) {
  state.check.Wait();
  KillTimer(dialog, kCheckTimer);
  if (state.check.ChangedKeyer()) {
    std::string error;
    ConfigureKeyer(state.keyer, state.stored, error);
  }
  Close(dialog, state, IDCANCEL);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  DialogState* state = StateOf(dialog);
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<DialogState*>(lparam);
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      SetWindowTextA(dialog, kPttDialogTitle);
      CreateRows(dialog, *state);
      ShowFields(dialog, *state);
      return TRUE;
    }
    case WM_COMMAND:
      if (state == nullptr) return FALSE;
      switch (LOWORD(wparam)) {
        case kPttMethodListId:
          if (HIWORD(wparam) == CBN_SELCHANGE) {
            state->vox = false;
            FollowMethod(dialog, *state);
          }
          return TRUE;
        case kPttCheckButtonId:
          StartCheck(dialog, *state);
          return TRUE;
        case IDOK:
          Confirm(dialog, *state);
          return TRUE;
        case IDCANCEL:
          Cancel(dialog, *state);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_TIMER:
      if (state != nullptr && wparam == kCheckTimer) PollCheck(dialog, *state);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lparam) != GetDlgItem(dialog, kPttMessageId)) return FALSE;
      SetTextColor(reinterpret_cast<HDC>(wparam), kMessageColour);
      SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_NCDESTROY:
      // A modeless dialog owns its state.
      if (state != nullptr && !state->modal) std::unique_ptr<DialogState>(state).reset();
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR ShowPttDialog(HWND owner, HINSTANCE instance, PttKeyer& keyer, const std::string& home_directory) {
  DialogState state(keyer, home_directory, true);
  return DialogBoxParamA(instance, kPttDialogResource, owner, DialogProc, reinterpret_cast<LPARAM>(&state));
}

HWND OpenPttDialog(HWND owner, HINSTANCE instance, PttKeyer& keyer, const std::string& home_directory) {
  auto state = std::make_unique<DialogState>(keyer, home_directory, false);
  HWND dialog =
      CreateDialogParamA(instance, kPttDialogResource, owner, DialogProc, reinterpret_cast<LPARAM>(state.get()));
  if (dialog != nullptr) static_cast<void>(state.release());  // the dialog's now; freed when it is destroyed
  return dialog;
}

}  // namespace quillon
