// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The readable settings file quillon.conf beside init.ini: what the 36-byte
// record has no room for (the transmitter's keying, devices by name).
//
//   # a comment: any line whose first non-blank character is '#'
//   ptt = rigctld:127.0.0.1:4532
//   ptt_lead_ms = 50
//
// One `key = value` per line in UTF-8; blanks around key and value are
// dropped. A key is letters, digits, '_', '-' and '.'. A line that is not of
// this form is ignored with a warning and kept as it is, like comments and
// keys this program does not know, so writing the file back loses nothing
// another version (or the operator) put there. When a key appears twice the
// last line counts, and Set changes that line.

#include <optional>
#include <string>
#include <vector>

namespace quillon {

constexpr char kStationConfigFileName[] = "quillon.conf";

// The keys of the transmitter's keying.
namespace config_key {
constexpr char kPtt[] = "ptt";                    // none|vox|rigctld:HOST:PORT|hamlib:MODEL:PORT[:SPEED]|rts:PORT|dtr:PORT
constexpr char kPttLeadMs[] = "ptt_lead_ms";      // keyed this long before the first sample plays
constexpr char kPttTailMs[] = "ptt_tail_ms";      // held this long after the last sample has played
constexpr char kTxTimeLimitS[] = "tx_time_limit_s";  // a transmission is cut off after this; 0 = no limit
// Listening: 1 hears all 19 modes at once (init.ini's mode still transmits),
// 0 or absent only that mode; HOST:PORT gets each received frame as JSON.
constexpr char kListenAllModes[] = "listen_all_modes";
constexpr char kUdpEvents[] = "udp_events";
// 1: the receivers are the deep receiver, in one mode or all; 0 or absent:
// the standard one.
constexpr char kDeepReceive[] = "deep_receive";
}  // namespace config_key

class StationConfig {
 public:
  // Parses the text of a file; each damaged line adds one message, with its
  // line number, to `warnings` (when given).
  static StationConfig FromText(const std::string& text, std::vector<std::string>* warnings = nullptr);
  // The file at `path`; a missing file is an empty configuration without a
  // warning, one that exists but cannot be read gives one.
  static StationConfig Load(const std::string& path, std::vector<std::string>* warnings = nullptr);

  std::optional<std::string> Get(const std::string& key) const;
  std::string GetOr(const std::string& key, const std::string& fallback) const;
  // A whole number within [low, high]; `fallback` when the key is absent, and
  // also (with a warning) when its value is not such a number.
  long long GetInt(const std::string& key, long long fallback, long long low, long long high,
                   std::vector<std::string>* warnings = nullptr) const;

  // Sets the key, appending a line when it is new. False (and nothing
  // changed) for a key that is not of the allowed form or a value holding a
  // line break, which the file could not give back.
  bool Set(const std::string& key, const std::string& value);
  void Remove(const std::string& key);

  std::string ToText() const;
  // Writes a temporary file beside `path` and renames it over the file, so a
  // crash leaves the old file or the new one, never half of one. On failure
  // `error` (when given) says what went wrong and the old file stays.
  bool Save(const std::string& path, std::string* error = nullptr) const;

  static bool IsValidKey(const std::string& key);

 private:
  struct Line {
    std::string text;  // the line as read (comments, blank and damaged lines are kept as they are)
    std::string key;   // empty for a line that holds no setting
    std::string value;
  };
  // The index of the line that sets `key`, lines_.size() when none does.
  std::size_t LastLineOf(const std::string& key) const;

  std::vector<Line> lines_;
};

}  // namespace quillon
