// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/ptt/SerialPtt.h"

namespace quillon {
namespace {

const char* LineName(SerialLine line) { return line == SerialLine::kRts ? "RTS" : "DTR"; }

}  // namespace

std::unique_ptr<SerialPtt> SerialPtt::Open(std::unique_ptr<SerialLineDriver> driver, const std::string& port,
                                           SerialLine line, std::string& error) {
  if (!driver->Open(port, error)) return nullptr;
  auto ptt = std::make_unique<SerialPtt>(std::move(driver), port, line);
  if (!ptt->Release(error)) return nullptr;
  return ptt;
}

SerialPtt::SerialPtt(std::unique_ptr<SerialLineDriver> driver, std::string port, SerialLine line)
    : driver_(std::move(driver)), port_(std::move(port)), line_(line) {}

SerialPtt::~SerialPtt() {
  std::string ignored;  // nothing to tell anyone on the way out
  Set(false, ignored);
}

bool SerialPtt::Set(bool on, std::string& error) {
  std::string detail;
  if (driver_->SetLine(line_, on, detail)) return true;
  error = std::string("cannot ") + (on ? "raise " : "drop ") + LineName(line_) + " on " + port_ + ": " + detail;
  return false;
}

bool SerialPtt::Key(std::string& error) { return Set(true, error); }

bool SerialPtt::Release(std::string& error) { return Set(false, error); }

bool SerialPtt::Check(std::string& error) {
  bool on = false;
  std::string detail;
  if (driver_->ReadLine(line_, on, detail)) return true;
  error = std::string("cannot read ") + LineName(line_) + " on " + port_ + ": " + detail;
  return false;
}

}  // namespace quillon
