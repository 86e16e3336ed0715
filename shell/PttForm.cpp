// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/PttForm.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "shell/Settings.h"
#include "shell/StationConfig.h"

namespace quillon {
namespace {

constexpr const char* kMethodLabels[kPttMethodCount] = {
    "Нет / VOX", "rigctld (по сети)", "Hamlib", "RTS последовательного порта", "DTR последовательного порта"};

constexpr const char* kFieldLabels[kPttFieldCount] = {
    "Адрес rigctld:",       "Порт rigctld:",   "Модель Hamlib:",       "Порт трансивера:",  "Скорость, бод:",
    "Последовательный порт:", "Упреждение, мс:", "Отпускание через, мс:", "Предел передачи, с:"};

// Where rigctld usually runs: on the station's own computer.
constexpr char kDefaultRigctldHost[] = "127.0.0.1";

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// A whole decimal number within [low, high] and nothing else.
bool ReadWhole(const std::string& text, long long low, long long high, long long& value) {
  if (text.empty() || text.size() > 12) return false;
  long long number = 0;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    number = number * 10 + (c - '0');
  }
  if (number < low || number > high) return false;
  value = number;
  return true;
}

bool HasBlank(const std::string& text) { return text.find_first_of(" \t\r\n") != std::string::npos; }

PttFormError Wrong(PttField field, const char* message) { return PttFormError{static_cast<int>(field), message}; }

// The keying choice of the method's fields, each checked with the message the
// operator needs; the choice's text is then read back by the keying parser.
std::optional<PttFormError> ChoiceFromFields(const PttFormFields& fields, bool hamlib_available, PttChoice& choice) {
  auto text = [&fields](PttField field) { return Trimmed(fields[field]); };
  long long number = 0;
  switch (fields.method) {
    case PttMethod::kNone:
      choice.kind = fields.vox ? PttChoice::Kind::kVox : PttChoice::Kind::kNone;
      return std::nullopt;
    case PttMethod::kRigctld:
      choice.kind = PttChoice::Kind::kRigctld;
      choice.host = text(PttField::kHost);
      if (choice.host.empty()) return Wrong(PttField::kHost, "Укажите адрес компьютера с rigctld, например 127.0.0.1.");
      if (HasBlank(choice.host)) return Wrong(PttField::kHost, "В адресе не может быть пробелов.");
      if (!ReadWhole(text(PttField::kPort), 1, 65535, number))
        return Wrong(PttField::kPort, "Порт rigctld — целое число от 1 до 65535 (обычно 4532).");
      choice.port = static_cast<int>(number);
      return std::nullopt;
    case PttMethod::kHamlib:
      choice.kind = PttChoice::Kind::kHamlib;
      if (!hamlib_available)
        return PttFormError{kPttMethodRow, "Hamlib в этой сборке недоступен: выберите rigctld."};
      if (!ReadWhole(text(PttField::kModel), 1, 2147483647, number))
        return Wrong(PttField::kModel, "Модель — номер трансивера в Hamlib, целое число больше 0 (список: rigctl -l).");
      choice.model = static_cast<int>(number);
      choice.device = text(PttField::kRigPort);
      if (choice.device.empty())
        return Wrong(PttField::kRigPort, "Укажите порт трансивера, например /dev/ttyUSB0 или COM3.");
      if (HasBlank(choice.device)) return Wrong(PttField::kRigPort, "В имени порта не может быть пробелов.");
      choice.speed = 0;  // empty: the rig's own default speed
      if (!text(PttField::kSpeed).empty()) {
        // The top is above any UART.
        if (!ReadWhole(text(PttField::kSpeed), 0, 4000000, number))
          return Wrong(PttField::kSpeed, "Скорость — целое число бод, например 9600 (пусто или 0 — как у трансивера).");
        choice.speed = static_cast<int>(number);
      }
      return std::nullopt;
    case PttMethod::kRts:
    case PttMethod::kDtr:
      choice.kind = fields.method == PttMethod::kRts ? PttChoice::Kind::kRts : PttChoice::Kind::kDtr;
      choice.device = text(PttField::kSerialPort);
      if (choice.device.empty())
        return Wrong(PttField::kSerialPort, "Укажите последовательный порт, например /dev/ttyUSB0 или COM3.");
      if (HasBlank(choice.device)) return Wrong(PttField::kSerialPort, "В имени порта не может быть пробелов.");
      return std::nullopt;
  }
  return PttFormError{kPttMethodRow, "Выберите способ управления передатчиком."};
}

std::string ConfigPath(const std::string& home) { return HomeFilePath(home, kStationConfigFileName); }

void Warn(const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings) std::fprintf(stderr, "quillon: %s\n", warning.c_str());
}

}  // namespace

const char* PttMethodLabel(PttMethod method, bool hamlib_available) {
  if (method == PttMethod::kHamlib && !hamlib_available) return "Hamlib (недоступен в этой сборке)";
  return kMethodLabels[static_cast<int>(method)];
}

const char* PttFieldLabel(PttField field) { return kFieldLabels[static_cast<int>(field)]; }

bool PttFieldUsed(PttMethod method, PttField field) {
  switch (field) {
    case PttField::kHost:
    case PttField::kPort:
      return method == PttMethod::kRigctld;
    case PttField::kModel:
    case PttField::kRigPort:
    case PttField::kSpeed:
      return method == PttMethod::kHamlib;
    case PttField::kSerialPort:
      return method == PttMethod::kRts || method == PttMethod::kDtr;
    case PttField::kLead:
    case PttField::kTail:
    case PttField::kTimeLimit:
      return method != PttMethod::kNone;  // nothing is keyed, nothing to time
  }
  return false;
}

