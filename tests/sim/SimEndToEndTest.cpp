// hushmoor-sim as a user runs it: whole scripts in, whole outputs compared.
#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "tests/platform/TempHome.h"

namespace {

struct SimRun {
  std::string out;
  std::string err;
  int status = -1;
};

// Runs hushmoor-sim with `arguments`, in an environment whose TMPDIR is `tmp`.
SimRun runSim(const std::vector<std::string>& arguments, const std::string& tmp,
           const std::string& shellStdin = "") {
  std::vector<std::string> command{HUSHMOOR_SIM};
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<gchar*> argv;
  std::string shell;
  if (!shellStdin.empty()) {
    gchar* quoted = g_shell_quote(HUSHMOOR_SIM);
    gchar* quotedInput = g_shell_quote(shellStdin.c_str());
    shell = std::string(quoted) + " < " + quotedInput;
    g_free(quoted);
    g_free(quotedInput);
    argv = {const_cast<gchar*>("/bin/sh"), const_cast<gchar*>("-c"), shell.data()};
  } else {
    for (auto& a : command) argv.push_back(a.data());
  }
  argv.push_back(nullptr);
  gchar** env = g_get_environ();
  env = g_environ_setenv(env, "TMPDIR", tmp.c_str(), TRUE);
  gchar* out = nullptr;
  gchar* err = nullptr;
  gint waitStatus = 0;
  SimRun run;
  if (g_spawn_sync(nullptr, argv.data(), env, G_SPAWN_DEFAULT, nullptr, nullptr, &out, &err,
                   &waitStatus, nullptr)) {
    run.out = out;
    run.err = err;
    run.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
  }
  g_free(out);
  g_free(err);
  g_strfreev(env);
  return run;
}

std::string withoutLineNumbers(const std::string& text) {
  static const std::regex located(R"(\((\w+):\d+\))");
  return std::regex_replace(text, located, "($1:N)");
}

const char* const kWelcomeLine =
    "panel: Welcome! | Hushmoor will run efficiently and quietly in the background, making sure "
    "that your computer goes to sleep when you tell it to. It will also automatically add itself "
    "to the list of login items so that you don't have to do anything else!\\n\\nEnjoy,\\nYour "
    "friends at Kestrova | OK\n";

// Every launch registers the application; in a fresh home this is the first.
const char* const kAddedLine = "log: INFO: added self to login items\n";

struct ScriptCase {
  const char* name;
  const char* script;
  std::string expected;
};

const ScriptCase kScripts[] = {
    {"TwoNights",
     "launch\nsleep\nwake\n# a comment\n\n   \ndefaults write SleepDelay 1\nsleep # trailing\nwake\n",
     std::string(kWelcomeLine) + kAddedLine +
         "radio: off\nwait: 5\nack: 0xE0000280\nradio: on\n"
         "radio: off\nwait: 1\nack: 0xE0000280\nradio: on\nterminated\n"},
    {"EveryNotificationCode",
     "launch -RanBefore YES\ncan-sleep\nnotify 0xe0000320\nnotify 0xE0000290\nnotify 0xE0000280\n"
     "notify 0xE0000300\nquit\n",
     std::string(kAddedLine) +
         "ack: 0xE0000270\nradio: off\nwait: 5\nack: 0xE0000280\nradio: on\nterminated\n"},
    {"FailuresAndAbsence",
     "launch -RanBefore YES\nwifi fail-off\nsleep\nwifi ok\nwifi fail-on\nwake\nwifi ok\n"
     "wifi absent\ncan-sleep\nquit\n",
     std::string(kAddedLine) +
     "log: WARN (MySleepCallBack:N): error trying to turn airport off: Error "
     "Domain=NSPOSIXErrorDomain Code=5 \"Input/output error\"\nack: 0xE0000280\n"
     "log: WARN (MySleepCallBack:N): error trying to turn airport on: Error "
     "Domain=NSPOSIXErrorDomain Code=5 \"Input/output error\"\n"
     "log: WARN (MySleepCallBack:N): couldn't get interface to 'en1'\nack: 0xE0000270\n"
     "terminated\n"},
    {"CannotRunThenRunsAfresh",
     "wifi absent\nlaunch\nlaunch\nwifi off\npower-registration fail\nlaunch\n"
     "power-registration ok\nsleep\nlaunch\nwifi on\nwake\nsleep\nquit\nquit\nwake\n",
     std::string(kWelcomeLine) + kAddedLine +
         "panel: Error | Couldn't access airport! Hushmoor cannot run. | OK\nterminated\n"
         "panel: Error | Couldn't access airport! Hushmoor cannot run. | OK\nterminated\n"
         "panel: Error | Failed to register for sleep notifications. Hushmoor cannot run. | OK\n"
         "terminated\n"
         "radio: off\nwait: 5\nack: 0xE0000280\nterminated\n"},
    {"DefaultsDeleteBringsBackFive",
     "defaults write SleepDelay 9\ndefaults write RanBefore YES\nlaunch\nsleep\n"
     "defaults delete SleepDelay\nwake\nsleep\n",
     std::string(kAddedLine) +
         "radio: off\nwait: 9\nack: 0xE0000280\nradio: on\nradio: off\nwait: 5\nack: 0xE0000280\n"
         "terminated\n"},
    {"NothingLaunched", "sleep\nwake\nquit\nwifi off\n", ""},
};

class SimScriptTest : public ::testing::TestWithParam<ScriptCase> {
 protected:
  TempHome scratch;
};

TEST_P(SimScriptTest, WholeOutput) {
  const std::string script = scratch.path() + "/my script.sim";
  writeFile(script, GetParam().script);
  const SimRun run = runSim({"--home", scratch.path() + "/home", script}, scratch.path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(withoutLineNumbers(run.out), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, SimScriptTest, ::testing::ValuesIn(kScripts),
                         [](const auto& info) { return std::string(info.param.name); });

// Self-registration against the real System Events of the run's home. "~"
// in the expected output stands for the home; the bundle's folder has a space.
// Not a first run: no welcome panel in between.
const char* const kBundle = "defaults write RanBefore YES\nbundle \"~/My Apps/Hushmoor.app\"\n";
const char* const kWrongPlace =
    "log: WARN (loginListContainsApp:N): Login Item ~/My Apps/Hushmoor.app found but located in "
    "wrong place!\n";

struct LoginScriptCase {
  const char* name;
  std::string script;
  std::string expected;
};

const LoginScriptCase kLoginScripts[] = {
    {"BundleAlreadyListed",
     "bundle '~/My Apps/Hushmoor.app'\nlogin-items add '~/My Apps/Hushmoor.app'\n"
     "launch -RanBefore YES\nquit\nlogin-items\n",
     "terminated\nlogin-item: 0 ~/My Apps/Hushmoor.app\nlogin-items: 1\n"},
    {"EmptyListThenASecondLaunchChangesNothing",
     std::string(kBundle) + "login-items\nlaunch -RanBefore YES\nquit\nlogin-items\n"
                            "launch\nquit\nlogin-items\n",
     "login-items: 0\nlog: INFO: added self to login items\nterminated\n"
     "login-item: 0 ~/My Apps/Hushmoor.app\nlogin-items: 1\n"
     "terminated\nlogin-item: 0 ~/My Apps/Hushmoor.app\nlogin-items: 1\n"},
    {"ACopyAtAnotherPath",
     std::string(kBundle) +
         "login-items add \"/Volumes/Old Disk/Hushmoor.app\" hidden\nlogin-items add /usr/bin/true\n"
         "login-items\nlaunch -RanBefore YES\nquit\nlogin-items\n",
     "login-item: 0 /Volumes/Old Disk/Hushmoor.app hidden\nlogin-item: 1 /usr/bin/true\n"
     "login-items: 2\n" +
         std::string(kWrongPlace) +
         "log: INFO: removing copycat: /Volumes/Old Disk/Hushmoor.app\n"
         "log: INFO: added self to login items\nterminated\n"
         "login-item: 0 /usr/bin/true\nlogin-item: 1 ~/My Apps/Hushmoor.app\nlogin-items: 2\n"},
    {"LongerNamesAndFoldersThatMerelyContainTheName",
     std::string(kBundle) +
         "login-items add ~/My\\ Apps/Hushmoor.app.old\n"
         "login-items add '~/Hushmoor.app backups/notes.txt'\n"
         "login-items add '~/My Apps/Hushmoor.app'\nlaunch -RanBefore YES\nquit\nlogin-items\n",
     std::string(kWrongPlace) + kWrongPlace +
         "log: INFO: removing copycat: ~/My Apps/Hushmoor.app.old\n"
         "log: INFO: removing copycat: ~/Hushmoor.app backups/notes.txt\n"
         "terminated\nlogin-item: 0 ~/My Apps/Hushmoor.app\nlogin-items: 1\n"},
    {"TwoItemsWithTheBundlesOwnPathBothStay",
     std::string(kBundle) +
         "login-items add '~/My Apps/Hushmoor.app'\nlogin-items add '~/My Apps/Hushmoor.app' hidden\n"
         "launch -RanBefore YES\nquit\nlogin-items\n",
     "terminated\nlogin-item: 0 ~/My Apps/Hushmoor.app\n"
     "login-item: 1 ~/My Apps/Hushmoor.app hidden\nlogin-items: 2\n"},
    {"TwoCopycatsWithTheSamePath",
     std::string(kBundle) +
         "login-items add /opt/Hushmoor.app hidden\nlogin-items add /usr/bin/true\n"
         "login-items add /opt/Hushmoor.app\nlaunch -RanBefore YES\nquit\nlogin-items\n",
     std::string(kWrongPlace) + kWrongPlace +
         "log: INFO: removing copycat: /opt/Hushmoor.app\n"
         "log: INFO: removing copycat: /opt/Hushmoor.app\n"
         "log: INFO: added self to login items\nterminated\n"
         "login-item: 0 /usr/bin/true\nlogin-item: 1 ~/My Apps/Hushmoor.app\nlogin-items: 2\n"},
    {"SystemEventsFailing",
     std::string(kBundle) +
         "login-items add /opt/Hushmoor.app\nsystem-events fail\nlaunch -RanBefore YES\nquit\n"
         "system-events stop\nlaunch\nquit\nsystem-events ok\nlogin-items\n",
     "log: ERROR (loginListContainsApp:N): LIAECopyLoginItems returned: -1743\nterminated\n"
     "log: ERROR (loginListContainsApp:N): LIAECopyLoginItems returned: -1743\nterminated\n"
     "login-item: 0 /opt/Hushmoor.app\nlogin-items: 1\n"},
    {"ANameDifferingOnlyInCaseIsLeftAlone",
     std::string(kBundle) +
         "login-items add /opt/hushmoor.app\nlaunch -RanBefore YES\nquit\nlogin-items\n",
     "log: INFO: added self to login items\nterminated\n"
     "login-item: 0 /opt/hushmoor.app\nlogin-item: 1 ~/My Apps/Hushmoor.app\nlogin-items: 2\n"},
    {"AMovedBundleReplacesItsOldItem",
     "defaults write RanBefore YES\nlaunch\nquit\n" + std::string(kBundle) +
         "system-events stop\nlaunch\nlogin-items\nlogin-items remove 0\nlogin-items\n",
     "log: INFO: added self to login items\nterminated\n"
     "log: WARN (loginListContainsApp:N): Login Item ~/My Apps/Hushmoor.app found but located in "
     "wrong place!\n"
     "log: INFO: removing copycat: ~/Applications/Hushmoor.app\n"
     "log: INFO: added self to login items\n"
     "login-item: 0 ~/My Apps/Hushmoor.app\nlogin-items: 1\nlogin-items: 0\nterminated\n"},
};

class SimLoginItemsTest : public ::testing::TestWithParam<LoginScriptCase> {
 protected:
  TempHome scratch;
};

TEST_P(SimLoginItemsTest, WholeOutput) {
  const std::string script = scratch.path() + "/my script.sim";
  writeFile(script, GetParam().script);
  const std::string home = scratch.path() + "/home";
  const SimRun run = runSim({"--home", home, script}, scratch.path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::string out = withoutLineNumbers(run.out);
  const std::string canonical = std::filesystem::canonical(home).string();
  for (size_t at; (at = out.find(canonical)) != std::string::npos;) out.replace(at, canonical.size(), "~");
  EXPECT_EQ(out, GetParam().expected);
  // The run stopped the System Events it used: no event socket is left.
  for (const auto& entry : std::filesystem::directory_iterator(home + "/.run/hushmoor-events"))
    EXPECT_NE(entry.path().extension(), ".sock") << entry.path();
}

INSTANTIATE_TEST_SUITE_P(Table, SimLoginItemsTest, ::testing::ValuesIn(kLoginScripts),
                         [](const auto& info) { return std::string(info.param.name); });

struct BadScript {
  const char* script;
  const char* expectedError;
};

TEST(SimErrorsTest, UnknownCommandsAndMalformedLinesStopBeforeAnythingRuns) {
  const BadScript cases[] = {
      {"launch\nfly away\n", "line 2: unknown command 'fly'"},
      {"wifi\n", "line 1: malformed 'wifi'"},
      {"wifi sideways\n", "line 1: malformed 'wifi'"},
      {"\n\nwifi on off\n", "line 3: malformed 'wifi'"},
      {"power-registration maybe\n", "line 1: malformed 'power-registration'"},
      {"defaults write SleepDelay soon\n", "line 1: malformed 'defaults'"},
      {"defaults write SleepDelay\n", "line 1: malformed 'defaults'"},
      {"defaults delete\n", "line 1: malformed 'defaults'"},
      {"sleep now\n", "line 1: malformed 'sleep'"},
      {"notify E0000280\n", "line 1: 'notify' takes a 32-bit code"},
      {"notify 0x1E0000280\n", "line 1: 'notify' takes a 32-bit code"},
      {"notify 0xZZ\n", "line 1: 'notify' takes a 32-bit code"},
      {"notify\n", "line 1: malformed 'notify'"},
      {"quit now\n", "line 1: malformed 'quit'"},
      {"Launch\n", "line 1: unknown command 'Launch'"},
      {"bundle\n", "line 1: malformed 'bundle'"},
      {"bundle My Apps/Hushmoor.app\n", "line 1: malformed 'bundle'"},
      {"bundle Apps/Hushmoor.app\n", "line 1: 'bundle': PATH must be absolute or start with ~/"},
      {"bundle ~\n", "line 1: 'bundle': PATH must be absolute"},
      {"launch\nbundle \"/a b\n", "line 2: cannot split the line into words"},
      {"login-items add\n", "line 1: malformed 'login-items'"},
      {"login-items add /a shown\n", "line 1: malformed 'login-items'"},
      {"login-items add a.app\n", "line 1: 'login-items add': PATH must be absolute"},
      {"login-items remove\n", "line 1: malformed 'login-items'"},
      {"login-items remove -1\n", "line 1: malformed 'login-items'"},
      {"login-items remove 1x\n", "line 1: malformed 'login-items'"},
      {"login-items list\n", "line 1: malformed 'login-items'"},
      {"system-events\n", "line 1: malformed 'system-events'"},
      {"system-events start\n", "line 1: malformed 'system-events'"},
  };
  TempHome scratch;
  for (const BadScript& c : cases) {
    SCOPED_TRACE(c.script);
    const std::string script = scratch.path() + "/bad.sim";
    writeFile(script, c.script);
    const SimRun run = runSim({script}, scratch.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "") << "nothing runs";
    EXPECT_NE(run.err.find(c.expectedError), std::string::npos) << run.err;
  }
}

TEST(SimErrorsTest, ALaunchWhileRunningQuitsTheApplicationAndFails) {
  TempHome scratch;
  const std::string script = scratch.path() + "/s.sim";
  writeFile(script, "launch -RanBefore YES\nlaunch\nsleep\n");
  const SimRun run = runSim({script}, scratch.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, std::string(kAddedLine) + "terminated\n");
  EXPECT_NE(run.err.find("line 2: 'launch' while the application is running"), std::string::npos)
      << run.err;
}

TEST(SimErrorsTest, ARefusedOrImpossibleLoginItemsCommandStopsTheScriptAtItsLine) {
  TempHome scratch;
  const BadScript cases[] = {
      {"login-items\nsystem-events fail\nlogin-items\nlaunch\n",
       "line 3: cannot read the login items: status -1743"},
      {"login-items remove 0\n", "line 1: cannot remove login item 0: status"},
      {"system-events fail\nlogin-items add /opt/x\n", "line 2: cannot add a login item: status -1743"},
  };
  for (const BadScript& c : cases) {
    SCOPED_TRACE(c.script);
    const std::string script = scratch.path() + "/bad.sim";
    writeFile(script, c.script);
    const SimRun run = runSim({"--home", scratch.path() + "/home", script}, scratch.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.find("terminated"), std::string::npos) << "nothing after the mistake runs";
    EXPECT_NE(run.err.find(c.expectedError), std::string::npos) << run.err;
  }
}

TEST(SimInvocationTest, UsageMistakesAndMissingScripts) {
  TempHome scratch;
  EXPECT_EQ(runSim({"--home"}, scratch.path()).status, 2);
  EXPECT_EQ(runSim({"--bogus"}, scratch.path()).status, 2);
  EXPECT_EQ(runSim({"a.sim", "b.sim"}, scratch.path()).status, 2);
  const SimRun missing = runSim({scratch.path() + "/none.sim"}, scratch.path());
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}

TEST(SimInvocationTest, EchoWritesEachCommandBeforeWhatItCausesAndHelpListsThem) {
  TempHome scratch;
  const std::string script = scratch.path() + "/s.sim";
  writeFile(script, "bundle \"~/My Apps/H.app\"\nlaunch  -RanBefore YES # c\nsleep\nquit\n");
  const SimRun run = runSim({"--echo", script}, scratch.path());
  EXPECT_EQ(run.out, std::string("> bundle '~/My Apps/H.app'\n> launch -RanBefore YES\n") +
                         kAddedLine + "> sleep\nradio: off\nwait: 5\nack: 0xE0000280\n" +
                         "> quit\nterminated\n");
  const std::string help = runSim({"--help"}, scratch.path()).out;
  for (const char* listed : {"--echo", "login-items remove INDEX", "ack: 0xCODE", "terminated"})
    EXPECT_NE(help.find(listed), std::string::npos) << listed;
}

TEST(SimHomeTest, AGivenHomeIsKeptAndATemporaryOneRemoved) {
  TempHome scratch;
  const std::string script = scratch.path() + "/s.sim";
  writeFile(script, "launch\nquit\n");

  const std::string home = scratch.path() + "/kept home";
  ASSERT_EQ(runSim({"--home", home, script}, scratch.path()).status, 0);
  const std::string stored = readFile(home + "/.config/com.kestrova.Hushmoor.defaults");
  EXPECT_NE(stored.find("RanBefore=true"), std::string::npos) << stored;
  // The next run in the same home is a later launch: no welcome.
  EXPECT_EQ(runSim({"--home", home, script}, scratch.path()).out, "terminated\n");

  const std::string tmp = scratch.path() + "/tmp";
  std::filesystem::create_directories(tmp);
  const SimRun fresh = runSim({}, tmp, script);  // the script on standard input
  EXPECT_EQ(fresh.status, 0) << fresh.err;
  EXPECT_EQ(fresh.out, std::string(kWelcomeLine) + kAddedLine + "terminated\n");
  EXPECT_TRUE(std::filesystem::is_empty(tmp)) << "the temporary home is removed";
}

TEST(SimHomeTest, AHomeTooDeepForEventSocketsGetsAShortRuntimeFolderThatIsRemoved) {
  TempHome scratch;
  const std::string tmp = scratch.path() + "/tmp";
  std::filesystem::create_directories(tmp);
  const std::string script = scratch.path() + "/s.sim";
  writeFile(script, "login-items add /opt/x\nlogin-items\n");
  const std::string home = scratch.path() + "/a home whose path is far too long for a socket address";
  const SimRun run = runSim({"--home", home, script}, tmp);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "login-item: 0 /opt/x\nlogin-items: 1\n");
  EXPECT_TRUE(std::filesystem::is_empty(tmp)) << "the short runtime folder is removed";
  EXPECT_TRUE(std::filesystem::exists(home + "/.config/autostart")) << "the items live in the home";
}

}  // namespace
