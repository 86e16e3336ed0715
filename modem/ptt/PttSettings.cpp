// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/ptt/PttSettings.h"

#include "modem/ptt/PttFactory.h"

namespace quillon {
namespace {

// Stands in for a backend this build cannot have: nothing goes on air.
class RefusingPtt : public Ptt {
 public:
  explicit RefusingPtt(std::string reason) : reason_(std::move(reason)) {}
  bool Key(std::string& error) override { return Refuse(error); }
  bool Release(std::string&) override { return true; }  // it never keyed anything
  bool Check(std::string& error) override { return Refuse(error); }

 private:
  bool Refuse(std::string& error) {
    error = reason_;
    return false;
  }
  std::string reason_;
};

}  // namespace

PttSettings PttSettingsFromConfig(const StationConfig& config, std::vector<std::string>* warnings) {
  PttSettings settings;
  if (const std::optional<std::string> text = config.Get(config_key::kPtt)) {
    std::string error;
    if (!ParsePttChoice(*text, settings.choice, error) && warnings != nullptr)
      warnings->push_back("quillon.conf: ptt: " + error + "; none used");
  }
  settings.timing.lead = std::chrono::milliseconds(
      config.GetInt(config_key::kPttLeadMs, settings.timing.lead.count(), 0, kMostPttDelayMs, warnings));
  settings.timing.tail = std::chrono::milliseconds(
      config.GetInt(config_key::kPttTailMs, settings.timing.tail.count(), 0, kMostPttDelayMs, warnings));
  settings.timing.time_limit = std::chrono::seconds(
      config.GetInt(config_key::kTxTimeLimitS, settings.timing.time_limit.count(), 0, kMostTimeLimitS, warnings));
  return settings;
}

void StorePttSettings(const PttSettings& settings, StationConfig& config) {
  config.Set(config_key::kPtt, FormatPttChoice(settings.choice));
  config.Set(config_key::kPttLeadMs, std::to_string(settings.timing.lead.count()));
  config.Set(config_key::kPttTailMs, std::to_string(settings.timing.tail.count()));
  config.Set(config_key::kTxTimeLimitS, std::to_string(settings.timing.time_limit.count()));
}

bool ConfigureKeyer(PttKeyer& keyer, const PttSettings& settings, std::string& error) {
  std::unique_ptr<Ptt> ptt = MakePtt(settings.choice, error);
  const bool made = ptt != nullptr;
  if (!made) ptt = std::make_unique<RefusingPtt>(error);
  keyer.Configure(std::move(ptt), settings.timing);
  return made;
}

}  // namespace quillon
