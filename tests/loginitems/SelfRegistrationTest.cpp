// Self-registration against a real System Events in a private home: failures,
// and the contract of its two steps. (What a launch leaves in the list, and
// what it logs, the hushmoor-sim login-items scenario shows.)
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
#include "platform/foundation/PlatformServices.h"
#include "systemevents/LoginItemStore.h"
#include "systemevents/SystemEventsControl.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

using Lines = std::vector<std::string>;

class SelfRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bundle_ = environment_.root() + "/My Apps/Hushmoor.app";
    std::filesystem::create_directories(bundle_ + "/Contents/MacOS");
    NSBundle::setMainBundlePath(NSString::stringWithUTF8String(bundle_));
  }
  void TearDown() override {
    NSBundle::setMainBundlePath("");
    ::unsetenv(kSystemEventsFailureVariable);
  }

  // "@" stands for the bundle's own path; a trailing "!" marks a hidden item.
  // Seeds the list as it stood before, without sending any event.
  void seed(const Lines& items) {
    systemevents::LoginItemStore store(environment_.autostartFolder(), false);
    std::string error;
    for (std::size_t i = 0; i < items.size(); ++i) {
      std::string path = items[i] == "@" ? bundle_ : items[i];
      const bool hidden = path.back() == '!';
      if (hidden) path.pop_back();
      ASSERT_TRUE(store.writeItem(path, hidden, std::int64_t(i + 1), &error)) << error;
    }
  }
  Lines items() const {
    Lines result;
    for (const auto& item : systemevents::LoginItemStore(environment_.autostartFolder()).list())
      result.push_back((item.path == bundle_ ? "@" : item.path) +
                       (item.hidden.value_or(false) ? "!" : ""));
    return result;
  }
  // Log lines with their source lines written "N".
  Lines logLines() const {
    static const std::regex located(R"(^(WARN|ERROR) \((\w+):\d+\))");
    Lines lines;
    for (const auto& m : log_->messages())
      lines.push_back(std::regex_replace(m, located, "$1 ($2:N)"));
    log_->clear();
    return lines;
  }

  TemporaryUserEnvironment environment_;
  std::string bundle_;
  std::shared_ptr<LogSinkCapture> log_ = std::make_shared<LogSinkCapture>();
  ScopedPlatformServices services_{{.logSink = log_}};
};

TEST_F(SelfRegistrationTest, AFailedReadStopsTheStepAndIsLogged) {
  seed({"/opt/Hushmoor.app"});
  ::setenv(kSystemEventsFailureVariable, "-1743", 1);
  const UInt64 sentBefore = AEGetEventsSentCount();
  registerSelfInLoginItems();
  EXPECT_EQ(AEGetEventsSentCount() - sentBefore, 1u) << "no removal, no addition";
  EXPECT_TRUE(removeLoginItem("/opt/Hushmoor.app"));
  EXPECT_EQ(logLines(),
            (Lines{"ERROR (loginListContainsApp:N): LIAECopyLoginItems returned: -1743\n",
                   "ERROR (removeLoginItem:N): LIAECopyLoginItems returned: -1743\n"}));
  EXPECT_EQ(items(), Lines{"/opt/Hushmoor.app"});

  LSSetApplicationSearchFoldersForTesting({environment_.root() + "/no applications here"});
  ProcessSerialNumber psn;
  ASSERT_EQ(SystemEventsFindRunning(&psn), noErr);
  ASSERT_TRUE(SystemEventsQuitAndWait(psn, 5000));
  registerSelfInLoginItems();
  EXPECT_EQ(logLines(),
            Lines{"ERROR (loginListContainsApp:N): LIAECopyLoginItems returned: -10814\n"});
}

TEST_F(SelfRegistrationTest, TheListSlotAndFoundFollowTheirContract) {
  bool found = true;
  const NSString appPath = NSString::stringWithUTF8String(bundle_);
  const UInt64 sentBefore = AEGetEventsSentCount();
  EXPECT_EQ(loginListContainsApp(appPath, nullptr, &found), -4184);
  EXPECT_EQ(AEGetEventsSentCount(), sentBefore);
  EXPECT_TRUE(found) << "found is left untouched";
  EXPECT_EQ(logLines(), (Lines{"ERROR (loginListContainsApp:N): failed because: !copyCats",
                               "ERROR (loginListContainsApp:N): null list given"}));

  seed({"/opt/Hushmoor.app", "@", "/opt/Hushmoor.app!"});
  std::optional<std::vector<NSString>> copyCats = std::vector<NSString>{"/earlier"};
  EXPECT_EQ(loginListContainsApp(appPath, &copyCats, nullptr), noErr);
  EXPECT_EQ(*copyCats,
            (std::vector<NSString>{"/earlier", "/opt/Hushmoor.app", "/opt/Hushmoor.app"}));
  std::optional<std::vector<NSString>> empty;
  ASSERT_EQ(loginListContainsApp("/elsewhere/Hushmoor.app", &empty, &found), noErr);
  EXPECT_FALSE(found) << "set false at the start";
  ASSERT_TRUE(empty.has_value()) << "the empty slot gets a list";
  EXPECT_EQ(empty->size(), 3u);

  EXPECT_TRUE(removeLoginItem("/opt/Hushmoor")) << "no item has exactly that path";
  EXPECT_FALSE(removeLoginItem("/opt/Hushmoor.app"));
  EXPECT_EQ(items(), (Lines{"@", "/opt/Hushmoor.app!"})) << "only the first of the two goes";
}

}  // namespace
