// Self-registration against a real System Events in a private home: the list
// it leaves, every log line, and the events a launch sends (1 read, 2 per
// copycat, 1 for an addition).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "loginitems/SelfRegistration.h"
#include "platform/applevents/AESend.h"
#include "platform/foundation/LogSinkCapture.h"
#include "platform/foundation/NSBundle.h"
#include "systemevents/LoginItemStore.h"
#include "systemevents/SystemEventsControl.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

struct Item {
  std::string path;
  bool hidden = false;
  bool operator==(const Item&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Item& item) {
  return out << "{" << item.path << (item.hidden ? ", hidden}" : "}");
}

class SelfRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bundle_ = environment_.root() + "/My Apps/Hushmoor.app";
    std::filesystem::create_directories(bundle_ + "/Contents/MacOS");
    NSBundle::setMainBundlePath(NSString::stringWithUTF8String(bundle_));
    NSSetLogSink(log_);
  }
  void TearDown() override {
    NSSetLogSink(nullptr);
    NSBundle::setMainBundlePath("");
  }

  // "@" stands for the bundle's own path, "~" for the private root.
  std::string expand(const std::string& text) const {
    std::string result;
    for (char c : text) {
      if (c == '@')
        result += bundle_;
      else if (c == '~')
        result += environment_.root();
      else
        result += c;
    }
    return result;
  }

  // Seeds the list as it stood before the launch, without sending any event.
  void seed(const std::vector<Item>& items) {
    systemevents::LoginItemStore store(environment_.autostartFolder(), false);
    std::string error;
    for (size_t i = 0; i < items.size(); ++i)
      ASSERT_TRUE(store.writeItem(expand(items[i].path), items[i].hidden,
                                  static_cast<std::int64_t>(i + 1), &error))
          << error;
  }

  std::vector<Item> items() const {
    systemevents::LoginItemStore store(environment_.autostartFolder(), false);
    std::vector<Item> result;
    for (const auto& item : store.list())
      result.push_back({item.path.value_or("?"), item.hidden.value_or(false)});
    return result;
  }

  std::vector<Item> expanded(const std::vector<Item>& items) const {
    std::vector<Item> result;
    for (const Item& item : items) result.push_back({expand(item.path), item.hidden});
    return result;
  }

  // Log lines with their source lines written "N".
  std::vector<std::string> logLines() const {
    static const std::regex located(R"(^(WARN|ERROR) \((\w+):\d+\))");
    std::vector<std::string> lines;
    for (const auto& m : log_->messages())
      lines.push_back(std::regex_replace(m, located, "$1 ($2:N)"));
    return lines;
  }

  static void startFailingSystemEvents(OSStatus status) {
    ::setenv(kSystemEventsFailureVariable, std::to_string(status).c_str(), 1);
  }

  TemporaryUserEnvironment environment_;
  std::string bundle_;
  std::shared_ptr<CapturingLogSink> log_ = std::make_shared<CapturingLogSink>();
};

struct Scenario {
  const char* name;
  std::vector<Item> before;
  std::vector<Item> after;
  std::vector<std::string> log;
  UInt64 events;  // 1 + 2 per copycat + 1 for an addition
};

const char* const kWrongPlace =
    "WARN (loginListContainsApp:N): Login Item @ found but located in wrong place!";
const char* const kAdded = "INFO: added self to login items";

const Scenario kScenarios[] = {
    {"AlreadyListed", {{"/usr/bin/x"}, {"@"}}, {{"/usr/bin/x"}, {"@"}}, {}, 1},
    {"EmptyList", {}, {{"@"}}, {kAdded}, 2},
    {"ACopyElsewhere",
     {{"/Volumes/Old Disk/Hushmoor.app", true}, {"/usr/bin/x"}},
     {{"/usr/bin/x"}, {"@"}},
     {kWrongPlace, "INFO: removing copycat: /Volumes/Old Disk/Hushmoor.app", kAdded},
     4},
    {"ACopyElsewhereWhileTheBundleIsListed",
     {{"@"}, {"~/Hushmoor.app"}},
     {{"@"}},
     {kWrongPlace, "INFO: removing copycat: ~/Hushmoor.app"},
     3},
    {"LongerNamesAndFoldersThatContainTheName",
     {{"/opt/Hushmoor.app.old"}, {"/opt/Other.app"}, {"/srv/Hushmoor.app backup/readme"}},
     {{"/opt/Other.app"}, {"@"}},
     {kWrongPlace, kWrongPlace, "INFO: removing copycat: /opt/Hushmoor.app.old",
      "INFO: removing copycat: /srv/Hushmoor.app backup/readme", kAdded},
     6},
    {"TwoItemsWithTheBundlesOwnPathBothStay",
     {{"@"}, {"/opt/x"}, {"@", true}},
     {{"@"}, {"/opt/x"}, {"@", true}},
     {},
     1},
    {"TwoCopycatsWithTheSamePath",
     {{"/opt/Hushmoor.app"}, {"@"}, {"/opt/Hushmoor.app", true}},
     {{"@"}},
     {kWrongPlace, kWrongPlace, "INFO: removing copycat: /opt/Hushmoor.app",
      "INFO: removing copycat: /opt/Hushmoor.app"},
     5},
    {"ANameDifferingOnlyInCaseIsLeftAlone",
     {{"/opt/hushmoor.app"}, {"/opt/HUSHMOOR.APP"}},
     {{"/opt/hushmoor.app"}, {"/opt/HUSHMOOR.APP"}, {"@"}},
     {kAdded},
     2},
};

