// User defaults on disk: a corrupt file is kept aside, never overwritten, and
// without XDG_CONFIG_HOME the store lives under HOME. (The domains and sharing
// the store with another process, the hushmoor-sim scenarios show.)
#include <gtest/gtest.h>

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

}  // namespace
