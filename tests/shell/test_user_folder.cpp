// SPDX-License-Identifier: GPL-3.0-or-later
// Where the desktop program keeps its files, and the words it takes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "shell/UserFolder.h"
#include "shell/qt/CommandLine.h"
#include "tests/support/TempHome.h"

using namespace quillon;
namespace fs = std::filesystem;

namespace {

// A made-up environment, so that the tests never touch the real home.
EnvironmentLookup Environment(std::map<std::string, std::string> values) {
  return [values](const char* name) {
    const auto found = values.find(name);
    return found == values.end() ? std::string() : found->second;
  };
}

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

}  // namespace

TEST(UserFolder, PerUserFolderFollowsXdgDataHomeThenHome) {
  EXPECT_EQ(PerUserFolder(Environment({{"XDG_DATA_HOME", "/data"}, {"HOME", "/home/op"}})), "/data/quillon");
  // A relative XDG_DATA_HOME is to be ignored, not taken from the start folder.
  EXPECT_EQ(PerUserFolder(Environment({{"XDG_DATA_HOME", "data"}, {"HOME", "/home/op"}})),
            "/home/op/.local/share/quillon");
  EXPECT_EQ(PerUserFolder(Environment({{"HOME", "/home/op"}})), "/home/op/.local/share/quillon");
  EXPECT_EQ(PerUserFolder(Environment({})), "");
}

TEST(UserFolder, StartFolderIsKeptUnlessThePerUserFolderIsAskedForAndItHasNoSettings) {
  TempHome start, user_home;
  const EnvironmentLookup environment = Environment({{"HOME", user_home.Path()}});
  const std::string per_user = user_home.Path() + "/.local/share/quillon";

  // From a terminal: today's behaviour, nothing made elsewhere.
  HomeFolderChoice choice = ChooseHomeFolder(start.Path(), false, environment);
  EXPECT_EQ(choice.folder, start.Path());
  EXPECT_EQ(choice.error, "");
  EXPECT_FALSE(fs::exists(per_user));

  // From the menu: the per-user folder, made with its parents, and the same
  // folder again on the next start.
  for (int start_count = 0; start_count < 2; ++start_count) {
    choice = ChooseHomeFolder(start.Path(), true, environment);
    EXPECT_EQ(choice.folder, per_user);
    EXPECT_EQ(choice.error, "");
    EXPECT_TRUE(fs::is_directory(per_user));
  }

  // A start folder that already holds init.ini wins, menu or not.
  start.Write("init.ini", std::vector<unsigned char>(36, 0));
  EXPECT_EQ(ChooseHomeFolder(start.Path(), true, environment).folder, start.Path());
}

TEST(UserFolder, AFolderThatCannotBeMadeGivesAReasonInsteadOfAFolder) {
  TempHome start, data;
  // A file where a parent folder should be (permissions cannot be relied on:
  // the tests may run as root).
  Touch(data.File("blocked"));
  HomeFolderChoice choice = ChooseHomeFolder(start.Path(), true, Environment({{"XDG_DATA_HOME", data.File("blocked")}}));
  EXPECT_EQ(choice.folder, "");
  EXPECT_NE(choice.error.find(data.File("blocked") + "/quillon"), std::string::npos) << choice.error;

  // The per-user folder itself is a file.
  Touch(data.File("quillon"));
  choice = ChooseHomeFolder(start.Path(), true, Environment({{"XDG_DATA_HOME", data.Path()}}));
  EXPECT_EQ(choice.folder, "");
  EXPECT_NE(choice.error.find("Cannot create"), std::string::npos) << choice.error;

  choice = ChooseHomeFolder(start.Path(), true, Environment({}));
  EXPECT_EQ(choice.folder, "");
  EXPECT_NE(choice.error.find("HOME"), std::string::npos) << choice.error;
}

TEST(ProgramOptions, KnownWordsSetTheirFlagsAndAnUnknownOneIsNamed) {
  const ProgramOptions none = ReadProgramOptions({});
  EXPECT_FALSE(none.version || none.help || none.user_folder);
  EXPECT_EQ(none.error, "");

  const ProgramOptions menu = ReadProgramOptions({"--user-folder"});
  EXPECT_TRUE(menu.user_folder);
  EXPECT_EQ(menu.error, "");

  const ProgramOptions asked = ReadProgramOptions({"--user-folder", "--version", "-h"});
  EXPECT_TRUE(asked.version && asked.help && asked.user_folder);

  const ProgramOptions typo = ReadProgramOptions({"--user-fodler", "x"});
  EXPECT_NE(typo.error.find("'--user-fodler'"), std::string::npos) << typo.error;
  EXPECT_EQ(ProgramVersionLine().rfind("quillon 0.", 0), 0u) << ProgramVersionLine();
}
