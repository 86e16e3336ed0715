// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message archive `log.txt` in the home directory: one record appended
// per received frame, the file opened and closed for each record.
//
// On Windows the record is cp1251 written in text mode, so each line feed
// becomes CR LF and the text's own CR LF pairs become CR CR LF. Elsewhere the
// same record is UTF-8 with LF line ends and the text's CR LF pairs become LF.

#include <functional>
#include <string>

#include "link/FrameReceiver.h"

namespace quillon {

struct ArchiveTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

using ArchiveClock = std::function<ArchiveTime()>;

// The local time now, to the millisecond.
ArchiveTime LocalTimeNow();

// The record as cp1251 bytes with LF line ends, before any platform
// translation. `text` is the decoded cp1251 text.
std::string FormatArchiveRecord(int expected, int received, bool good, const ArchiveTime& time,
                                const std::string& text);
// A frame's record: "=" when its check character agrees, "Успешно" only
// when it is trusted (verified, or unverified but firmly decided), and its
// verdict (FrameVerdictWord) three spaces after the timestamp; a station
// listening in all modes puts the mode's label three spaces after that.
std::string FormatArchiveRecord(const ReceivedFrame& frame, const ArchiveTime& time,
                                const std::string& mode_label = "");

class Archive {
 public:
  // An empty clock means LocalTimeNow.
  Archive(std::string home_directory, ArchiveClock clock);

  // Appends the frame's record. False when the file could not be opened;
  // nothing is reported to the operator either way.
  bool Append(const ReceivedFrame& frame, const std::string& mode_label = "") const;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  ArchiveClock clock_;
};

}  // namespace quillon
