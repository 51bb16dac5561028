// User defaults: the three domains, sharing the stored domain with other
// processes, and what happens to a corrupt file.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/foundation/LogSinkCapture.h"
#include "platform/foundation/NSUserDefaults.h"
#include "tests/platform/TempHome.h"

namespace {

class NSUserDefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override { NSSetLogSink(log); }
  void TearDown() override { NSSetLogSink(nullptr); }
  std::string storePath() const { return home.configFolder() + "/org.example.test.defaults"; }

  TempHome home;
  std::shared_ptr<CapturingLogSink> log = std::make_shared<CapturingLogSink>();
};

TEST(NSDefaultsValueTest, ParsesIntegersAndBooleansOnly) {
  struct Case {
    const char* text;
    std::optional<NSDefaultsValue> expected;
  };
  const Case cases[] = {
      {"5", NSDefaultsValue{5L}},      {"-3", NSDefaultsValue{-3L}},   {"+7", NSDefaultsValue{7L}},
      {"0", NSDefaultsValue{0L}},      {"YES", NSDefaultsValue{true}}, {"NO", NSDefaultsValue{false}},
      {"true", NSDefaultsValue{true}}, {"false", NSDefaultsValue{false}},
      {"", std::nullopt},              {"5s", std::nullopt},           {" 5", std::nullopt},
      {"yes", std::nullopt},           {"0x10", std::nullopt},         {"-", std::nullopt},
      {"99999999999999999999999", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(NSDefaultsValueFromString(c.text), c.expected) << c.text;
}

TEST_F(NSUserDefaultsTest, ArgumentsOverrideStoredValuesWhichOverrideRegisteredOnes) {
  NSUserDefaults other("org.example.test", {});
  other.setInteger(7, "SleepDelay");
  other.setInteger(8, "Stored");
  ASSERT_TRUE(other.synchronize());

  NSUserDefaults defaults("org.example.test",
                          {"/bin/app", "-SleepDelay", "1", "stray", "-Flag", "YES", "-Bad", "x1",
                           "-Last"});
  defaults.registerDefaults({{"SleepDelay", NSDefaultsValue{5L}},
                             {"Stored", NSDefaultsValue{5L}},
                             {"Registered", NSDefaultsValue{3L}},
                             {"Bad", NSDefaultsValue{4L}}});
  EXPECT_EQ(defaults.integerForKey("SleepDelay"), 1);
  EXPECT_EQ(defaults.integerForKey("Stored"), 8);
  EXPECT_EQ(defaults.integerForKey("Registered"), 3);
  EXPECT_TRUE(defaults.boolForKey("Flag"));
  EXPECT_EQ(defaults.integerForKey("Bad"), 4) << "an unreadable argument value is ignored";
  EXPECT_EQ(defaults.integerForKey("Missing"), 0);
  EXPECT_FALSE(defaults.boolForKey("Missing"));
}

TEST_F(NSUserDefaultsTest, AValueAnotherProcessWritesIsSeenAtTheNextRead) {
  NSUserDefaults app("org.example.test", {});
  app.registerDefaults({{"SleepDelay", NSDefaultsValue{5L}}});
  EXPECT_EQ(app.integerForKey("SleepDelay"), 5);

  NSUserDefaults tool("org.example.test", {});
  tool.setInteger(2, "SleepDelay");
  ASSERT_TRUE(tool.synchronize());
  EXPECT_EQ(app.integerForKey("SleepDelay"), 2);

  NSUserDefaults remover("org.example.test", {});
  remover.removeObjectForKey("SleepDelay");
  ASSERT_TRUE(remover.synchronize());
  EXPECT_EQ(app.integerForKey("SleepDelay"), 5) << "deleting the stored value brings back 5";
}

TEST_F(NSUserDefaultsTest, OwnChangesAreSeenAtOnceAndMergedWithOthersOnSynchronize) {
  NSUserDefaults app("org.example.test", {});
  app.setBool(true, "RanBefore");
  EXPECT_TRUE(app.boolForKey("RanBefore"));
  EXPECT_FALSE(std::filesystem::exists(storePath())) << "nothing is written before synchronize";

  NSUserDefaults tool("org.example.test", {});
  tool.setInteger(9, "SleepDelay");
  ASSERT_TRUE(tool.synchronize());

  ASSERT_TRUE(app.synchronize());
  NSUserDefaults later("org.example.test", {});
  EXPECT_TRUE(later.boolForKey("RanBefore"));
  EXPECT_EQ(later.integerForKey("SleepDelay"), 9) << "the other process's value survives";
}

TEST_F(NSUserDefaultsTest, ACorruptFileIsMovedAsideWithOneWarningAndRegisteredValuesApply) {
  const std::string garbage = "this is not a key file\n\x01\x02[[[\n";
  writeFile(storePath(), garbage);
  NSUserDefaults app("org.example.test", {});
  app.registerDefaults({{"SleepDelay", NSDefaultsValue{5L}}});

  EXPECT_EQ(app.integerForKey("SleepDelay"), 5);
  EXPECT_EQ(app.integerForKey("SleepDelay"), 5);
  ASSERT_EQ(log->messages().size(), 1u);
  EXPECT_NE(log->messages()[0].find("corrupt"), std::string::npos) << log->messages()[0];
  EXPECT_EQ(readFile(storePath() + ".corrupt"), garbage);

  // A second corrupt file does not replace the first one kept aside.
  writeFile(storePath(), garbage + "again");
  EXPECT_EQ(app.integerForKey("SleepDelay"), 5);
  EXPECT_EQ(readFile(storePath() + ".corrupt"), garbage);
  EXPECT_EQ(readFile(storePath() + ".corrupt-2"), garbage + "again");

  app.setBool(true, "RanBefore");
  ASSERT_TRUE(app.synchronize());
  EXPECT_NE(readFile(storePath()).find("RanBefore=true"), std::string::npos);
}

TEST_F(NSUserDefaultsTest, AStoredValueThatIsNoNumberCountsAsNotStored) {
  writeFile(storePath(), "[Defaults]\nSleepDelay=soon\nRanBefore=true\n");
  NSUserDefaults app("org.example.test", {});
  app.registerDefaults({{"SleepDelay", NSDefaultsValue{5L}}});
  EXPECT_EQ(app.integerForKey("SleepDelay"), 5);
  EXPECT_TRUE(app.boolForKey("RanBefore"));
  EXPECT_TRUE(log->messages().empty());
}

// Under XDG_CONFIG_HOME the other tests find it by storePath().
TEST_F(NSUserDefaultsTest, WithoutAConfigFolderSetTheStoreLivesUnderHome) {
  NSUserDefaults app("org.example.test", {});
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(app.applicationDomainPath(), home.path() + "/.config/org.example.test.defaults");
}

}  // namespace
