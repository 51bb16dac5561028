// Exec lines of login items: quoting, and what they start.
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "systemevents/DesktopEntryExec.h"
#include "systemevents/LoginItemStore.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

using systemevents::execLineForPath;
using systemevents::quoteExecArgument;
using systemevents::tryExecForPath;

TEST(DesktopEntryExec, ArgumentsAreQuotedAndReservedCharactersEscaped) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"/with space", "\"/with space\""}, {"/a\"quote", "\"/a\\\"quote\""},
      {"/$HOME", "\"/\\$HOME\""},         {"/`tick`", "\"/\\`tick\\`\""},
      {"/back\\s", "\"/back\\\\s\""},     {"/%f", "\"/%%f\""},
  };
  for (const auto& c : cases) EXPECT_EQ(quoteExecArgument(c.in), c.out) << c.in;
}

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
  EXPECT_EQ(execLineForPath(bundle), quoteExecArgument(bundle + "/Contents/MacOS/My App"));
  EXPECT_EQ(execLineForPath(root + "/tool"), quoteExecArgument(root + "/tool"));
  for (const char* other : {"/notes.txt", "/Empty.app", "/gone"}) {
    EXPECT_EQ(execLineForPath(root + other), "xdg-open " + quoteExecArgument(root + other));
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

// Runs an Exec line the way a desktop does: the quoting undone, %% made %.
bool runExecLine(const std::string& exec) {
  gint argc = 0;
  gchar** argv = nullptr;
  if (!g_shell_parse_argv(exec.c_str(), &argc, &argv, nullptr)) return false;
  for (gint i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    for (auto at = arg.find("%%"); at != std::string::npos; at = arg.find("%%", at + 1))
      arg.erase(at, 1);
    g_free(argv[i]);
    argv[i] = g_strdup(arg.c_str());
  }
  gint status = -1;
  gboolean ran = g_spawn_sync(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                              nullptr, nullptr, &status, nullptr);
  g_strfreev(argv);
  return ran && status == 0;
}

TEST(DesktopEntryExec, ExecLinesStartTheRightProgramForAwkwardNames) {
  TemporaryUserEnvironment environment;
  const std::string root = environment.root(), marker = root + "/ran";
  const std::string names[] = {"with space", "new\nline", "tab\there", "trailing newline\n",
                               "q\"uote 'single' $HOME %f `date` back\\slash"};
  for (const auto& name : names) {
    // A bundle runs its executable; a plain executable runs itself.
    std::string bundle = root + "/" + name + ".app";
    ASSERT_EQ(g_mkdir_with_parents((bundle + "/Contents/MacOS").c_str(), 0700), 0);
    for (const std::string& program : {bundle + "/Contents/MacOS/" + name, root + "/" + name}) {
      writeFile(program, "#!/bin/sh\ntouch '" + marker + "'\n", 0755);
      std::string exec = execLineForPath(program == root + "/" + name ? program : bundle);
      for (unsigned char c : exec) EXPECT_GE(c, 0x20) << "no control characters in " << exec;
      EXPECT_TRUE(runExecLine(exec)) << exec;
      EXPECT_EQ(unlink(marker.c_str()), 0) << "did not run: " << exec;
      unlink(program.c_str());
    }
  }
}

}  // namespace
