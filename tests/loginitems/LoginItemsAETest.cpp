// LoginItemsAE against a real System Events process in a private home.
#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "loginitems/LoginItemsAE.h"
#include "platform/applevents/AERuntimeFolder.h"
#include "platform/applevents/AESend.h"
#include "systemevents/LoginItemStore.h"
#include "systemevents/SystemEventsControl.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

using Items = std::vector<std::pair<std::string, bool>>;  // path, hidden

class LoginItemsAETest : public ::testing::Test {
 protected:
  // The login items as plain values; fails the test when the call fails.
  Items copyItems() {
    CFArrayRef items = nullptr;
    OSStatus err = LIAECopyLoginItems(&items);
    EXPECT_EQ(err, noErr);
    Items result;
    if (err != noErr) return result;
    for (CFIndex i = 0; i < CFArrayGetCount(items); ++i) {
      auto dict = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(items, i));
      EXPECT_EQ(CFDictionaryGetCount(dict), 2);
      auto url = static_cast<CFURLRef>(CFDictionaryGetValue(dict, CFSTR("URL")));
      auto hidden = static_cast<CFBooleanRef>(CFDictionaryGetValue(dict, CFSTR("Hidden")));
      result.emplace_back(url->path(), CFBooleanGetValue(hidden) != 0);
    }
    CFRelease(items);
    return result;
  }

  std::string makeFile(const std::string& name) {
    std::string path = environment_.root() + "/" + name;
    std::ofstream(path) << "x";
    return path;
  }

  OSStatus addPath(const std::string& path, bool hide) {
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(
        nullptr, reinterpret_cast<const UInt8*>(path.data()), CFIndex(path.size()), false);
    OSStatus err = LIAEAddURLAtEnd(url, hide);
    CFRelease(url);
    return err;
  }

  void writeEntry(const std::string& name, const std::string& keys) {
    std::string folder = environment_.autostartFolder();
    ASSERT_EQ(g_mkdir_with_parents(folder.c_str(), 0700), 0);
    std::ofstream(folder + "/hushmoor-login-item-" + name + ".desktop")
        << "[Desktop Entry]\nType=Application\nName=n\nExec=n\nX-Hushmoor-Login-Item=true\n"
        << keys;
  }

  TemporaryUserEnvironment environment_;
};

TEST_F(LoginItemsAETest, SystemEventsIsStartedWhenNotRunningAndFoundWhenRunning) {
  ProcessSerialNumber psn;
  ASSERT_EQ(SystemEventsFindRunning(&psn), procNotFound);
  EXPECT_EQ(copyItems(), Items{}) << "no login items: an empty list";
  ProcessSerialNumber started;
  ASSERT_EQ(SystemEventsFindRunning(&started), noErr);
  EXPECT_TRUE(copyItems().empty());
  ProcessSerialNumber again;
  ASSERT_EQ(SystemEventsFindRunning(&again), noErr);
  EXPECT_EQ(again.lowLongOfPSN, started.lowLongOfPSN) << "the running one was used";
}

TEST_F(LoginItemsAETest, AddListAndRemoveByIndexWithOneEventEach) {
  std::string a = makeFile("a item"), b = makeFile("b\nitem"), c = makeFile("c 'item'");
  UInt64 before = AEGetEventsSentCount();
  ASSERT_EQ(addPath(a, false), noErr);
  ASSERT_EQ(addPath(b, true), noErr);
  ASSERT_EQ(addPath(c, false), noErr);
  ASSERT_EQ(addPath(a, false), noErr);  // the same path twice is two items
  EXPECT_EQ(copyItems(), (Items{{a, false}, {b, true}, {c, false}, {a, false}}));
  EXPECT_EQ(LIAERemove(0), noErr) << "index 0 is System Events' item 1";
  EXPECT_EQ(copyItems(), (Items{{b, true}, {c, false}, {a, false}}));
  EXPECT_EQ(LIAERemove(2), noErr);
  EXPECT_EQ(LIAERemove(2), errAENoSuchObject);
  EXPECT_EQ(copyItems(), (Items{{b, true}, {c, false}}));
  EXPECT_EQ(AEGetEventsSentCount() - before, 10u) << "7 changes and 3 listings";
}