class SelfRegistrationScenarioTest : public SelfRegistrationTest,
                                     public ::testing::WithParamInterface<Scenario> {};

TEST_P(SelfRegistrationScenarioTest, LeavesTheBundleListedOnceAndLogsEachStep) {
  const Scenario& s = GetParam();
  seed(s.before);
  const UInt64 sentBefore = AEGetEventsSentCount();
  registerSelfInLoginItems();
  EXPECT_EQ(AEGetEventsSentCount() - sentBefore, s.events);
  EXPECT_EQ(items(), expanded(s.after));
  std::vector<std::string> expectedLog;
  for (const auto& line : s.log) expectedLog.push_back(expand(line));
  EXPECT_EQ(logLines(), expectedLog);

  // A second launch changes nothing and says nothing: one read.
  log_->clear();
  const UInt64 sentAgain = AEGetEventsSentCount();
  registerSelfInLoginItems();
  EXPECT_EQ(AEGetEventsSentCount() - sentAgain, 1u);
  EXPECT_EQ(items(), expanded(s.after));
  EXPECT_EQ(logLines(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Table, SelfRegistrationScenarioTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SelfRegistrationTest, ARefusingSystemEventsStopsTheStepButNothingElse) {
  seed({{"/opt/Hushmoor.app"}});
  startFailingSystemEvents(-1743);
  const UInt64 sentBefore = AEGetEventsSentCount();
  registerSelfInLoginItems();
  ::unsetenv(kSystemEventsFailureVariable);
  EXPECT_EQ(AEGetEventsSentCount() - sentBefore, 1u) << "no removal, no addition";
  EXPECT_EQ(logLines(),
            std::vector<std::string>{
                "ERROR (loginListContainsApp:N): LIAECopyLoginItems returned: -1743\n"});
  EXPECT_EQ(items(), std::vector<Item>{{"/opt/Hushmoor.app"}});
}

TEST_F(SelfRegistrationTest, AMissingListPointerIsRefusedBeforeAnyEvent) {
  bool found = true;
  const UInt64 sentBefore = AEGetEventsSentCount();
  EXPECT_EQ(loginListContainsApp(NSString::stringWithUTF8String(bundle_), nullptr, &found), -4184);
  EXPECT_EQ(AEGetEventsSentCount(), sentBefore);
  EXPECT_TRUE(found) << "found is left untouched";
  EXPECT_EQ(logLines(),
            (std::vector<std::string>{"ERROR (loginListContainsApp:N): failed because: !copyCats",
                                      "ERROR (loginListContainsApp:N): null list given"}));
}

TEST_F(SelfRegistrationTest, AFilledSlotIsAppendedToAndFoundIsOptional) {
  seed({{"/opt/Hushmoor.app"}, {"@"}});
  std::optional<std::vector<NSString>> copyCats = std::vector<NSString>{"/earlier"};
  EXPECT_EQ(loginListContainsApp(NSString::stringWithUTF8String(bundle_), &copyCats, nullptr),
            noErr);
  ASSERT_TRUE(copyCats.has_value());
  EXPECT_EQ(*copyCats, (std::vector<NSString>{"/earlier", "/opt/Hushmoor.app"}));

  bool found = true;
  std::optional<std::vector<NSString>> empty;
  seed({});
  ASSERT_EQ(loginListContainsApp("/elsewhere/Hushmoor.app", &empty, &found), noErr);
  EXPECT_FALSE(found) << "set false at the start";
  ASSERT_TRUE(empty.has_value()) << "the empty slot gets a list";
  EXPECT_EQ(empty->size(), 2u);  // both items are copies of /elsewhere/Hushmoor.app
}

TEST_F(SelfRegistrationTest, RemoveLoginItemTakesOnlyTheFirstExactMatch) {
  seed({{"/opt/Hushmoor.app/x"}, {"/opt/Hushmoor.app", true}, {"/opt/Hushmoor.app"}});
  EXPECT_TRUE(removeLoginItem("/opt/Hushmoor")) << "no item has exactly that path";
  EXPECT_EQ(items().size(), 3u);
  EXPECT_FALSE(removeLoginItem("/opt/Hushmoor.app"));
  EXPECT_EQ(items(), (std::vector<Item>{{"/opt/Hushmoor.app/x"}, {"/opt/Hushmoor.app"}}))
      << "the first match (the hidden one) went";
  EXPECT_EQ(logLines(), std::vector<std::string>{});
}

TEST_F(SelfRegistrationTest, RemoveLoginItemReportsAFailedRead) {
  seed({{"/opt/Hushmoor.app"}});
  startFailingSystemEvents(-1708);
  EXPECT_TRUE(removeLoginItem("/opt/Hushmoor.app"));
  ::unsetenv(kSystemEventsFailureVariable);
  EXPECT_EQ(logLines(), std::vector<std::string>{
                            "ERROR (removeLoginItem:N): LIAECopyLoginItems returned: -1708\n"});
  EXPECT_EQ(items().size(), 1u);
}

TEST_F(SelfRegistrationTest, ALaunchWithoutSystemEventsAnywhereLogsTheLookUpFailure) {
  LSSetApplicationSearchFoldersForTesting({environment_.root() + "/no applications here"});
  registerSelfInLoginItems();
  EXPECT_EQ(logLines(),
            std::vector<std::string>{
                "ERROR (loginListContainsApp:N): LIAECopyLoginItems returned: -10814\n"});
}

}  // namespace
