// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/StripTexts.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "engine/ModeTable.h"

namespace quillon {
namespace {

// Russian words as cp1251 bytes (the source files are UTF-8).
constexpr char kInputLabel[] = "\xC2\xF5\xEE\xE4: ";                                  // "Вход: "
constexpr char kOutputLabel[] = "\xC2\xFB\xF5\xEE\xE4: ";                             // "Выход: "
constexpr char kDefaultDevice[] = "\xEF\xEE \xF3\xEC\xEE\xEB\xF7\xE0\xED\xE8\xFE";     // "по умолчанию"
constexpr char kNoReport[] =
    "\xCF\xF0\xE8\xED\xFF\xF2\xFB\xF5 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9 \xE5\xF9\xB8 \xED\xE5\xF2";  // "Принятых сообщений ещё нет"
constexpr char kGood[] = "\xCD\xEE\xF0\xEC\xE0";                         // "Норма"
constexpr char kAcceptable[] = "\xC4\xEE\xEF\xF3\xF1\xF2\xE8\xEC\xEE";  // "Допустимо"
constexpr char kTooWeak[] = "\xD1\xEB\xE0\xE1\xEE";                      // "Слабо"
constexpr char kClipping[] = "\xCF\xE5\xF0\xE5\xE3\xF0\xF3\xE7";         // "Перегруз"

// A whole number, never "-0".
long Whole(double value) {
  const long rounded = std::lround(value);
  return rounded == 0 ? 0 : rounded;
}

std::string ModeName(int mode_number) {
  const OliviaMode* mode = FindModeByNumber(mode_number);
  if (mode == nullptr) return "mode " + std::to_string(mode_number);
  return std::to_string(mode->Tones()) + "/" + std::to_string(mode->Bandwidth());
}

}  // namespace

std::string SignalReportText(const SignalReport& report) {
  char clock[16] = "--:--:--";
  const std::time_t time = report.time;
  if (const std::tm* local = std::localtime(&time)) std::strftime(clock, sizeof clock, "%H:%M:%S", local);
  char text[96];
  std::snprintf(text, sizeof text, "SNR %ld dB  %+ld Hz  %s  %s", Whole(report.snr_db), Whole(report.offset_hz),
                ModeName(report.mode_number).c_str(), clock);
  return text;
}

std::string NoSignalReportText() { return kNoReport; }

std::string StationText(int mode_number, const std::string& input_device, const std::string& output_device) {
  return "OLIVIA " + ModeName(mode_number) + "   " + kInputLabel +
         (input_device.empty() ? std::string(kDefaultDevice) : input_device) + "   " + kOutputLabel +
         (output_device.empty() ? std::string(kDefaultDevice) : output_device);
}

std::string LevelText(const LevelReading& reading) {
  return std::to_string(Whole(reading.rms_dbfs)) + " dBFS";
}

std::string LevelVerdictText(LevelVerdict verdict) {
  switch (verdict) {
    case LevelVerdict::kGood: return kGood;
    case LevelVerdict::kAcceptable: return kAcceptable;
    case LevelVerdict::kTooWeak: return kTooWeak;
    case LevelVerdict::kClipping: return kClipping;
  }
  return kAcceptable;
}

}  // namespace quillon
