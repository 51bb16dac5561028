// LoginItemsAE: the three operations against a real System Events process,
// and their contract.
#include <glib.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "loginitems/LoginItemsAEInternal.h"
#include "platform/applevents/AESend.h"
#include "platform/applevents/ScopedAEDesc.h"
#include "systemevents/LoginItemStore.h"
#include "systemevents/SystemEventsControl.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

using Items = std::vector<std::pair<std::string, bool>>;  // path, hidden

// The records as plain values: path (with "/" at the end for a folder URL), hidden.
Items valuesOf(CFArrayRef items) {
  Items result;
  for (CFIndex i = 0; i < CFArrayGetCount(items); ++i) {
    auto dict = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(items, i));
    EXPECT_EQ(CFDictionaryGetCount(dict), 2);
    auto url = static_cast<CFURLRef>(CFDictionaryGetValue(dict, kLIAEURL));
    auto hidden = static_cast<CFBooleanRef>(CFDictionaryGetValue(dict, kLIAEHidden));
    result.emplace_back(url->path() + (url->isDirectory() ? "/" : ""),
                        CFBooleanGetValue(hidden) != 0);
  }
  return result;
}

class LoginItemsAETest : public ::testing::Test {
 protected:
  // The login items as plain values; fails the test when the call fails.
  Items copyItems() {
    CFArrayRef items = nullptr;
    EXPECT_EQ(LIAECopyLoginItems(&items), noErr);
    if (items == nullptr) return {};
    Items result = valuesOf(items);
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

  TemporaryUserEnvironment environment_;
};

TEST_F(LoginItemsAETest, AddListAndRemoveByIndexWithOneEventEach) {
  std::string a = makeFile("a item"), b = makeFile("b\nit\xC3\xA9m"), c = makeFile("c 'item'");
  UInt64 before = AEGetEventsSentCount();
  EXPECT_EQ(addPath(environment_.root() + "/does not exist", false), fnfErr);
  EXPECT_EQ(AEGetEventsSentCount(), before) << "a missing file sends nothing";
  ProcessSerialNumber psn;
  EXPECT_NE(SystemEventsFindRunning(&psn), noErr) << "nor starts System Events";
  ASSERT_EQ(addPath(a, false), noErr);
  ASSERT_EQ(addPath(b, true), noErr);
  ASSERT_EQ(addPath(c, false), noErr);
  ASSERT_EQ(addPath(a, false), noErr);  // the same path twice is two items
  EXPECT_EQ(copyItems(), (Items{{a, false}, {b, true}, {c, false}, {a, false}}));
  EXPECT_EQ(LIAERemove(0), noErr) << "index 0 is System Events' item 1";
  EXPECT_EQ(LIAERemove(2), noErr);
  EXPECT_EQ(LIAERemove(2), errAENoSuchObject);
  EXPECT_EQ(copyItems(), (Items{{b, true}, {c, false}}));
  EXPECT_EQ(AEGetEventsSentCount() - before, 9u) << "7 changes and 2 listings";
}

TEST_F(LoginItemsAETest, AnIndexPastTheElementNumbersRemovesNothing) {
  std::string a = makeFile("a");
  ASSERT_EQ(addPath(a, false), noErr);
  const struct {
    CFIndex index;
    UInt64 events;
  } cases[] = {{2147483646, 1}, {2147483647, 0}, {4294967294, 0}, {4294967295, 0}};
  for (const auto& c : cases) {
    UInt64 before = AEGetEventsSentCount();
    EXPECT_EQ(LIAERemove(c.index), errAENoSuchObject) << c.index;
    EXPECT_EQ(AEGetEventsSentCount() - before, c.events) << c.index;
  }
  EXPECT_EQ(copyItems(), (Items{{a, false}}));
}

TEST_F(LoginItemsAETest, EntriesAreListedAsTheStoreHoldsThem) {
  systemevents::LoginItemStore store(environment_.autostartFolder());
  std::string longPath = "/" + std::string(1500, 'p'), error;
  ASSERT_TRUE(store.append(longPath, false, &error)) << error;
  std::ofstream(environment_.autostartFolder() + "/hushmoor-login-item-hand.desktop")
      << "[Desktop Entry]\nX-Hushmoor-Login-Item=true\nX-Hushmoor-Path=/y\n"
         "X-Hushmoor-Hidden=perhaps\nX-Hushmoor-Order=2\n";
  EXPECT_EQ(copyItems(), (Items{{longPath.substr(0, 1023), false}, {"/y", false}}))
      << "a path cut to 1023 bytes, an unreadable hidden flag false";
}

// Events the client never sends, sent by hand: System Events refuses element
// numbers below 1 and any place but the end, and names the item it made.
TEST_F(LoginItemsAETest, SystemEventsRefusesWhatItCannotDoAndNamesWhatItMade) {
  std::string a = makeFile("a");
  ASSERT_EQ(addPath(a, false), noErr);
  for (SInt32 number : {0, -1, 2}) {
    AEDesc key = nullDescriptor, null = nullDescriptor, spec = nullDescriptor;
    AECreateDesc(typeSInt32, &number, 4, &key);
    CreateObjSpecifier(kLoginItemClass, &null, formAbsolutePosition, &key, true, &spec);
    EXPECT_EQ(SendEventToSystemEventsWithParameters(kAECoreSuite, kAEDelete, nullptr,
                                                    keyDirectObject, &spec, (AEKeyword)0),
              errAENoSuchObject)
        << number;
    AEDisposeDescQ(&spec);
  }
  for (DescType position : {FOUR_CHAR_CODE("bgng"), FOUR_CHAR_CODE("hidn"), kAEEnd}) {
    ScopedAEDesc logi, properties, record, location;
    AppleEvent reply = nullDescriptor;
    AECreateDesc(typeType, &kLoginItemClass, 4, &logi);
    AECreateList(nullptr, 0, true, &properties);
    AEPutParamPtr(&properties, pLoginItemPath, typeUTF8Text, a.data(), Size(a.size()));
    const bool badHidden = position == pLoginItemHidden;  // 2 is no hidden flag
    SInt32 two = 2;
    if (badHidden) AEPutParamPtr(&properties, pLoginItemHidden, typeSInt32, &two, 4);
    if (badHidden) position = kAEEnd;
    const OSStatus expected = badHidden            ? errAECoercionFail
                              : position == kAEEnd ? noErr
                                                   : errAEEventNotHandled;
    AECreateList(nullptr, 0, true, &record);
    AEPutParamPtr(&record, keyAEObject, typeNull, nullptr, 0);
    AEPutParamPtr(&record, keyAEPosition, typeEnumerated, &position, 4);
    AECoerceDesc(&record.get(), typeInsertionLoc, &location);
    OSStatus err = SendEventToSystemEventsWithParameters(
        kAECoreSuite, kAECreateElement, &reply, keyAEObjectClass, &logi.get(), keyAEPropData,
        &properties.get(), keyAEInsertHere, &location.get(), (AEKeyword)0);
    EXPECT_EQ(err, expected);
    ScopedAEDesc created;
    SInt32 number = 0;
    AEGetParamDesc(&reply, keyDirectObject, typeObjectSpecifier, &created);
    AEGetParamPtr(&created.get(), keyAEKeyData, typeSInt32, nullptr, &number, 4, nullptr);
    EXPECT_EQ(number, expected == noErr ? 2 : 0);
    AEDisposeDescQ(&reply);
  }
  EXPECT_EQ(copyItems(), (Items{{a, false}, {a, false}}));
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

// Each contract breaks before anything is sent.
TEST(LoginItemsAEDeathTest, BrokenContractsAbortWithTheConditionFunctionAndModule) {
  AppleEvent notNull = {typeSInt32, nullptr};
  EXPECT_DEATH(
      SendEventToSystemEventsWithParameters(kAECoreSuite, kAEGetData, &notNull, (AEKeyword)0),
      "\\(reply == NULL\\) \\|\\| \\(reply->descriptorType == typeNull\\).*"
      "SendEventToSystemEventsWithParameters.*LoginItemsAE.*line [0-9]+");
  auto filled = reinterpret_cast<CFArrayRef>(kCFBooleanTrue);  // any non-NULL slot
  EXPECT_DEATH(LIAECopyLoginItems(&filled), "\\*itemsPtr == NULL.*LIAECopyLoginItems");
  EXPECT_DEATH(LIAEAddURLAtEnd(nullptr, false), "item != NULL.*LIAEAddURLAtEnd");
  EXPECT_DEATH(LIAERemove(-1), "itemIndex >= 0.*LIAERemove");
}

}  // namespace
