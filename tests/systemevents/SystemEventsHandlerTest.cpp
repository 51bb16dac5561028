// System Events' answers, malformed requests included, without the transport.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "platform/applevents/ScopedAEDesc.h"
#include "systemevents/SystemEventsControl.h"
#include "systemevents/SystemEventsHandler.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

using systemevents::LoginItemStore;
using systemevents::SystemEventsHandler;

// The error number of the reply to an event (0 when it has none).
SInt32 answer(SystemEventsHandler& handler, const AppleEvent& event, AEDesc* replyOut = nullptr) {
  ScopedAEDesc reply;
  AECreateAppleEvent(kCoreEventClass, kAEAnswer, nullptr, 1, 0, &reply);
  handler.handle(event, &reply);
  SInt32 errn = 0;
  AEGetParamPtr(&reply.get(), keyErrorNumber, typeSInt32, nullptr, &errn, 4, nullptr);
  if (replyOut != nullptr) AEDuplicateDesc(&reply.get(), replyOut);
  return errn;
}

void event(AEEventClass c, AEEventID id, AppleEvent* out) {
  AECreateAppleEvent(c, id, nullptr, 1, 0, out);
}

// 'getd' of a property of every login item.
void getEvent(AppleEvent* out, DescType property = pProperties) {
  event(kAECoreSuite, kAEGetData, out);
  AEDesc all = nullDescriptor, null = nullDescriptor, items = nullDescriptor, prop = nullDescriptor;
  ScopedAEDesc spec;
  AECreateDesc(typeAbsoluteOrdinal, &kAEAll, 4, &all);
  CreateObjSpecifier(kLoginItemClass, &null, formAbsolutePosition, &all, true, &items);
  AECreateDesc(typeType, &property, 4, &prop);
  CreateObjSpecifier(cProperty, &items, formPropertyID, &prop, true, &spec);
  AEPutParamDesc(out, keyDirectObject, &spec.get());
}

// 'delo' of the login item at an index.
void deleteEvent(AppleEvent* out, SInt32 index) {
  event(kAECoreSuite, kAEDelete, out);
  AEDesc key = nullDescriptor, null = nullDescriptor;
  ScopedAEDesc spec;
  AECreateDesc(typeSInt32, &index, 4, &key);
  CreateObjSpecifier(kLoginItemClass, &null, formAbsolutePosition, &key, true, &spec);
  AEPutParamDesc(out, keyDirectObject, &spec.get());
}

void createEvent(AppleEvent* out, const char* path, bool withEnd = true,
                 DescType position = kAEEnd) {
  event(kAECoreSuite, kAECreateElement, out);
  AEPutParamPtr(out, keyAEObjectClass, typeType, &kLoginItemClass, 4);
  ScopedAEDesc properties, location;
  AECreateList(nullptr, 0, true, &properties);
  if (path != nullptr)
    AEPutParamPtr(&properties, pLoginItemPath, typeUTF8Text, path, Size(strlen(path)));
  AEPutParamDesc(out, keyAEPropData, &properties.get());
  if (withEnd) {
    AECreateList(nullptr, 0, true, &location);
    AEPutParamPtr(&location, keyAEObject, typeNull, nullptr, 0);
    AEPutParamPtr(&location, keyAEPosition, typeEnumerated, &position, 4);
    ScopedAEDesc insl;
    AECoerceDesc(&location.get(), typeInsertionLoc, &insl);
    AEPutParamDesc(out, keyAEInsertHere, &insl.get());
  }
}

class SystemEventsHandlerTest : public ::testing::Test {
 protected:
  TemporaryUserEnvironment environment_;
  LoginItemStore store_{environment_.autostartFolder()};
  SystemEventsHandler handler_{store_};
};

