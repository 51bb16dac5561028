// Exec lines of login items: quoting, and what they start.
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "systemevents/DesktopEntryExec.h"
#include "systemevents/LoginItemStore.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

using systemevents::execLineForPath;
using systemevents::tryExecForPath;

void writeFile(const std::string& path, const std::string& text, mode_t mode) {
  std::ofstream(path) << text;
  chmod(path.c_str(), mode);
}

TEST(DesktopEntryExec, ExecDependsOnWhatThePathIs) {
  TemporaryUserEnvironment environment;
  std::string root = environment.root(), bundle = root + "/My App.app";
  ASSERT_EQ(g_mkdir_with_parents((bundle + "/Contents/MacOS").c_str(), 0700), 0);
  ASSERT_EQ(g_mkdir((root + "/Empty.app").c_str(), 0700), 0);
  writeFile(bundle + "/Contents/MacOS/My App", "#!/bin/sh\n", 0755);
  writeFile(root + "/tool", "#!/bin/sh\n", 0755);
  writeFile(root + "/notes.txt", "x", 0644);
  EXPECT_EQ(execLineForPath(bundle), "\"" + bundle + "/Contents/MacOS/My App\"");
  EXPECT_EQ(execLineForPath(root + "/tool"), "\"" + root + "/tool\"");
  for (const char* other : {"/notes.txt", "/Empty.app", "/gone"}) {
    EXPECT_EQ(execLineForPath(root + other), "xdg-open \"" + root + other + "\"");
    EXPECT_EQ(tryExecForPath(root + other), "") << other;
  }
  EXPECT_EQ(tryExecForPath(bundle), bundle + "/Contents/MacOS/My App");
  EXPECT_EQ(tryExecForPath(root + "/tool"), root + "/tool");
  std::string error;  // and the store writes it: a launcher skips an entry whose program is gone
  systemevents::LoginItemStore store(environment.autostartFolder());
  ASSERT_TRUE(store.append(bundle, false, &error)) << error;
  EXPECT_NE(
      readFile(store.list().at(0).file).find("\nTryExec=" + bundle + "/Contents/MacOS/My App\n"),
      std::string::npos);
  writeFile(root + "/new\nline", "#!/bin/sh\n", 0755);
  EXPECT_EQ(tryExecForPath(root + "/new\nline"), "") << "a string value holds no newline";
}

bool ranWithin10s(const std::string& marker) {
  for (int i = 0; i < 1000 && ::access(marker.c_str(), F_OK) != 0; ++i) g_usleep(10000);
  return ::unlink(marker.c_str()) == 0;
}

bool run(const char* const argv[]) {
  gint status = -1;
  return g_spawn_sync(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                      nullptr, nullptr, nullptr, &status, nullptr) &&
         status == 0;
}

// The command of the one unit that systemd's user generator makes from the
// autostart folder, split as systemd would (the lines hold no escape at all).
std::vector<std::string> generatedCommand(const std::string& units) {
  const char* generate[] = {"/usr/lib/systemd/user-generators/systemd-xdg-autostart-generator",
                            units.c_str(), units.c_str(), units.c_str(), nullptr};
  std::vector<std::string> command;
  std::error_code ec;
  std::filesystem::remove_all(units, ec);
  std::filesystem::create_directory(units, ec);
  if (!run(generate)) return command;
  for (const auto& unit : std::filesystem::directory_iterator(units, ec)) {
    if (unit.path().extension() != ".service") continue;
    const std::string text = readFile(unit.path());
    const auto at = text.find("\nExecStart=:");
    gchar** argv = nullptr;
    if (at != std::string::npos &&
        g_shell_parse_argv(text.substr(at + 12, text.find('\n', at + 1) - at - 12).c_str(),
                           nullptr, &argv, nullptr))
      command.assign(argv, argv + g_strv_length(argv));
    g_strfreev(argv);
  }
  return command;
}

// Each entry as the two launchers of the desktops start it: gio (GLib's
// desktop entries) and systemd's user generator (GNOME and others on systemd).
TEST(DesktopEntryExec, GioAndTheSystemdGeneratorStartTheProgramForAwkwardNames) {
  TemporaryUserEnvironment environment;
  const std::string root = environment.root(), marker = root + "/ran";
  systemevents::LoginItemStore store(environment.autostartFolder());
  const std::string names[] = {"with space", "new\nline", "tab\there", "trailing newline\n",
                               "q\"uote 'single' $HOME `date`", "100%f", "back\\slash",
                               "caf\xC3\xA9"};
  for (const auto& name : names) {
    // A bundle runs its executable; a plain executable runs itself.
    const std::string bundle = root + "/" + name + ".app";
    ASSERT_EQ(g_mkdir_with_parents((bundle + "/Contents/MacOS").c_str(), 0700), 0);
    for (const std::string& program : {bundle + "/Contents/MacOS/" + name, root + "/" + name}) {
      writeFile(program, "#!/bin/sh\ntouch '" + marker + "'\n", 0755);
      std::string error;
      ASSERT_TRUE(store.append(program == root + "/" + name ? program : bundle, false, &error));
      const std::string entry = store.list().at(0).file, text = readFile(entry);
      const char* gio[] = {"gio", "launch", entry.c_str(), nullptr};
      EXPECT_TRUE(run(gio) && ranWithin10s(marker)) << "gio did not start it:\n" << text;
      std::vector<std::string> command = generatedCommand(root + "/units");
      std::vector<const char*> argv;
      for (const auto& word : command) argv.push_back(word.c_str());
      argv.push_back(nullptr);
      EXPECT_TRUE(!command.empty() && run(argv.data()) && ranWithin10s(marker))
          << "the generator's unit did not start it:\n" << text;
      ASSERT_TRUE(store.removeAt(0, &error));
    }
  }
}

}  // namespace
