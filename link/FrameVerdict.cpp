// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/FrameVerdict.h"

#include <cstdio>

namespace quillon {

std::string FrameVerdictWord(const ReceivedFrame& frame) {
  if (!frame.good) return {};
  switch (frame.integrity) {
    case FrameIntegrity::kVerified:
      return "\xEF\xF0\xEE\xE2\xE5\xF0\xE5\xED\xEE";  // проверено
    case FrameIntegrity::kUnverified:
      return "\xE1\xE5\xE7 \xE4\xEE\xEF. \xEF\xF0\xEE\xE2\xE5\xF0\xEA\xE8";  // без доп. проверки
    case FrameIntegrity::kDoubtful:
      return "\xF1\xEE\xEC\xED\xE8\xF2\xE5\xEB\xFC\xED\xEE";  // сомнительно
    case FrameIntegrity::kBad:
      break;
  }
  return "\xE4\xEE\xEF. \xEF\xF0\xEE\xE2\xE5\xF0\xEA\xE0: \xEE\xF8\xE8\xE1\xEA\xE0";  // доп. проверка: ошибка
}

std::string FrameStatusText(const ReceivedFrame& frame) {
  char text[64];
  std::snprintf(text, sizeof text, frame.good ? "CRC %X = %X" : "CRC %X != %X", static_cast<unsigned>(frame.expected),
                static_cast<unsigned>(frame.received));
  const std::string word = FrameVerdictWord(frame);
  return word.empty() ? std::string(text) : std::string(text) + ", " + word;
}

const char* IntegrityName(FrameIntegrity integrity) {
  switch (integrity) {
    case FrameIntegrity::kVerified:
      return "verified";
    case FrameIntegrity::kUnverified:
      return "unverified";
    case FrameIntegrity::kDoubtful:
      return "doubtful";
    case FrameIntegrity::kBad:
      break;
  }
  return "bad";
}

}  // namespace quillon
