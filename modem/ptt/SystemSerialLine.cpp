// SPDX-License-Identifier: GPL-3.0-or-later
// The platform's serial line driver: termios ioctls on Linux, the Win32
// communications API on Windows. Only the modem control lines are used;
// nothing is ever sent or received on the port.

#include "modem/ptt/SerialPtt.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace quillon {
namespace {

#ifdef _WIN32

std::string SystemErrorText() {
  const DWORD code = GetLastError();
  char text[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                 nullptr);
  std::string message = text;
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
    message.pop_back();
  return message.empty() ? "system error " + std::to_string(code) : message;
}

class Win32SerialLine : public SerialLineDriver {
 public:
  ~Win32SerialLine() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }

  bool Open(const std::string& port, std::string& error) override {
    // "\\.\COM10": ports above COM9 open only by their device path.
    const std::string path = port.rfind("\\\\.\\", 0) == 0 ? port : "\\\\.\\" + port;
    handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
      error = "cannot open " + port + ": " + SystemErrorText();
      return false;
    }
    // Both lines under the program's control alone (not handshaking), low.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (GetCommState(handle_, &dcb)) {
      dcb.fDtrControl = DTR_CONTROL_DISABLE;
      dcb.fRtsControl = RTS_CONTROL_DISABLE;
      dcb.fOutxCtsFlow = FALSE;
      dcb.fOutxDsrFlow = FALSE;
      SetCommState(handle_, &dcb);
    }
    return true;
  }

  bool SetLine(SerialLine line, bool on, std::string& error) override {
    const DWORD function = line == SerialLine::kRts ? (on ? SETRTS : CLRRTS) : (on ? SETDTR : CLRDTR);
    if (EscapeCommFunction(handle_, function)) return true;
    error = SystemErrorText();
    return false;
  }

  // Windows cannot read back its own output lines; asking for the modem
  // status at least shows that the port is still there.
  bool ReadLine(SerialLine, bool& on, std::string& error) override {
    DWORD status = 0;
    on = false;
    if (GetCommModemStatus(handle_, &status)) return true;
    error = SystemErrorText();
    return false;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

#else

int Bit(SerialLine line) { return line == SerialLine::kRts ? TIOCM_RTS : TIOCM_DTR; }

class TermiosSerialLine : public SerialLineDriver {
 public:
  ~TermiosSerialLine() override {
    if (fd_ >= 0) close(fd_);
  }

  bool Open(const std::string& port, std::string& error) override {
    // O_NOCTTY: the port never becomes our controlling terminal; O_NONBLOCK:
    // no waiting for a carrier the PTT interface does not give.
    fd_ = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
      error = "cannot open " + port + ": " + std::strerror(errno);
      return false;
    }
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) != 0) {
      error = port + " is not a serial port: " + std::strerror(errno);
      close(fd_);
      fd_ = -1;
      return false;
    }
    // RTS is ours to drive, not hardware flow control's; CLOCAL: the port
    // ignores the carrier line a PTT interface does not have.
    termios settings{};
    if (tcgetattr(fd_, &settings) == 0) {
      settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
      settings.c_cflag |= CLOCAL;
      tcsetattr(fd_, TCSANOW, &settings);
    }
    return true;
  }

  bool SetLine(SerialLine line, bool on, std::string& error) override {
    const int bit = Bit(line);
    if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0) return true;
    error = std::strerror(errno);
    return false;
  }

  bool ReadLine(SerialLine line, bool& on, std::string& error) override {
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) != 0) {
      error = std::strerror(errno);
      return false;
    }
    on = (lines & Bit(line)) != 0;
    return true;
  }

 private:
  int fd_ = -1;
};

#endif

}  // namespace

std::unique_ptr<SerialLineDriver> MakeSystemSerialLineDriver() {
#ifdef _WIN32
  return std::make_unique<Win32SerialLine>();
#else
  return std::make_unique<TermiosSerialLine>();
#endif
}

}  // namespace quillon