TEST_F(SystemEventsHandlerTest, MalformedOrUnknownEventsGetAnErrorNumber) {
  struct Case {
    const char* why;
    std::function<void(AppleEvent*)> build;
    SInt32 errn;
  } cases[] = {
      {"unknown event", [](AppleEvent* e) { event(FOUR_CHAR_CODE("zzzz"), kAEGetData, e); },
       errAEEventNotHandled},
      {"getd without object", [](AppleEvent* e) { event(kAECoreSuite, kAEGetData, e); },
       errAEDescNotFound},
      {"getd of another property", [](AppleEvent* e) { getEvent(e, FOUR_CHAR_CODE("name")); },
       errAEEventNotHandled},
      {"getd of a plain number",
       [](AppleEvent* e) {
         event(kAECoreSuite, kAEGetData, e);
         SInt32 n = 3;
         AEPutParamPtr(e, keyDirectObject, typeSInt32, &n, 4);
       },
       errAECoercionFail},
      {"crel without class", [](AppleEvent* e) { event(kAECoreSuite, kAECreateElement, e); },
       errAEDescNotFound},
      {"crel without path", [](AppleEvent* e) { createEvent(e, nullptr); }, errAEDescNotFound},
      {"crel with relative path", [](AppleEvent* e) { createEvent(e, "relative"); }, paramErr},
      {"crel at the beginning",
       [](AppleEvent* e) { createEvent(e, "/x", true, FOUR_CHAR_CODE("bgng")); },
       errAEEventNotHandled},
      {"delo without object", [](AppleEvent* e) { event(kAECoreSuite, kAEDelete, e); },
       errAEDescNotFound},
      {"delo index 0", [](AppleEvent* e) { deleteEvent(e, 0); }, errAENoSuchObject},
      {"delo past the end", [](AppleEvent* e) { deleteEvent(e, 2); }, errAENoSuchObject},
  };
  std::string error;
  ASSERT_TRUE(store_.append("/only", false, &error));
  for (const auto& c : cases) {
    ScopedAEDesc e;
    c.build(&e);
    EXPECT_EQ(answer(handler_, e.get()), c.errn) << c.why;
  }
  EXPECT_EQ(store_.list().size(), 1u) << "no failed event changed the list";
}

TEST_F(SystemEventsHandlerTest, CreateListAndDelete) {
  for (const char* path : {"/a", "/b", "/c"}) {
    ScopedAEDesc e;
    createEvent(&e, path);
    EXPECT_EQ(answer(handler_, e.get()), 0);
  }
  ScopedAEDesc noLocation, del, get, reply, list;
  createEvent(&noLocation, "/d", false);
  EXPECT_EQ(answer(handler_, noLocation.get()), 0) << "without a location the item goes at the end";
  deleteEvent(&del, -1);
  EXPECT_EQ(answer(handler_, del.get()), 0) << "-1 is the last item";

  getEvent(&get);
  ASSERT_EQ(answer(handler_, get.get(), &reply), 0);
  ASSERT_EQ(AEGetParamDesc(&reply.get(), keyDirectObject, typeAEList, &list), noErr);
  long count = 0;
  AECountItems(&list.get(), &count);
  ASSERT_EQ(count, 3);
  for (long i = 1; i <= count; ++i) {
    ScopedAEDesc record;
    AEGetNthDesc(&list.get(), i, typeAERecord, nullptr, &record);
    char path[8] = {};
    AEGetParamPtr(&record.get(), pLoginItemPath, typeUTF8Text, nullptr, path, 7, nullptr);
    EXPECT_EQ(path, std::string(1, '/') + char('a' + i - 1));
    Boolean hidden = 9;  // the record carries 'hidn' even when it is false
    EXPECT_EQ(
        AEGetParamPtr(&record.get(), pLoginItemHidden, typeBoolean, nullptr, &hidden, 1, nullptr),
        noErr);
    EXPECT_EQ(hidden, 0);
  }
}

// The failure control itself is exercised against the real process, in the
// LoginItemsAE tests; the quit event is what ends a test's System Events.
TEST_F(SystemEventsHandlerTest, QuitIsAnsweredAndRequested) {
  ScopedAEDesc quit;
  event(kCoreEventClass, kAEQuitApplication, &quit);
  EXPECT_FALSE(handler_.quitRequested());
  EXPECT_EQ(answer(handler_, quit.get()), 0);
  EXPECT_TRUE(handler_.quitRequested());
}

}  // namespace
