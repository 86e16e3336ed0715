// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/DeviceAlerts.h"

#include "link/Cp1251.h"

namespace quillon {

namespace {

enum class Change { kNone, kLost, kBack };

// Lost is reported on entering the state from any other; back only when the
// device comes back by itself (not after a close, a new device or a restart,
// which the operator asked for).
Change Follow(int& last, int now) {
  if (now == kWaveStarting || now == last) return Change::kNone;
  const int before = last;
  last = now;
  if (now == kWaveLost) return Change::kLost;
  if (now == kWaveOpen && before == kWaveLost) return Change::kBack;
  return Change::kNone;
}

// Device names are ASCII from ALSA and already in the system's code page
// (cp1251 on a Russian system) from winmm.
std::string ForView(const std::string& name) {
#ifdef _WIN32
  return name;
#else
  return Utf8ToCp1251(name);
#endif
}

// A number past the end of the list (from a damaged init.ini, say) has no name.
std::string Quoted(const std::string& name) {
  if (name.empty()) return Utf8ToCp1251("(нет в списке устройств)");
  return Utf8ToCp1251("«") + ForView(name) + Utf8ToCp1251("»");
}

}  // namespace

std::string DeviceAlerts::Check() {
  const Change in = Follow(last_in_, station_.buf_sound_in.state.load(std::memory_order_acquire));
  const Change out = Follow(last_out_, station_.buf_sound_out.state.load(std::memory_order_acquire));
  const std::string& in_name = station_.buf_sound_in.name;
  const std::string& out_name = station_.buf_sound_out.name;
  const std::string retry = Utf8ToCp1251("; повтор каждые 3 с");
  if (in == Change::kLost && out == Change::kLost)
    return Utf8ToCp1251("Нет звука: вход ") + Quoted(in_name) + Utf8ToCp1251(" и выход ") + Quoted(out_name) +
           Utf8ToCp1251(" недоступны, приём и передача невозможны") + retry;
  if (out == Change::kLost)
    return Utf8ToCp1251("Выход звука ") + Quoted(out_name) +
           Utf8ToCp1251(" недоступен: передача невозможна") + retry;
  if (in == Change::kLost)
    return Utf8ToCp1251("Вход звука ") + Quoted(in_name) + Utf8ToCp1251(" недоступен: приём остановлен") + retry;
  if (out == Change::kBack) return Utf8ToCp1251("Выход звука ") + Quoted(out_name) + Utf8ToCp1251(" снова работает");
  if (in == Change::kBack) return Utf8ToCp1251("Вход звука ") + Quoted(in_name) + Utf8ToCp1251(" снова работает");
  return {};
}

}  // namespace quillon
