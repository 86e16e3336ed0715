// SPDX-License-Identifier: GPL-3.0-or-later
// Serial-line keying through a fake line driver (the test machine has no
// serial port): which line moves and when, and what a failing port reports.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "modem/ptt/SerialPtt.h"

namespace quillon {
namespace {

// The port's lines as a real UART has them: both raised by the open, as
// most systems do.
struct FakePort {
  std::map<SerialLine, bool> lines;
  std::vector<std::string> history;  // "RTS on", "DTR off", ...
  bool refuse_open = false;
  bool unplugged = false;
};

class FakeLineDriver : public SerialLineDriver {
 public:
  explicit FakeLineDriver(FakePort& port) : port_(port) {}
  bool Open(const std::string& name, std::string& error) override {
    if (port_.refuse_open) {
      error = "cannot open " + name + ": No such file or directory";
      return false;
    }
    port_.lines = {{SerialLine::kRts, true}, {SerialLine::kDtr, true}};
    return true;
  }
  bool SetLine(SerialLine line, bool on, std::string& error) override {
    if (port_.unplugged) {
      error = "Input/output error";
      return false;
    }
    port_.lines[line] = on;
    port_.history.push_back(std::string(line == SerialLine::kRts ? "RTS" : "DTR") + (on ? " on" : " off"));
    return true;
  }
  bool ReadLine(SerialLine line, bool& on, std::string& error) override {
    if (port_.unplugged) {
      error = "Input/output error";
      return false;
    }
    on = port_.lines[line];
    return true;
  }

 private:
  FakePort& port_;
};

TEST(SerialPtt, KeysOnlyItsOwnLineAndDropsItAtOpenAndAtTheEnd) {
  for (const SerialLine line : {SerialLine::kRts, SerialLine::kDtr}) {
    FakePort port;
    const SerialLine other = line == SerialLine::kRts ? SerialLine::kDtr : SerialLine::kRts;
    std::string error;
    {
      std::unique_ptr<SerialPtt> ptt =
          SerialPtt::Open(std::make_unique<FakeLineDriver>(port), "/dev/ttyUSB0", line, error);
      ASSERT_TRUE(ptt) << error;
      EXPECT_FALSE(port.lines[line]) << "the open raised the line; it must not stay keyed";
      ASSERT_TRUE(ptt->Key(error)) << error;
      EXPECT_TRUE(port.lines[line]);
      EXPECT_TRUE(ptt->Check(error)) << error;
      ASSERT_TRUE(ptt->Release(error)) << error;
      EXPECT_FALSE(port.lines[line]);
      ASSERT_TRUE(ptt->Key(error));
    }  // going away keyed
    EXPECT_FALSE(port.lines[line]) << "a PTT that goes away must leave the radio receiving";
    EXPECT_TRUE(port.lines[other]) << "the other line is not ours to move";
  }
}

TEST(SerialPtt, FailuresNameThePortAndTheLine) {
  FakePort port;
  std::string error;
  port.refuse_open = true;
  EXPECT_FALSE(SerialPtt::Open(std::make_unique<FakeLineDriver>(port), "/dev/ttyUSB7", SerialLine::kDtr, error));
  EXPECT_NE(error.find("/dev/ttyUSB7"), std::string::npos) << error;

  port.refuse_open = false;
  std::unique_ptr<SerialPtt> ptt =
      SerialPtt::Open(std::make_unique<FakeLineDriver>(port), "COM4", SerialLine::kRts, error);
  ASSERT_TRUE(ptt);
  port.unplugged = true;
  EXPECT_FALSE(ptt->Key(error));
  EXPECT_EQ(error, "cannot raise RTS on COM4: Input/output error");
  EXPECT_FALSE(ptt->Check(error));
  EXPECT_EQ(error, "cannot read RTS on COM4: Input/output error");
}

}  // namespace
}  // namespace quillon