PttFormFields FieldsFromSettings(const PttSettings& settings) {
  PttFormFields fields;
  const PttChoice& choice = settings.choice;
  fields[PttField::kHost] = kDefaultRigctldHost;
  fields[PttField::kPort] = std::to_string(kDefaultRigctldPort);
  switch (choice.kind) {
    case PttChoice::Kind::kNone:
    case PttChoice::Kind::kVox:
      fields.method = PttMethod::kNone;
      fields.vox = choice.kind == PttChoice::Kind::kVox;
      break;
    case PttChoice::Kind::kRigctld:
      fields.method = PttMethod::kRigctld;
      fields[PttField::kHost] = choice.host;
      fields[PttField::kPort] = std::to_string(choice.port);
      break;
    case PttChoice::Kind::kHamlib:
      fields.method = PttMethod::kHamlib;
      fields[PttField::kModel] = std::to_string(choice.model);
      fields[PttField::kRigPort] = choice.device;
      if (choice.speed != 0) fields[PttField::kSpeed] = std::to_string(choice.speed);
      break;
    case PttChoice::Kind::kRts:
    case PttChoice::Kind::kDtr:
      fields.method = choice.kind == PttChoice::Kind::kRts ? PttMethod::kRts : PttMethod::kDtr;
      fields[PttField::kSerialPort] = choice.device;
      break;
  }
  fields[PttField::kLead] = std::to_string(settings.timing.lead.count());
  fields[PttField::kTail] = std::to_string(settings.timing.tail.count());
  fields[PttField::kTimeLimit] = std::to_string(settings.timing.time_limit.count());
  return fields;
}

std::optional<PttFormError> SettingsFromFields(const PttFormFields& fields, bool hamlib_available,
                                               PttSettings& settings) {
  PttChoice choice;
  if (std::optional<PttFormError> wrong = ChoiceFromFields(fields, hamlib_available, choice)) return wrong;

  PttTiming timing;
  long long lead = 0, tail = 0, limit = 0;
  if (!ReadWhole(Trimmed(fields[PttField::kLead]), 0, kMostPttDelayMs, lead))
    return Wrong(PttField::kLead, "Упреждение — целое число миллисекунд от 0 до 2000 (обычно 50).");
  if (!ReadWhole(Trimmed(fields[PttField::kTail]), 0, kMostPttDelayMs, tail))
    return Wrong(PttField::kTail, "Отпускание — целое число миллисекунд от 0 до 2000.");
  if (!ReadWhole(Trimmed(fields[PttField::kTimeLimit]), 0, kMostTimeLimitS, limit))
    return Wrong(PttField::kTimeLimit, "Предел — целое число секунд от 0 до 86400 (0 — без предела).");
  timing.lead = std::chrono::milliseconds(lead);
  timing.tail = std::chrono::milliseconds(tail);
  timing.time_limit = std::chrono::seconds(limit);

  // What quillon.conf will hold must read back as the same keying.
  PttChoice parsed;
  std::string error;
  const std::string text = FormatPttChoice(choice);
  if (!ParsePttChoice(text, parsed, error) || FormatPttChoice(parsed) != text)
    return PttFormError{kPttMethodRow, "Эту настройку нельзя сохранить (" + error + ")."};
  settings.choice = parsed;
  settings.timing = timing;
  return std::nullopt;
}

PttSettings LoadPttSettings(const std::string& home) {
  std::vector<std::string> warnings;
  const PttSettings settings = PttSettingsFromConfig(StationConfig::Load(ConfigPath(home), &warnings), &warnings);
  Warn(warnings);
  return settings;
}

bool ApplyPttSettings(const std::string& home, const PttSettings& settings, PttKeyer& keyer, std::string& error) {
  std::vector<std::string> warnings;
  StationConfig config = StationConfig::Load(ConfigPath(home), &warnings);
  Warn(warnings);
  StorePttSettings(settings, config);
  std::string why;
  if (!config.Save(ConfigPath(home), &why)) {
    error = "Не удалось записать quillon.conf: " + why;
    return false;
  }
  if (!ConfigureKeyer(keyer, settings, why)) {
    error = "Настройка сохранена, но передатчик ею не управляется: " + why;
    return false;
  }
  return true;
}

void UseStoredPttSettings(const std::string& home, PttKeyer& keyer) {
  std::string error;
  if (!ConfigureKeyer(keyer, LoadPttSettings(home), error))
    std::fprintf(stderr, "quillon: the transmitter's keying from quillon.conf cannot be used: %s\n", error.c_str());
}

PttCheck::~PttCheck() { Wait(); }

void PttCheck::Wait() {
  if (result_.valid()) result_.get();
}

bool PttCheck::Start(PttKeyer& keyer, const PttSettings& settings) {
  if (result_.valid()) return false;
  result_ = std::async(std::launch::async, [this, &keyer, settings] {
    // Giving the keyer new settings would release a radio a transmission
    // has keyed, in the middle of the message.
    if (keyer.Keyed()) return kPttCheckFailedPrefix + std::string(kPttCheckWhileKeyedText);
    changed_keyer_.store(true);
    std::string error;
    if (ConfigureKeyer(keyer, settings, error) && keyer.TestKey(kKeyedFor, error)) return std::string(kPttCheckPassedText);
    return kPttCheckFailedPrefix + error;
  });
  return true;
}

std::optional<std::string> PttCheck::TakeResult() {
  if (!result_.valid() || result_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return std::nullopt;
  return result_.get();
}

}  // namespace quillon
