// The store of login items as autostart desktop entries.
#include <glib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "systemevents/LoginItemStore.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

using systemevents::LoginItemStore;

class LoginItemStoreTest : public ::testing::Test {
 protected:
  std::vector<std::string> paths() {
    std::vector<std::string> result;
    for (const auto& item : store_.list()) result.push_back(item.path.value_or("<none>"));
    return result;
  }
  void add(const std::string& path, bool hidden = false) {
    std::string error;
    ASSERT_TRUE(store_.append(path, hidden, &error)) << error;
  }
  TemporaryUserEnvironment environment_;
  LoginItemStore store_{environment_.autostartFolder()};
};

TEST_F(LoginItemStoreTest, ItemsKeepTheirCreationOrderAndFlags) {
  EXPECT_TRUE(store_.list().empty());
  for (int i = 0; i < 12; ++i) add("/item " + std::to_string(i), i % 3 == 0);
  auto items = store_.list();
  ASSERT_EQ(items.size(), 12u);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(items[i].path, "/item " + std::to_string(i));
    EXPECT_EQ(items[i].hidden, i % 3 == 0);
  }
  std::string error;
  ASSERT_TRUE(store_.removeAt(0, &error));
  ASSERT_TRUE(store_.removeAt(5, &error));
  EXPECT_FALSE(store_.removeAt(10, &error));
  add("/last");
  auto after = paths();
  ASSERT_EQ(after.size(), 11u);
  EXPECT_EQ(after.front(), "/item 1");
  EXPECT_EQ(after[5], "/item 7");
  EXPECT_EQ(after.back(), "/last");
}

TEST_F(LoginItemStoreTest, OtherEntriesAreNeitherListedNorTouched) {
  add("/mine");
  std::string folder = environment_.autostartFolder();
  std::string foreign = folder + "/someone-else.desktop";
  std::string lookalike = folder + "/hushmoor-login-item-ffff.desktop";  // our name, no marker
  std::ofstream(foreign) << "[Desktop Entry]\nType=Application\nName=X\nExec=x\n";
  std::ofstream(lookalike) << "[Desktop Entry]\nType=Application\nName=Y\nExec=y\n";
  std::ofstream(folder + "/hushmoor-login-item-bad.desktop") << "not a key file \x01\n[";
  EXPECT_EQ(paths(), std::vector<std::string>{"/mine"});
  std::string error;
  ASSERT_TRUE(store_.removeAt(0, &error));
  EXPECT_TRUE(store_.list().empty());
  EXPECT_TRUE(g_file_test(foreign.c_str(), G_FILE_TEST_EXISTS));
  EXPECT_TRUE(g_file_test(lookalike.c_str(), G_FILE_TEST_EXISTS));
}

TEST_F(LoginItemStoreTest, EntriesWithMissingKeysAreStillListedInPlace) {
  add("/first");
  std::string folder = environment_.autostartFolder();
  std::ofstream(folder + "/hushmoor-login-item-nohidden.desktop")
      << "[Desktop Entry]\nType=Application\nName=A\nExec=a\nX-Hushmoor-Login-Item=true\n"
         "X-Hushmoor-Path=/no hidden\nX-Hushmoor-Order=5\n";
  std::ofstream(folder + "/hushmoor-login-item-nopath.desktop")
      << "[Desktop Entry]\nType=Application\nName=B\nExec=b\nX-Hushmoor-Login-Item=true\n"
         "X-Hushmoor-Hidden=maybe\nX-Hushmoor-Order=6\n";
  auto items = store_.list();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1].path, "/no hidden");
  EXPECT_FALSE(items[1].hidden.has_value());
  EXPECT_FALSE(items[2].path.has_value());
  EXPECT_FALSE(items[2].hidden.has_value());
  add("/after");
  EXPECT_EQ(paths().back(), "/after") << "a new item goes after the largest order";
}

TEST_F(LoginItemStoreTest, EntriesAreValidDesktopFilesForAwkwardPaths) {
  if (std::system("command -v desktop-file-validate >/dev/null") != 0)
    GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
  const std::string awkward[] = {
      "/Applications/Hushmoor.app",
      "/with space/and \"quotes\" and 'single'",
      "/cost $5 at 100% `now`",
      "/back\\slash",
      "/new\nline\ttab",
      "/unicode \xC3\xA9\xE2\x82\xAC",
      std::string("/long/") + std::string(1500, 'x'),
  };
  for (const auto& path : awkward) add(path, true);
  auto items = store_.list();
  ASSERT_EQ(items.size(), std::size(awkward));
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].path, awkward[i]);
    EXPECT_EQ(std::system(("desktop-file-validate '" + items[i].file + "'").c_str()), 0)
        << awkward[i];
    g_autoptr(GKeyFile) keys = g_key_file_new();
    ASSERT_TRUE(g_key_file_load_from_file(keys, items[i].file.c_str(), G_KEY_FILE_NONE, nullptr));
    // Hidden=true would delete the entry for the desktop; the flag lives elsewhere.
    EXPECT_FALSE(g_key_file_has_key(keys, "Desktop Entry", "Hidden", nullptr));
    g_autofree gchar* exec = g_key_file_get_string(keys, "Desktop Entry", "Exec", nullptr);
    g_auto(GStrv) argv = nullptr;
    gint argc = 0;
    // The shell-style parse of the Exec line gives back the path whole (after
    // the %% field code is undone); control characters are rebuilt by a shell.
    ASSERT_TRUE(g_shell_parse_argv(exec, &argc, &argv, nullptr)) << exec;
    if (std::string(argv[0]) == "sh") continue;
    std::string last = argv[argc - 1];
    for (auto at = last.find("%%"); at != std::string::npos; at = last.find("%%", at + 1))
      last.erase(at, 1);
    EXPECT_EQ(last, awkward[i]);
  }
}

TEST_F(LoginItemStoreTest, LeftoversOfInterruptedWritesAreRemoved) {
  add("/kept");
  std::string folder = environment_.autostartFolder();
  std::string leftover = folder + "/hushmoor-login-item-0000.desktop.AB12CD";
  std::string foreignTemp = folder + "/other.desktop.AB12CD";
  std::ofstream(leftover) << "[Desktop";
  std::ofstream(foreignTemp) << "x";
  store_.removeLeftovers();
  EXPECT_FALSE(g_file_test(leftover.c_str(), G_FILE_TEST_EXISTS));
  EXPECT_TRUE(g_file_test(foreignTemp.c_str(), G_FILE_TEST_EXISTS));
  EXPECT_EQ(paths(), std::vector<std::string>{"/kept"});
}

TEST_F(LoginItemStoreTest, PathsThatAreNotUTF8AreRefused) {
  std::string error;
  EXPECT_FALSE(store_.append("/bad\xFF", false, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(store_.list().empty());
}

}  // namespace
