// User defaults on disk: a corrupt file is kept aside, never overwritten, and
// without XDG_CONFIG_HOME the store lives under HOME. (The domains and sharing
// the store with another process, the hushmoor-sim scenarios show.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/foundation/NSUserDefaults.h"
#include "platform/machine/ScopedSimulatedBackends.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

TEST(NSUserDefaultsTest, ACorruptFileIsMovedAsideWithOneWarningAndRegisteredValuesApply) {
  TemporaryUserEnvironment user;
  ScopedSimulatedBackends backends;
  const std::string store = user.configFolder() + "/org.example.test.defaults";
  const std::string garbage = "this is not a key file\n\x01\x02[[[\n";
  writeFile(store, garbage);
  NSUserDefaults app("org.example.test", {});
  app.registerDefaults({{"SleepDelay", NSDefaultsValue{5L}}});
  EXPECT_EQ(app.integerForKey("SleepDelay"), 5);
  EXPECT_EQ(app.integerForKey("SleepDelay"), 5);
  ASSERT_EQ(backends.log->messages().size(), 1u);
  EXPECT_NE(backends.log->messages()[0].find("moved aside"), std::string::npos);
  EXPECT_EQ(readFile(store + ".corrupt"), garbage);

  // A second corrupt file does not replace the first one kept aside.
  writeFile(store, garbage + "again");
  EXPECT_EQ(app.integerForKey("SleepDelay"), 5);
  EXPECT_EQ(readFile(store + ".corrupt"), garbage);
  EXPECT_EQ(readFile(store + ".corrupt-2"), garbage + "again");

  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(app.applicationDomainPath(), user.root() + "/.config/org.example.test.defaults");
}

// A rewrite keeps what it does not know and writes through a link; a file it
// cannot read and a folder it cannot write lose nothing and warn once.
TEST(NSUserDefaultsTest, RewritesKeepTheUsersFileAndNeverWriteOverOneTheyCannotRead) {
  TemporaryUserEnvironment user;
  ScopedSimulatedBackends backends;
  const std::string store = user.configFolder() + "/org.example.test.defaults";
  const std::string dotfiles = user.root() + "/dotfiles.defaults";
  writeFile(dotfiles, "# mine\n[Defaults]\nSleepDelay=3\nColour=blue\n[Other]\nx=1\n");
  std::filesystem::create_symlink(dotfiles, store);
  NSUserDefaults app("org.example.test", {});
  app.setBool(true, "RanBefore");
  ASSERT_TRUE(app.synchronize());
  EXPECT_TRUE(std::filesystem::is_symlink(store));
  std::string kept = readFile(dotfiles);  // blank lines are GLib's to place, and differ by release
  for (size_t at; (at = kept.find("\n\n")) != std::string::npos;) kept.erase(at, 1);
  EXPECT_EQ(kept, "# mine\n[Defaults]\nSleepDelay=3\nColour=blue\nRanBefore=true\n[Other]\nx=1\n");

  // A FIFO (or a folder) where the file should be: read at once, never written over.
  std::filesystem::remove(store);
  ASSERT_EQ(::mkfifo(store.c_str(), 0600), 0);
  EXPECT_EQ(app.integerForKey("SleepDelay"), 0);
  app.setInteger(4, "SleepDelay");
  EXPECT_FALSE(app.synchronize());
  EXPECT_FALSE(app.synchronize());
  EXPECT_TRUE(std::filesystem::is_fifo(store));
  std::filesystem::remove(store);
  // No folder can be made where a file is: the change is kept for a later try.
  setenv("XDG_CONFIG_HOME", dotfiles.c_str(), 1);
  EXPECT_FALSE(app.synchronize());
  EXPECT_EQ(app.integerForKey("SleepDelay"), 4);
  ASSERT_EQ(backends.log->messages().size(), 2u) << "one warning each";
  EXPECT_NE(backends.log->messages()[0].find("cannot read user defaults file"), std::string::npos);
  EXPECT_NE(backends.log->messages()[1].find("cannot save user defaults to"), std::string::npos);
}

}  // namespace
