// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keying by a serial port's RTS or DTR line, as the simple transistor
// interfaces between a computer and a radio's PTT input do: line on is
// transmit. The port itself goes through a line driver (termios ioctls on
// Linux, the Win32 communications API on Windows) so that the keying logic
// can be tested with a fake one where the machine has no serial port.

#include <memory>
#include <string>

#include "modem/ptt/Ptt.h"

namespace quillon {

enum class SerialLine { kRts, kDtr };

class SerialLineDriver {
 public:
  virtual ~SerialLineDriver() = default;
  // Opens the port (/dev/ttyUSB0, COM3, ...) without changing its lines.
  virtual bool Open(const std::string& port, std::string& error) = 0;
  virtual bool SetLine(SerialLine line, bool on, std::string& error) = 0;
  // The line's present state, read back from the port.
  virtual bool ReadLine(SerialLine line, bool& on, std::string& error) = 0;
};

// The platform's driver.
std::unique_ptr<SerialLineDriver> MakeSystemSerialLineDriver();

class SerialPtt : public Ptt {
 public:
  // Opens the port and drops the line at once (opening a port raises both
  // lines on most systems, which would key the radio until the first
  // release); nullptr with `error` when that fails.
  static std::unique_ptr<SerialPtt> Open(std::unique_ptr<SerialLineDriver> driver, const std::string& port,
                                         SerialLine line, std::string& error);
  SerialPtt(std::unique_ptr<SerialLineDriver> driver, std::string port, SerialLine line);
  // The line is dropped before the port closes.
  ~SerialPtt() override;

  bool Key(std::string& error) override;
  bool Release(std::string& error) override;
  // Reads the line back: a port unplugged since it was opened fails here.
  bool Check(std::string& error) override;

 private:
  bool Set(bool on, std::string& error);

  std::unique_ptr<SerialLineDriver> driver_;
  std::string port_;
  SerialLine line_;
};

}  // namespace quillon
