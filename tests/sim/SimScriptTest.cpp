// Parsing hushmoor-sim's command lines into commands.
#include <gtest/gtest.h>

#include <sstream>

#include "sim/SimScript.h"

namespace {

TEST(SimScriptParseTest, CommandsAndTheirArguments) {
  std::istringstream in(
      "# header\n"
      "launch -SleepDelay 3\n"
      "\tnotify 0x0\n"
      "defaults write RanBefore NO\n"
      "defaults delete SleepDelay   # gone\n"
      "can-sleep\n");
  const std::vector<SimCommand> script = parseSimScript(in);
  ASSERT_EQ(script.size(), 5u);
  EXPECT_EQ(script[0].kind, SimCommand::Kind::Launch);
  EXPECT_EQ(script[0].line, 2);
  EXPECT_EQ(script[0].arguments, (std::vector<std::string>{"-SleepDelay", "3"}));
  EXPECT_EQ(script[1].kind, SimCommand::Kind::Notify);
  EXPECT_EQ(script[1].messageType, 0u);
  EXPECT_EQ(script[2].arguments, (std::vector<std::string>{"RanBefore", "NO"}));
  EXPECT_EQ(script[3].kind, SimCommand::Kind::DefaultsDelete);
  EXPECT_EQ(script[3].arguments, (std::vector<std::string>{"SleepDelay"}));
  EXPECT_EQ(script[4].messageType, 0xE0000270u);
  EXPECT_EQ(script[4].line, 6);
}

TEST(SimScriptParseTest, WordsAreSplitAsAShellWouldSoPathsMayHoldSpaces) {
  std::istringstream in(
      "bundle \"/Volumes/My Disk/Hushmoor.app\"  # where it was copied\n"
      "login-items add '~/Old Apps/Hushmoor.app' hidden\r\n"
      "login-items add ~/a\\ b#c\n"
      "login-items remove 12\n"
      "login-items\n"
      "system-events stop\n");
  const std::vector<SimCommand> script = parseSimScript(in);
  ASSERT_EQ(script.size(), 6u);
  EXPECT_EQ(script[0].kind, SimCommand::Kind::Bundle);
  EXPECT_EQ(script[0].arguments, std::vector<std::string>{"/Volumes/My Disk/Hushmoor.app"});
  EXPECT_EQ(script[1].kind, SimCommand::Kind::LoginItemsAdd);
  EXPECT_EQ(script[1].arguments, std::vector<std::string>{"~/Old Apps/Hushmoor.app"});
  EXPECT_TRUE(script[1].hidden);
  EXPECT_EQ(script[2].arguments, std::vector<std::string>{"~/a b#c"}) << "# inside a word stays";
  EXPECT_FALSE(script[2].hidden);
  EXPECT_EQ(script[3].kind, SimCommand::Kind::LoginItemsRemove);
  EXPECT_EQ(script[3].index, 12);
  EXPECT_EQ(script[4].kind, SimCommand::Kind::LoginItemsList);
  EXPECT_EQ(script[5].kind, SimCommand::Kind::SystemEventsStop);
}

TEST(SimScriptParseTest, ErrorsNameTheirLine) {
  std::istringstream in("sleep\n\n# fine\nwifi maybe\n");
  try {
    parseSimScript(in);
    FAIL() << "no error";
  } catch (const SimScriptError& e) {
    EXPECT_EQ(e.line(), 4);
  }
}

}  // namespace
