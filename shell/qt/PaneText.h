// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The boundary between the link's cp1251 texts and the Qt panes. The link
// (and a station on the other platform) writes line breaks as CR LF; a Qt
// pane holds bare line feeds.

#include <QString>

#include <string>

namespace quillon {

// A pane's text as the link sends it: cp1251, every line feed as CR LF, at
// most max_bytes bytes. Characters cp1251 lacks become '?'.
std::string LinkTextFromPane(const QString& pane_text, int max_bytes);

// A link text as a pane shows it: CR LF and a lone CR become one line feed.
QString PaneTextFromLink(const std::string& cp1251);

// What typing one link character does to a pane, as a keyboard would.
struct TypedKey {
  enum class Kind { kNothing, kInsert, kBackspace };
  Kind kind = Kind::kNothing;
  QString text;  // for kInsert
};

// Typing keeps one piece of state: whether the previous character was a CR,
// so that a CR LF pair makes a single line break.
class PaneTypist {
 public:
  TypedKey Type(unsigned char character);
  void Reset() { after_cr_ = false; }

 private:
  bool after_cr_ = false;
};

}  // namespace quillon
