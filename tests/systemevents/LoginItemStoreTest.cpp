// The store of login items: list order, the entries it must leave alone, and
// its temporary files.
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/applevents/AEEventServer.h"
#include "systemevents/LoginItemStore.h"
#include "systemevents/SystemEventsControl.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

using systemevents::LoginItemStore;
using Paths = std::vector<std::string>;

const char* const kEntry = "[Desktop Entry]\nType=Application\nName=n\nExec=n\n";

class LoginItemStoreTest : public ::testing::Test {
 protected:
  Paths paths() {
    Paths result;
    for (const auto& item : store_.list()) result.push_back(item.path);
    return result;
  }
  void add(const std::string& path) {
    std::string error;
    ASSERT_TRUE(store_.append(path, false, &error)) << error;
  }
  // Writes a file into the autostart folder by hand, as a user or an older
  // version would; returns its contents.
  std::string put(const std::string& name, const std::string& text) {
    g_mkdir_with_parents(folder_.c_str(), 0700);
    writeFile(folder_ + "/" + name, text);
    return text;
  }
  std::string contents(const std::string& name) const {
    return g_file_test((folder_ + "/" + name).c_str(), G_FILE_TEST_EXISTS)
               ? readFile(folder_ + "/" + name)
               : "<gone>";
  }

  TemporaryUserEnvironment environment_;
  std::string folder_ = environment_.autostartFolder();
  LoginItemStore store_{folder_};
};

TEST_F(LoginItemStoreTest, EntriesItCannotListAreSkippedOnceAndLeftAsTheyAre) {
  add("/mine");
  const std::pair<const char*, std::string> others[] = {
      {"someone-else.desktop", put("someone-else.desktop", kEntry)},
      {"hushmoor-login-item-nomarker.desktop",
       put("hushmoor-login-item-nomarker.desktop", std::string(kEntry) + "X-Hushmoor-Path=/x\n")},
      {"hushmoor-login-item-bad.desktop", put("hushmoor-login-item-bad.desktop", "\x01[")},
      {"hushmoor-login-item-nopath.desktop",
       put("hushmoor-login-item-nopath.desktop",
           std::string(kEntry) + "X-Hushmoor-Login-Item=true\nX-Hushmoor-Order=0\n")},
  };
  // Nobody writes this FIFO: reading it as an entry would wait for ever.
  ASSERT_EQ(::mkfifo((folder_ + "/hushmoor-login-item-fifo.desktop").c_str(), 0600), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(paths(), Paths{"/mine"});
  add("/new");
  std::string error;
  ASSERT_TRUE(store_.removeAt(0, &error));
  EXPECT_EQ(paths(), Paths{"/new"});
  std::string log = testing::internal::GetCapturedStderr();
  for (const auto& [name, text] : others) EXPECT_EQ(contents(name), text) << name;
  for (const char* name : {"bad", "nopath", "fifo"}) {
    std::string file = std::string("hushmoor-login-item-") + name;
    auto first = log.find(file);
    EXPECT_NE(first, std::string::npos) << file << " is reported";
    EXPECT_EQ(log.find(file, first + 1), std::string::npos) << file << " is reported once";
  }
}

TEST_F(LoginItemStoreTest, ANewItemGoesAfterAHandMadeEntryWithoutOrderOrWithTheLargest) {
  const std::string hand = "# made by hand\nX-Hushmoor-Login-Item=true\nX-Hushmoor-Path=/by hand\n";
  for (const char* order : {"", "X-Hushmoor-Order=9223372036854775806\n"}) {
    for (std::string error; store_.removeAt(0, &error);) continue;  // from an empty list
    add("/first");
    put("hushmoor-login-item-hand.desktop", kEntry + hand + order);
    EXPECT_EQ(paths(), (Paths{"/first", "/by hand"}));
    add("/new");
    add("/newer");
    EXPECT_EQ(paths(), (Paths{"/first", "/by hand", "/new", "/newer"})) << order;
    EXPECT_NE(contents("hushmoor-login-item-hand.desktop").find("# made"), std::string::npos);
  }
}

TEST_F(LoginItemStoreTest, SystemEventsCleansUpOnlyOnceItHoldsTheLock) {
  const std::string leftover = ".hushmoor-login-item-partial-AB12CD";
  put(leftover, "[Desk");
  // Only its own temporary files: a user's copies next to them stay.
  const char* users[] = {"hushmoor-login-item-x.desktop.bak", "hushmoor-login-item-x.desktop~",
                         "hushmoor-login-item-x.desktop.AB12CD", "other.desktop.AB12CD"};
  for (const char* name : users) put(name, "mine");
  const std::string program = std::string(HUSHMOOR_TEST_APPLICATIONS_DIR) +
                              "/System Events.app/Contents/MacOS/System Events";
  gchar* argv[] = {const_cast<gchar*>(program.c_str()), nullptr};
  {
    // Another System Events (this test) holds the lock and may be writing.
    std::unique_ptr<AEEventServer> running;
    ASSERT_EQ(AEEventServer::create(
                  kSystemEventsCreator, [](auto&, auto*) {}, nullptr, &running),
              noErr);
    gint status = -1;
    ASSERT_TRUE(g_spawn_sync(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                             nullptr, &status, nullptr));
    EXPECT_EQ(status, 0) << "the second one gives way";
    EXPECT_EQ(contents(leftover), "[Desk");
  }
  ASSERT_TRUE(
      g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, nullptr));
  for (int i = 0; i < 1000 && contents(leftover) != "<gone>"; ++i) g_usleep(10000);
  EXPECT_EQ(contents(leftover), "<gone>");
  for (const char* name : users) EXPECT_EQ(contents(name), "mine") << name;
}

}  // namespace
