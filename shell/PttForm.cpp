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

// The keying spec of the method's fields, each checked with the message the
// operator needs; the spec's text is then read back by the keying parser.
std::optional<PttFormError> SpecFromFields(const PttFormFields& fields, bool hamlib_available, PttSpec& spec) {
  auto text = [&fields](PttField field) { return Trimmed(fields[field]); };
  long long number = 0;
  switch (fields.method) {
    case PttMethod::kNone:
      spec.kind = fields.vox ? PttSpec::Kind::kVox : PttSpec::Kind::kNone;
      return std::nullopt;
    case PttMethod::kRigctld:
      spec.kind = PttSpec::Kind::kRigctld;
      spec.host = text(PttField::kHost);
      if (spec.host.empty()) return Wrong(PttField::kHost, "Укажите адрес компьютера с rigctld, например 127.0.0.1.");
      if (HasBlank(spec.host)) return Wrong(PttField::kHost, "В адресе не может быть пробелов.");
      if (!ReadWhole(text(PttField::kPort), 1, 65535, number))
        return Wrong(PttField::kPort, "Порт rigctld — целое число от 1 до 65535 (обычно 4532).");
      spec.port = static_cast<int>(number);
      return std::nullopt;
    case PttMethod::kHamlib:
      spec.kind = PttSpec::Kind::kHamlib;
      if (!hamlib_available)
        return PttFormError{kPttMethodRow, "Hamlib в этой сборке недоступен: выберите rigctld."};
      if (!ReadWhole(text(PttField::kModel), 1, 2147483647, number))
        return Wrong(PttField::kModel, "Модель — номер трансивера в Hamlib, целое число больше 0 (список: rigctl -l).");
      spec.model = static_cast<int>(number);
      spec.device = text(PttField::kRigPort);
      if (spec.device.empty())
        return Wrong(PttField::kRigPort, "Укажите порт трансивера, например /dev/ttyUSB0 или COM3.");
      if (HasBlank(spec.device)) return Wrong(PttField::kRigPort, "В имени порта не может быть пробелов.");
      spec.speed = 0;  // empty: the rig's own default speed
      if (!text(PttField::kSpeed).empty()) {
        // The top is above any UART.
        if (!ReadWhole(text(PttField::kSpeed), 0, 4000000, number))
          return Wrong(PttField::kSpeed, "Скорость — целое число бод, например 9600 (пусто или 0 — как у трансивера).");
        spec.speed = static_cast<int>(number);
      }
      return std::nullopt;
    case PttMethod::kRts:
    case PttMethod::kDtr:
      spec.kind = fields.method == PttMethod::kRts ? PttSpec::Kind::kRts : PttSpec::Kind::kDtr;
      spec.device = text(PttField::kSerialPort);
      if (spec.device.empty())
        return Wrong(PttField::kSerialPort, "Укажите последовательный порт, например /dev/ttyUSB0 или COM3.");
      if (HasBlank(spec.device)) return Wrong(PttField::kSerialPort, "В имени порта не может быть пробелов.");
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
  const PttSpec& spec = settings.spec;
  fields[PttField::kHost] = kDefaultRigctldHost;
  fields[PttField::kPort] = std::to_string(kDefaultRigctldPort);
  switch (spec.kind) {
    case PttSpec::Kind::kNone:
    case PttSpec::Kind::kVox:
      fields.method = PttMethod::kNone;
      fields.vox = spec.kind == PttSpec::Kind::kVox;
      break;
    case PttSpec::Kind::kRigctld:
      fields.method = PttMethod::kRigctld;
      fields[PttField::kHost] = spec.host;
      fields[PttField::kPort] = std::to_string(spec.port);
      break;
    case PttSpec::Kind::kHamlib:
      fields.method = PttMethod::kHamlib;
      fields[PttField::kModel] = std::to_string(spec.model);
      fields[PttField::kRigPort] = spec.device;
      if (spec.speed != 0) fields[PttField::kSpeed] = std::to_string(spec.speed);
      break;
    case PttSpec::Kind::kRts:
    case PttSpec::Kind::kDtr:
      fields.method = spec.kind == PttSpec::Kind::kRts ? PttMethod::kRts : PttMethod::kDtr;
      fields[PttField::kSerialPort] = spec.device;
      break;
  }
  fields[PttField::kLead] = std::to_string(settings.timing.lead.count());
  fields[PttField::kTail] = std::to_string(settings.timing.tail.count());
  fields[PttField::kTimeLimit] = std::to_string(settings.timing.time_limit.count());
  return fields;
}

std::optional<PttFormError> SettingsFromFields(const PttFormFields& fields, bool hamlib_available,
                                               PttSettings& settings) {
  PttSpec spec;
  if (std::optional<PttFormError> wrong = SpecFromFields(fields, hamlib_available, spec)) return wrong;

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
  PttSpec parsed;
  std::string error;
  const std::string text = FormatPttSpec(spec);
  if (!ParsePttSpec(text, parsed, error) || FormatPttSpec(parsed) != text)
    return PttFormError{kPttMethodRow, "Эту настройку нельзя сохранить (" + error + ")."};
  settings.spec = parsed;
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
