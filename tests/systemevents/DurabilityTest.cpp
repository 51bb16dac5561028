// System Events killed at random moments of adding and removing: afterwards
// every entry parses and the list is a state that some prefix of the work
// produced.
#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

#include "platform/applevents/AERuntimeFolder.h"
#include "platform/applevents/AESend.h"
#include "platform/applevents/LaunchServices.h"
#include "platform/applevents/ScopedAEDesc.h"
#include "systemevents/LoginItemStore.h"
#include "systemevents/SystemEventsControl.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

OSStatus launchSystemEvents(ProcessSerialNumber* psn) {
  FSRef ref;
  OSStatus err = LSFindApplicationForInfo(kSystemEventsCreator, nullptr, nullptr, &ref, nullptr);
  if (err != noErr) return err;
  LSApplicationParameters params = {0, kLSLaunchDefaults, &ref, nullptr, nullptr, nullptr, nullptr};
  return LSOpenApplication(&params, psn);
}

OSStatus send(const ProcessSerialNumber& psn, AEEventID id, const char* path, SInt32 index) {
  ScopedAEDesc target, event, reply;
  AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, &target);
  AECreateAppleEvent(kAECoreSuite, id, &target.get(), kAutoGenerateReturnID, 0, &event);
  if (id == kAECreateElement) {
    AEPutParamPtr(&event, keyAEObjectClass, typeType, &kLoginItemClass, 4);
    ScopedAEDesc properties;
    AECreateList(nullptr, 0, true, &properties);
    AEPutParamPtr(&properties, pLoginItemPath, typeUTF8Text, path, Size(strlen(path)));
    AEPutParamDesc(&event, keyAEPropData, &properties.get());
  } else {
    AEDesc key = nullDescriptor, null = nullDescriptor;
    ScopedAEDesc spec;
    AECreateDesc(typeSInt32, &index, 4, &key);
    CreateObjSpecifier(kLoginItemClass, &null, formAbsolutePosition, &key, true, &spec);
    AEPutParamDesc(&event, keyDirectObject, &spec.get());
  }
  OSStatus err = AESendMessage(&event.get(), &reply, kAEWaitReply, 300);
  SInt32 errn = 0;
  if (err == noErr &&
      AEGetParamPtr(&reply.get(), keyErrorNumber, typeSInt32, nullptr, &errn, 4, nullptr) == noErr)
    err = errn;
  return err;
}

TEST(Durability, KillsAtRandomMomentsLeaveAConsistentList) {
  TemporaryUserEnvironment environment;
  systemevents::LoginItemStore store(environment.autostartFolder());
  std::mt19937 random(12345);
  // Items are numbered as they are added; removals always take the first
  // item. So every consistent state is a contiguous run of numbers.
  int added = 0;
  for (int round = 0; round < 12; ++round) {
    ProcessSerialNumber psn;
    ASSERT_EQ(launchSystemEvents(&psn), noErr);
    auto pid = static_cast<pid_t>(psn.lowLongOfPSN);
    // The kill comes a random while after System Events has begun to work.
    std::atomic<bool> working{false};
    std::thread killer([&working, pid, delay = std::uniform_int_distribution<int>(1, 60)(random)] {
      for (int i = 0; i < 5000 && !working; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::this_thread::sleep_for(std::chrono::milliseconds(delay));
      kill(pid, SIGKILL);
    });
    for (int step = 0; step < 200; ++step) {
      OSStatus err;
      if (step % 3 == 2) {
        err = send(psn, kAEDelete, nullptr, 1);
      } else {
        std::string path = "/item/" + std::to_string(added);
        err = send(psn, kAECreateElement, path.c_str(), 0);
        if (err == noErr) ++added;
      }
      if (err != noErr && err != errAENoSuchObject) break;  // killed
      working = true;
    }
    killer.join();
    while (ae_runtime::processIsRunning(pid))
      std::this_thread::sleep_for(std::chrono::milliseconds(2));

    auto items = store.list();  // skips and reports unreadable entries
    int desktopFiles = 0;
    std::error_code noFolder;  // none before the first add
    for (const auto& entry :
         std::filesystem::directory_iterator(environment.autostartFolder(), noFolder))
      desktopFiles += entry.path().extension() == ".desktop";
    ASSERT_EQ(static_cast<int>(items.size()), desktopFiles) << "every entry parses";
    int previous = -1;
    for (const auto& item : items) {
      ASSERT_TRUE(item.path.has_value());
      ASSERT_TRUE(item.hidden.has_value());
      int number = std::stoi(item.path->substr(6));
      if (previous >= 0) {
        EXPECT_EQ(number, previous + 1) << "a gap or a reordering";
      }
      previous = number;
    }
    // An add that was killed after its write but before its reply counts too.
    if (!items.empty()) added = std::max(added, previous + 1);
  }
  EXPECT_GT(added, 12) << "the loop did work between the kills";
}

}  // namespace
