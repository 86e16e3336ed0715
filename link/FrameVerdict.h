// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a received frame's verdict reads: the status-bar text, the word the
// archive adds to its record, and the name the command-line tool prints.

#include <string>

#include "link/FrameReceiver.h"

namespace quillon {

// "CRC %X = %X" or "CRC %X != %X" for the check character, then, after a
// comma, what the check extension and the confidence gate made of it, in
// Russian (cp1251): "проверено", "без доп. проверки", "сомнительно" or
// "доп. проверка: ошибка". A frame whose check character fails says no more.
std::string FrameStatusText(const ReceivedFrame& frame);

// The second half of the status text alone (cp1251), empty when the check
// character failed.
std::string FrameVerdictWord(const ReceivedFrame& frame);

// "verified", "unverified", "doubtful" or "bad".
const char* IntegrityName(FrameIntegrity integrity);

}  // namespace quillon