TEST_F(LoginItemsAETest, AnAddedBundleIsListedAndIsAValidDesktopEntry) {
  std::string bundle = environment_.root() + "/My App.app";
  ASSERT_EQ(g_mkdir_with_parents((bundle + "/Contents/MacOS").c_str(), 0700), 0);
  ASSERT_EQ(addPath(bundle, false), noErr);
  EXPECT_EQ(copyItems(), (Items{{bundle, false}}));
  systemevents::LoginItemStore store(environment_.autostartFolder());
  auto entries = store.list();
  ASSERT_EQ(entries.size(), 1u);
  if (std::system("command -v desktop-file-validate >/dev/null") == 0) {
    EXPECT_EQ(std::system(("desktop-file-validate '" + entries[0].file + "'").c_str()), 0);
  }
}

TEST_F(LoginItemsAETest, AURLOfAMissingFileIsRefusedWithoutSendingAnything) {
  UInt64 before = AEGetEventsSentCount();
  EXPECT_EQ(addPath(environment_.root() + "/does not exist", false), fnfErr);
  EXPECT_EQ(AEGetEventsSentCount(), before);
  ProcessSerialNumber psn;
  EXPECT_EQ(SystemEventsFindRunning(&psn), procNotFound) << "System Events was not even started";
}

TEST_F(LoginItemsAETest, AMissingHiddenPropertyMeansNotHidden) {
  writeEntry("nohidden", "X-Hushmoor-Path=/x\nX-Hushmoor-Order=1\n");
  writeEntry("badhidden", "X-Hushmoor-Path=/y\nX-Hushmoor-Hidden=perhaps\nX-Hushmoor-Order=2\n");
  EXPECT_EQ(copyItems(), (Items{{"/x", false}, {"/y", false}}));
}

TEST_F(LoginItemsAETest, AMissingPathPropertyFailsTheWholeList) {
  writeEntry("fine", "X-Hushmoor-Path=/x\nX-Hushmoor-Order=1\n");
  writeEntry("nopath", "X-Hushmoor-Hidden=true\nX-Hushmoor-Order=2\n");
  CFArrayRef items = nullptr;
  EXPECT_EQ(LIAECopyLoginItems(&items), errAEDescNotFound);
  EXPECT_EQ(items, nullptr);
}

TEST_F(LoginItemsAETest, PathsLongerThan1023BytesAreCut) {
  std::string longPath = "/" + std::string(1500, 'p');
  systemevents::LoginItemStore store(environment_.autostartFolder());
  std::string error;
  ASSERT_TRUE(store.append(longPath, false, &error)) << error;
  EXPECT_EQ(copyItems(), (Items{{longPath.substr(0, 1023), false}}));
}

TEST_F(LoginItemsAETest, RefusalsOfSystemEventsBecomeTheStatus) {
  copyItems();  // starts it
  ProcessSerialNumber psn;
  ASSERT_EQ(SystemEventsFindRunning(&psn), noErr);
  const struct {
    OSStatus refusal, expected;
  } cases[] = {
      {errAEEventNotHandled, errAEEventNotHandled},
      {-10000, -10000},
      // An error number that does not fit 16 bits cannot be read as 'shor';
      // that coercion failure is the status rather than a silent success.
      {100000, errAECoercionFail},
  };
  std::string a = makeFile("a");
  for (const auto& c : cases) {
    ASSERT_EQ(SystemEventsSetFailure(psn, c.refusal), noErr);
    CFArrayRef items = nullptr;
    EXPECT_EQ(LIAECopyLoginItems(&items), c.expected);
    EXPECT_EQ(items, nullptr);
    EXPECT_EQ(addPath(a, false), c.expected);
    EXPECT_EQ(LIAERemove(0), c.expected);
  }
  ASSERT_EQ(SystemEventsSetFailure(psn, noErr), noErr);
  EXPECT_TRUE(copyItems().empty()) << "nothing was added while refusing";
}

TEST_F(LoginItemsAETest, SystemEventsComesBackAfterQuittingWhenIdle) {
  setenv(kSystemEventsIdleQuitVariable, "1", 1);
  std::string a = makeFile("a");
  ASSERT_EQ(addPath(a, false), noErr);
  ProcessSerialNumber first;
  ASSERT_EQ(SystemEventsFindRunning(&first), noErr);
  auto pid = static_cast<pid_t>(first.lowLongOfPSN);
  for (int i = 0; i < 400 && ae_runtime::processIsRunning(pid); ++i) usleep(10000);
  ASSERT_FALSE(ae_runtime::processIsRunning(pid)) << "it quits after its idle time";
  EXPECT_EQ(copyItems(), (Items{{a, false}}));
}

}  // namespace
