// SPDX-License-Identifier: GPL-3.0-or-later
// quillon-cli send run as a user runs it: through the loopback device with a
// real rigctld (Hamlib's dummy rig) keyed while the message plays, and the
// exit status and message when the device or the transmitter cannot be had.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "modem/ptt/RigctldPtt.h"
#include "tests/support/RigctldProcess.h"
#include "tests/support/TempHome.h"

namespace quillon {
namespace {

struct Result {
  int status = -1;
  std::string err;
};

// Runs quillon-cli in `home` (where it looks for quillon.conf).
Result RunCli(const TempHome& home, const std::string& arguments) {
  const std::string err_file = home.File("stderr.txt");
  const std::string command =
      "cd '" + home.Path() + "' && '" QUILLON_CLI "' " + arguments + " >/dev/null 2>'" + err_file + "'";
  const int raw = std::system(command.c_str());
  Result result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream file(err_file);
  std::stringstream text;
  text << file.rdbuf();
  result.err = text.str();
  return result;
}

TEST(SendCommand, KeysRigctldWhileTheMessagePlaysAndReleasesItBeforeExiting) {
  if (!RigctldInstalled()) GTEST_SKIP() << "no rigctld (scripts/test installs libhamlib-utils)";
  RigctldProcess server;
  ASSERT_TRUE(server.Running());
  TempHome home;
  // The keying comes from the settings file, as the window would leave it.
  const std::string conf = "ptt = rigctld:127.0.0.1:" + std::to_string(server.Port()) + "\nptt_tail_ms = 30\n";
  home.Write("quillon.conf", std::vector<unsigned char>(conf.begin(), conf.end()));

  std::atomic<bool> done{false};
  Result result;
  std::thread sender([&] {
    result = RunCli(home, "send -m 8/2000 -t 'cli 73' --output 'Quillon loopback'");
    done = true;
  });
  RigctldPtt observer("127.0.0.1", server.Port());
  bool seen_keyed = false;
  while (!done) {
    std::string error;
    if (observer.Check(error) && observer.LastState() == 1) seen_keyed = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  sender.join();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(seen_keyed) << "never keyed while the message played";
  std::string error;
  ASSERT_TRUE(observer.Check(error)) << error;
  EXPECT_EQ(observer.LastState(), 0) << "still keyed after send exited";
}

TEST(SendCommand, RefusesWithExitStatus2WhenTheTransmitterOrDeviceCannotBeHad) {
  TempHome home;
  const std::string unreachable = "rigctld:127.0.0.1:" + std::to_string(FreeTcpPort());
  Result result = RunCli(home, "send -m 8/2000 -t x --output 'Quillon loopback' --ptt " + unreachable);
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("the transmitter cannot be keyed: rigctld: cannot connect"), std::string::npos)
      << result.err;

  result = RunCli(home, "send -m 8/2000 -t x --output 'no such card'");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("no output device 'no such card'"), std::string::npos) << result.err;

  result = RunCli(home, "send -m 8/2000 -t x --ptt rts:");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("--ptt: rts wants the serial port"), std::string::npos) << result.err;

  result = RunCli(home, "send -m 8/2000 -t x --output 'Quillon null (silence)' --ptt dtr:/dev/no-such-port");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("cannot open /dev/no-such-port"), std::string::npos) << result.err;
}

TEST(SendCommand, PlaysToTheNullDeviceWithoutKeyingAndExits0) {
  TempHome home;
  const Result result = RunCli(home, "send -m 4/2000 -t hi --output 'Quillon null (silence)' --ptt none");
  EXPECT_EQ(result.status, 0) << result.err;
}

}  // namespace
}  // namespace quillon
