// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The shell's own texts. Written as UTF-8 literals; the Windows build
// compiles narrow literals to cp1251, so there they are the bytes the ...A
// calls expect.

namespace quillon {

constexpr char kWindowClassName[] = "WindowClassQUILLON";
constexpr char kWindowTitle[] = "  Quillon";

constexpr char kTransmitCaption[] = "Передать";
constexpr char kArchiveCaption[] = "Архив";

// In the status bar when the upper pane holds a character the link cannot
// carry (no cp1251 code): %1 is that character. Nothing is sent. (The
// Windows window cannot hold such a character: its panes are cp1251.)
constexpr char kUnsendableCharacterFormat[] = "Символ «%1» нельзя передать";

// In the status bar when "Архив" finds no text editor to start.
constexpr char kArchiveEditorFailedText[] = "Не удалось запустить редактор архива";

// In the status bar when a menu choice kept in quillon.conf (listening in
// all modes, deep reception) cannot be written there; it holds for this run,
// and standard error says why.
constexpr char kSettingNotKeptText[] = "Настройка не сохранена в quillon.conf";

constexpr char kErrorTitle[] = "Error!";
constexpr char kRegistrationFailedText[] = "Window Registration Failed!";
constexpr char kCreationFailedText[] = "Window Creation Failed!";

constexpr char kDescriptionTitle[] = "Описание";
constexpr char kDescriptionText[] =
    "Программа предназначена для передачи коротких текстов\n"
    "через радио канал. Это могут быть электронная почта,\n"
    "телефоны, ссылки на интернет ресурсы, все то, что\n"
    "иногда при сеансе связи хочется сообщить корреспонденту,\n"
    "но что бы надежно, без испорченного телефона. \n"
    "Программа проста в использовании, в верхнее\n"
    "текстовое окно необходимо ввести текст, включить \n"
    "ваш трансивер на передачу и нажать \n"
    "кнопку [Передать]. Дождаться когда прекратится \n"
    "передача и перейти на прием. При приеме текста \n"
    "из эфира сообщение появится в нижнем текстовом \n"
    "окне. При каждом новом сообщении новый текст затирает\n"
    "предыдущий текст. Но увидеть все сообщения можно \n"
    "нажав кнопку [Архив].\n";

constexpr char kAuthorTitle[] = "Автор";
constexpr char kAuthorText[] =
    "Quillon\n"
    "Разработчики проекта Quillon.\n"
    "Передача коротких текстов сигналом OLIVIA.\n";

}  // namespace quillon
