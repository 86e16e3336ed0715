// SPDX-License-Identifier: GPL-3.0-or-later
// Keying a real rigctld and the Hamlib library, both with Hamlib's dummy rig
// (model 1), and what an unreachable server gives.

#include <gtest/gtest.h>

#include "modem/ptt/PttFactory.h"
#include "modem/ptt/RigctldPtt.h"
#include "tests/support/RigctldProcess.h"
#ifdef QUILLON_HAVE_HAMLIB
#include "modem/ptt/HamlibPtt.h"
#endif

namespace quillon {
namespace {

// The PTT state as a second, independent client sees it.
int StateSeenBy(int port) {
  RigctldPtt observer("127.0.0.1", port);
  std::string error;
  EXPECT_TRUE(observer.Check(error)) << error;
  return observer.LastState();
}

TEST(RigctldPtt, KeysAndReleasesTheDummyRigAndSurvivesARestart) {
  if (!RigctldInstalled()) GTEST_SKIP() << "no rigctld (scripts/test installs libhamlib-utils)";
  RigctldProcess server;
  ASSERT_TRUE(server.Running());
  RigctldPtt ptt("127.0.0.1", server.Port());
  std::string error;
  ASSERT_TRUE(ptt.Key(error)) << error;
  EXPECT_EQ(StateSeenBy(server.Port()), 1);
  ASSERT_TRUE(ptt.Release(error)) << error;
  EXPECT_EQ(StateSeenBy(server.Port()), 0);

  // The kept connection dies with the server; the next call makes a new one.
  server.Stop();
  EXPECT_FALSE(ptt.Key(error));
  EXPECT_NE(error.find("rigctld"), std::string::npos) << error;
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(ptt.Key(error)) << error;
  EXPECT_EQ(StateSeenBy(server.Port()), 1);
  ASSERT_TRUE(ptt.Release(error)) << error;
}

TEST(RigctldPtt, AnUnreachableServerSaysWhere) {
  const int port = FreeTcpPort();  // nothing listens there
  PttChoice choice;
  std::string error;
  ASSERT_TRUE(ParsePttChoice("rigctld:127.0.0.1:" + std::to_string(port), choice, error));
  std::unique_ptr<Ptt> ptt = MakePtt(choice, error);
  ASSERT_TRUE(ptt);
  EXPECT_FALSE(ptt->Key(error));
  EXPECT_EQ(error, "rigctld: cannot connect to 127.0.0.1:" + std::to_string(port) + ": Connection refused");
  EXPECT_FALSE(ptt->Check(error));
  ASSERT_TRUE(ParsePttChoice("rigctld:no-such-host.invalid:4532", choice, error));
  EXPECT_FALSE(MakePtt(choice, error)->Key(error));
  EXPECT_NE(error.find("no-such-host.invalid"), std::string::npos) << error;
}

#ifdef QUILLON_HAVE_HAMLIB
TEST(HamlibPtt, KeysAndReleasesTheDummyRig) {
  std::string error;
  std::unique_ptr<HamlibPtt> ptt = HamlibPtt::Open(1, "/dev/null", 0, error);
  ASSERT_TRUE(ptt) << error;
  ASSERT_TRUE(ptt->Key(error)) << error;
  ASSERT_TRUE(ptt->Check(error)) << error;
  EXPECT_EQ(ptt->LastState(), 1);
  ASSERT_TRUE(ptt->Release(error)) << error;
  ASSERT_TRUE(ptt->Check(error)) << error;
  EXPECT_EQ(ptt->LastState(), 0);
  EXPECT_FALSE(HamlibPtt::Open(999999, "/dev/null", 0, error));
  EXPECT_NE(error.find("999999"), std::string::npos) << error;
}
#else
TEST(HamlibPtt, ABuildWithoutTheLibrarySaysSo) {
  PttChoice choice;
  std::string error;
  ASSERT_TRUE(ParsePttChoice("hamlib:1:/dev/null", choice, error));
  EXPECT_FALSE(MakePtt(choice, error));
  EXPECT_NE(error.find("rigctld"), std::string::npos) << error;
}
#endif

}  // namespace
}  // namespace quillon
