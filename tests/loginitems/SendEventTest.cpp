// SendEventToSystemEventsWithParameters and the module's assertions.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "loginitems/LoginItemsAEInternal.h"
#include "platform/applevents/AERuntimeFolder.h"
#include "platform/applevents/LaunchServices.h"
#include "systemevents/SystemEventsControl.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

class SendEventTest : public ::testing::Test {
 protected:
  TemporaryUserEnvironment environment_;
};

TEST_F(SendEventTest, AReplyWithoutErrorNumberGoesToTheCaller) {
  AppleEvent reply = nullDescriptor;
  ASSERT_EQ(SendEventToSystemEventsWithParameters(kCoreEventClass, kAEQuitApplication, &reply,
                                                  (AEKeyword)0),
            noErr);
  EXPECT_EQ(reply.descriptorType, typeAppleEvent);
  AEDisposeDescQ(&reply);
  AEDisposeDescQ(&reply);  // twice is harmless
  EXPECT_EQ(reply.descriptorType, typeNull);
}

TEST_F(SendEventTest, ParametersStayTheCallers) {
  AEDesc number = nullDescriptor;
  SInt32 value = 7;
  AECreateDesc(typeSInt32, &value, 4, &number);
  EXPECT_EQ(SendEventToSystemEventsWithParameters(kAECoreSuite, kAEDelete, nullptr, keyDirectObject,
                                                  &number, (AEKeyword)0),
            errAECoercionFail);
  EXPECT_EQ(number.descriptorType, typeSInt32);
  AEDisposeDescQ(&number);
}

TEST_F(SendEventTest, WithoutSystemEventsInstalledTheLookUpStatusIsReturned) {
  LSSetApplicationSearchFoldersForTesting({environment_.root()});
  AppleEvent reply = nullDescriptor;
  EXPECT_EQ(SendEventToSystemEventsWithParameters(kAECoreSuite, kAEGetData, &reply, (AEKeyword)0),
            kLSApplicationNotFoundErr);
  EXPECT_EQ(reply.descriptorType, typeNull);
}

TEST_F(SendEventTest, ASystemEventsThatNeverAnswersGivesTheTimeOutStatus) {
  // This process publishes itself as 'sevs' but never accepts what arrives.
  auto folder = ae_runtime::folder();
  ASSERT_TRUE(folder);
  std::string path = *folder + "/" + ae_runtime::socketName(getpid(), kSystemEventsCreator);
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(fd, 4), 0);
  AppleEvent reply = nullDescriptor;
  EXPECT_EQ(SendEventToSystemEventsWithParameters(kAECoreSuite, kAEGetData, &reply, (AEKeyword)0),
            errAETimeout);
  EXPECT_EQ(reply.descriptorType, typeNull);
  close(fd);
  unlink(path.c_str());
}

using SendEventDeathTest = SendEventTest;

TEST_F(SendEventDeathTest, BrokenContractsAbortWithTheConditionFunctionAndModule) {
  // System Events runs before the forks, so no child starts one of its own.
  AppleEvent reply = nullDescriptor;
  ASSERT_EQ(SendEventToSystemEventsWithParameters(kAECoreSuite, kAEGetData, &reply, (AEKeyword)0),
            errAEDescNotFound);
  AppleEvent notNull = {typeSInt32, nullptr};
  EXPECT_DEATH(
      SendEventToSystemEventsWithParameters(kAECoreSuite, kAEGetData, &notNull, (AEKeyword)0),
      "\\(reply == NULL\\) \\|\\| \\(reply->descriptorType == typeNull\\).*"
      "SendEventToSystemEventsWithParameters.*LoginItemsAE.*line [0-9]+");
  EXPECT_DEATH(
      SendEventToSystemEventsWithParameters(kAECoreSuite, kAEGetData, nullptr, keyDirectObject,
                                            (const AEDesc*)nullptr, (AEKeyword)0),
      "thisDesc != NULL");
  auto filled = reinterpret_cast<CFArrayRef>(kCFBooleanTrue);  // any non-NULL slot
  EXPECT_DEATH(LIAECopyLoginItems(&filled), "\\*itemsPtr == NULL.*LIAECopyLoginItems");
  EXPECT_DEATH(LIAECopyLoginItems(nullptr), "itemsPtr != NULL");
  EXPECT_DEATH(LIAEAddURLAtEnd(nullptr, false), "item != NULL.*LIAEAddURLAtEnd");
  EXPECT_DEATH(LIAEAddRefAtEnd(nullptr, false), "item != NULL.*LIAEAddRefAtEnd");
  EXPECT_DEATH(LIAERemove(-1), "itemIndex >= 0.*LIAERemove");
}

}  // namespace
