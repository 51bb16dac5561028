// System Events' answers, malformed requests included, without the transport.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "platform/applevents/ScopedAEDesc.h"
#include "systemevents/SystemEventsControl.h"
#include "systemevents/SystemEventsHandler.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

using systemevents::LoginItemStore;
using systemevents::SystemEventsHandler;

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

// 'delo' of the login item with an element number.
void deleteEvent(AppleEvent* out, SInt32 number) {
  event(kAECoreSuite, kAEDelete, out);
  AEDesc key = nullDescriptor, null = nullDescriptor;
  ScopedAEDesc spec;
  AECreateDesc(typeSInt32, &number, 4, &key);
  CreateObjSpecifier(kLoginItemClass, &null, formAbsolutePosition, &key, true, &spec);
  AEPutParamDesc(out, keyDirectObject, &spec.get());
}

void createEvent(AppleEvent* out, const char* path, DescType position = kAEEnd) {
  event(kAECoreSuite, kAECreateElement, out);
  AEPutParamPtr(out, keyAEObjectClass, typeType, &kLoginItemClass, 4);
  ScopedAEDesc properties, location, insl;
  AECreateList(nullptr, 0, true, &properties);
  if (path != nullptr)
    AEPutParamPtr(&properties, pLoginItemPath, typeUTF8Text, path, Size(strlen(path)));
  AEPutParamDesc(out, keyAEPropData, &properties.get());
  AECreateList(nullptr, 0, true, &location);
  AEPutParamPtr(&location, keyAEObject, typeNull, nullptr, 0);
  AEPutParamPtr(&location, keyAEPosition, typeEnumerated, &position, 4);
  AECoerceDesc(&location.get(), typeInsertionLoc, &insl);
  AEPutParamDesc(out, keyAEInsertHere, &insl.get());
}

class SystemEventsHandlerTest : public ::testing::Test {
 protected:
  // The error number of the answer (0 when it has none); the answer in *reply.
  SInt32 answer(const std::function<void(AppleEvent*)>& build, AEDesc* reply = nullptr) {
    ScopedAEDesc request, own;
    build(&request);
    AEDesc* answer = reply != nullptr ? reply : &own;
    AECreateAppleEvent(kCoreEventClass, kAEAnswer, nullptr, 1, 0, answer);
    handler_.handle(request.get(), answer);
    SInt32 errn = 0;
    AEGetParamPtr(answer, keyErrorNumber, typeSInt32, nullptr, &errn, 4, nullptr);
    return errn;
  }
  // The paths and hidden flags that 'getd' answers, "!" marking a hidden one.
  std::string listed() {
    ScopedAEDesc reply, list;
    EXPECT_EQ(answer([](AppleEvent* e) { getEvent(e); }, &reply), 0);
    AEGetParamDesc(&reply.get(), keyDirectObject, typeAEList, &list);
    long count = 0;
    AECountItems(&list.get(), &count);
    std::string result;
    for (long i = 1; i <= count; ++i) {
      ScopedAEDesc record;
      AEGetNthDesc(&list.get(), i, typeAERecord, nullptr, &record);
      char path[64] = {};
      AEGetParamPtr(&record.get(), pLoginItemPath, typeUTF8Text, nullptr, path, 63, nullptr);
      Boolean hidden = 9;  // the record carries 'hidn' even when it is false
      AEGetParamPtr(&record.get(), pLoginItemHidden, typeBoolean, nullptr, &hidden, 1, nullptr);
      result += std::string(path) + (hidden == 1 ? "! " : hidden == 0 ? " " : "? ");
    }
    return result;
  }

  TemporaryUserEnvironment environment_;
  LoginItemStore store_{environment_.autostartFolder()};
  SystemEventsHandler handler_{store_};
};

TEST_F(SystemEventsHandlerTest, MalformedOrUnknownEventsGetAnErrorNumberAndChangeNothing) {
  std::string error;
  ASSERT_TRUE(store_.append("/only", false, &error));
  const struct {
    const char* why;
    std::function<void(AppleEvent*)> build;
    SInt32 errn;
  } cases[] = {
      {"unknown event", [](AppleEvent* e) { event(FOUR_CHAR_CODE("zzzz"), kAEGetData, e); },
       errAEEventNotHandled},
      {"getd of another property", [](AppleEvent* e) { getEvent(e, FOUR_CHAR_CODE("name")); },
       errAEEventNotHandled},
      {"crel without path", [](AppleEvent* e) { createEvent(e, nullptr); }, errAEDescNotFound},
      {"crel with relative path", [](AppleEvent* e) { createEvent(e, "relative"); }, paramErr},
      {"crel at the beginning", [](AppleEvent* e) { createEvent(e, "/x", FOUR_CHAR_CODE("bgng")); },
       errAEEventNotHandled},
      {"delo without object", [](AppleEvent* e) { event(kAECoreSuite, kAEDelete, e); },
       errAEDescNotFound},
      {"delo 0", [](AppleEvent* e) { deleteEvent(e, 0); }, errAENoSuchObject},
      {"delo -1", [](AppleEvent* e) { deleteEvent(e, -1); }, errAENoSuchObject},
      {"delo past the end", [](AppleEvent* e) { deleteEvent(e, 2); }, errAENoSuchObject},
  };
  for (const auto& c : cases) EXPECT_EQ(answer(c.build), c.errn) << c.why;
  EXPECT_EQ(listed(), "/only ");
}

TEST_F(SystemEventsHandlerTest, ANewItemIsListedLastAtTheIndexItsAnswerGives) {
  std::string folder = environment_.autostartFolder();
  for (const char* path : {"/a", "/b"})
    EXPECT_EQ(answer([&](AppleEvent* e) { createEvent(e, path); }), 0);
  // An entry without order and one without path, as a hand or an older version left them.
  std::ofstream(folder + "/hushmoor-login-item-hand.desktop")
      << "[Desktop Entry]\nX-Hushmoor-Login-Item=true\nX-Hushmoor-Path=/hand\n"
         "X-Hushmoor-Hidden=true\n";
  std::ofstream(folder + "/hushmoor-login-item-nopath.desktop")
      << "[Desktop Entry]\nX-Hushmoor-Login-Item=true\nX-Hushmoor-Order=1\n";
  ScopedAEDesc reply;
  ASSERT_EQ(answer([](AppleEvent* e) { createEvent(e, "/new"); }, &reply), 0);
  EXPECT_EQ(listed(), "/a /b /hand! /new ");
  ScopedAEDesc created;
  SInt32 number = 0;
  ASSERT_EQ(AEGetParamDesc(&reply.get(), keyDirectObject, typeObjectSpecifier, &created), noErr);
  AEGetParamPtr(&created.get(), keyAEKeyData, typeSInt32, nullptr, &number, 4, nullptr);
  EXPECT_EQ(number, 4);
  EXPECT_EQ(answer([](AppleEvent* e) { deleteEvent(e, 4); }), 0);
  EXPECT_EQ(answer([](AppleEvent* e) { deleteEvent(e, 1); }), 0);
  EXPECT_EQ(listed(), "/b /hand! ");
}

}  // namespace
