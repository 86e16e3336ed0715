// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt/PaneText.h"

#include "link/Cp1251.h"

namespace quillon {
namespace {

constexpr unsigned char kBackspace = 8;
constexpr unsigned char kTab = 9;
constexpr unsigned char kLineFeed = 10;
constexpr unsigned char kCarriageReturn = 13;

}  // namespace

std::string LinkTextFromPane(const QString& pane_text, int max_bytes) {
  const QByteArray utf8 = pane_text.toUtf8();
  const std::string cp1251 = Utf8ToCp1251(std::string(utf8.constData(), static_cast<std::size_t>(utf8.size())));
  std::string link;
  link.reserve(cp1251.size() + cp1251.size() / 16);
  for (char character : cp1251) {
    if (character == '\n') link += '\r';
    link += character;
  }
  if (max_bytes >= 0 && link.size() > static_cast<std::size_t>(max_bytes)) link.resize(max_bytes);
  return link;
}

QString PaneTextFromLink(const std::string& cp1251) {
  std::string lf;
  lf.reserve(cp1251.size());
  for (std::size_t index = 0; index < cp1251.size(); ++index) {
    if (cp1251[index] != '\r') {
      lf += cp1251[index];
    } else if (index + 1 >= cp1251.size() || cp1251[index + 1] != '\n') {
      lf += '\n';
    }
  }
  return QString::fromStdString(Cp1251ToUtf8(lf));
}

TypedKey PaneTypist::Type(unsigned char character) {
  const bool after_cr = after_cr_;
  after_cr_ = character == kCarriageReturn;
  TypedKey key;
  if (character == kCarriageReturn || (character == kLineFeed && !after_cr)) {
    key.kind = TypedKey::Kind::kInsert;
    key.text = QStringLiteral("\n");
  } else if (character == kBackspace) {
    key.kind = TypedKey::Kind::kBackspace;
  } else if (character == kTab || character >= 32) {
    key.kind = TypedKey::Kind::kInsert;
    key.text = QString::fromStdString(Cp1251ToUtf8(std::string(1, static_cast<char>(character))));
  }
  return key;
}

}  // namespace quillon
