// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Archive.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

#include "link/Cp1251.h"
#include "link/FrameVerdict.h"

namespace quillon {
namespace {

#ifdef _WIN32
constexpr char kPathSeparator[] = "\\";
// Text mode turns every line feed into CR LF, the text's own included.
constexpr char kAppendMode[] = "at";
std::string PlatformRecord(const ReceivedFrame& frame, const ArchiveTime& time, const std::string& mode_label) {
  return FormatArchiveRecord(frame, time, mode_label);
}
void ToLocalTime(std::time_t seconds, std::tm& local) { localtime_s(&local, &seconds); }
#else
constexpr char kPathSeparator[] = "/";
constexpr char kAppendMode[] = "a";
// A Linux editor wants UTF-8 and bare line feeds: the pane's CR LF pairs
// become LF.
std::string PlatformRecord(const ReceivedFrame& frame, const ArchiveTime& time, const std::string& mode_label) {
  ReceivedFrame lf = frame;
  lf.text.clear();
  for (std::size_t index = 0; index < frame.text.size(); ++index) {
    if (frame.text[index] == '\r' && index + 1 < frame.text.size() && frame.text[index + 1] == '\n') continue;
    lf.text.push_back(frame.text[index]);
  }
  return Cp1251ToUtf8(FormatArchiveRecord(lf, time, mode_label));
}
void ToLocalTime(std::time_t seconds, std::tm& local) { localtime_r(&seconds, &local); }
#endif

}  // namespace

ArchiveTime LocalTimeNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto since_epoch = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  std::tm local{};
  ToLocalTime(seconds, local);
  ArchiveTime time;
  time.year = local.tm_year + 1900;
  time.month = local.tm_mon + 1;
  time.day = local.tm_mday;
  time.hour = local.tm_hour;
  time.minute = local.tm_min;
  time.second = local.tm_sec;
  time.millisecond = static_cast<int>(((since_epoch % 1000) + 1000) % 1000);
  return time;
}

namespace {

std::string FormatRecord(int expected, int received, bool agrees, bool success, const ArchiveTime& time,
                         const std::string& verdict, const std::string& mode_label, const std::string& text) {
  char stamp[128];
  std::snprintf(stamp, sizeof stamp, "   %04d / %02d / %02d     %02d:%02d:%02d.%03d", time.year, time.month, time.day,
                time.hour, time.minute, time.second, time.millisecond);
  // %X shows a negative (sign-extended) check byte as FFFFFF80 and so on.
  char check[64];
  std::snprintf(check, sizeof check, agrees ? "CRC %X = %X" : "CRC %X != %X", static_cast<unsigned>(expected),
                static_cast<unsigned>(received));
  // "Успешно" and "Ошибка" in cp1251.
  const char* outcome = success ? "\xD3\xF1\xEF\xE5\xF8\xED\xEE" : "\xCE\xF8\xE8\xE1\xEA\xE0";
  std::string record = std::string("------------   ") + check + " " + outcome + "  " + stamp;
  if (!verdict.empty()) record += "   " + verdict;
  if (!mode_label.empty()) record += "   " + mode_label;
  return record + "\n\n" + text + "\n\n";
}

}  // namespace

std::string FormatArchiveRecord(int expected, int received, bool good, const ArchiveTime& time,
                                const std::string& text) {
  return FormatRecord(expected, received, good, good, time, {}, {}, text);
}

std::string FormatArchiveRecord(const ReceivedFrame& frame, const ArchiveTime& time, const std::string& mode_label) {
  return FormatRecord(frame.expected, frame.received, frame.good, frame.Trusted(), time, FrameVerdictWord(frame),
                      mode_label, frame.text);
}

Archive::Archive(std::string home_directory, ArchiveClock clock)
    : path_(std::move(home_directory) + kPathSeparator + "log.txt"), clock_(std::move(clock)) {
  if (!clock_) clock_ = LocalTimeNow;
}

bool Archive::Append(const ReceivedFrame& frame, const std::string& mode_label) const {
  std::FILE* file = std::fopen(path_.c_str(), kAppendMode);
  if (file == nullptr) return false;
  const std::string record = PlatformRecord(frame, clock_(), mode_label);
  std::fwrite(record.data(), 1, record.size(), file);
  std::fclose(file);
  return true;
}

}  // namespace quillon
