// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The band strip's lines of text, in cp1251 like every text of the link (the
// Qt window converts them at its boundary, the Windows window shows them as
// they are): the last signal report, the mode and the chosen devices, and
// the level meter's reading and verdict.

#include <string>

#include "link/SignalReport.h"
#include "shell/LevelMeter.h"

namespace quillon {

// "SNR -8 dB  +23 Hz  8/500  21:49:05": SNR and offset rounded to whole
// numbers, the offset always signed, ASCII minus, the local time of the frame.
std::string SignalReportText(const SignalReport& report);
// Shown before the first report: "Принятых сообщений ещё нет".
std::string NoSignalReportText();

// "OLIVIA 8/500   Вход: <input>   Выход: <output>"; an empty device name is
// the default device ("по умолчанию"). Device names are cp1251 already.
std::string StationText(int mode_number, const std::string& input_device, const std::string& output_device);

// "-23 dBFS": the RMS level, whole dB.
std::string LevelText(const LevelReading& reading);
// One word: "Норма", "Допустимо", "Слабо", "Перегруз".
std::string LevelVerdictText(LevelVerdict verdict);

}  // namespace quillon
