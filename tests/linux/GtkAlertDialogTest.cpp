// GTK panels on a private Xvfb display, dismissed by a synthetic Return key
// from xdotool as a user would.
#include <glib.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/appkit/AlertPresenterGtk.h"
#include "platform/foundation/LogSinkCapture.h"
#include "platform/foundation/NSLog.h"
#include "platform/linux/GtkAlertDialog.h"
#include "platform/linux/GtkPanelModule.h"
#include "tests/linux/support/TestBus.h"

#ifndef HUSHMOOR_GTK_PANEL_MODULE
#error "HUSHMOOR_GTK_PANEL_MODULE must name the built panel module"
#endif

namespace {

bool onPath(const char* program) {
  g_autofree char* found = g_find_program_in_path(program);
  return found != nullptr;
}

// One Xvfb for the whole program: GTK opens its display once per process.
// Xvfb picks a free display and writes its number to a file.
class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!onPath("Xvfb")) {
      problem_ = "Xvfb is not installed (scripts/install-deps installs it)";
      return;
    }
    g_autofree char* dir = g_dir_make_tmp("hushmoor-xvfb-XXXXXX", nullptr);
    dir_ = dir != nullptr ? dir : "";
    const std::string file = dir_ + "/display";
    pid_ = spawnChild({"Xvfb", "-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"},
                      {}, &problem_, "/dev/null", file);
    std::string number;
    runUntil([&] {
      std::ifstream in(file);
      return std::getline(in, number) && !in.eof() && !number.empty();
    });
    if (pid_ < 0 || number.empty()) {
      problem_ = "Xvfb did not report its display " + problem_;
      return;
    }
    display_ = ":" + number;
    ::setenv("DISPLAY", display_.c_str(), 1);
    ::unsetenv("WAYLAND_DISPLAY");
  }
  void TearDown() override {
    stopChild(pid_);
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  static inline std::string problem_;
  static inline std::string display_;

 private:
  pid_t pid_ = -1;
  std::string dir_;
};

class GtkAlertDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbEnvironment::problem_.empty()) GTEST_SKIP() << XvfbEnvironment::problem_;
    ASSERT_TRUE(GtkAlertDialog::displayAvailable())
        << "GTK did not start on " << XvfbEnvironment::display_;
  }
};

std::vector<std::string> labelTexts(GtkWidget* container) {
  std::vector<std::string> texts;
  GList* children = gtk_container_get_children(GTK_CONTAINER(container));
  for (GList* item = children; item != nullptr; item = item->next)
    if (GTK_IS_LABEL(item->data)) texts.emplace_back(gtk_label_get_text(GTK_LABEL(item->data)));
  g_list_free(children);
  return texts;
}

TEST_F(GtkAlertDialogTest, ShowsTitleMessageAndButtonsAsTheyAre) {
  struct Case {
    const char* title;
    const char* message;
    std::vector<std::string> buttons;
  };
  const Case cases[] = {
      {"Welcome!", "Hushmoor will run...\n\nEnjoy,\nYour friends at Kestrova", {"OK"}},
      {"Error", "Couldn't access airport! Hushmoor cannot run.", {"OK"}},
      {"<b>100%</b> %s", "a_b & <i>c</i> %d", {"_Save"}},  // no markup, no format, no mnemonic
      {"Quit?", "Really?", {"Quit", "Cancel", "Later"}},   // each answers with its index
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    GtkWidget* dialog = GtkAlertDialog::build(c.title, c.message, c.buttons);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), c.title);
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
    const auto texts = labelTexts(gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog)));
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], c.title);
    EXPECT_EQ(texts[1], c.message);
    for (size_t i = 0; i < c.buttons.size(); ++i) {
      GtkWidget* button =
          gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), static_cast<int>(i));
      ASSERT_NE(button, nullptr) << i;
      EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(button)), c.buttons[i].c_str());
      EXPECT_FALSE(gtk_button_get_use_underline(GTK_BUTTON(button)));
    }
    GtkWidget* first = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), 0);
    GList* buttons = gtk_container_get_children(GTK_CONTAINER(gtk_widget_get_parent(first)));
    EXPECT_EQ(g_list_length(buttons), c.buttons.size()) << "exactly the buttons asked for";
    g_list_free(buttons);
    // Return presses the window's default widget: the first button.
    EXPECT_EQ(gtk_window_get_default_widget(GTK_WINDOW(dialog)), first);
    gtk_widget_destroy(dialog);
  }
}

// The module shows the panel with GtkAlertDialog::run; Return dismisses it.
TEST_F(GtkAlertDialogTest, PresenterShowsPanelsThroughTheLoadedModuleAndReturnDismissesThem) {
  if (!onPath("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  auto presenter = makeGtkAlertPresenter(HUSHMOOR_GTK_PANEL_MODULE);
  const AlertPanel panel{"Error", "Couldn't access airport! Hushmoor cannot run.", NSString("OK"),
                         NSString("Quit"), std::nullopt};
  // As a user would: waits for the window by its title, focuses it, presses Return.
  std::string error;
  pid_t presser = spawnChild({"xdotool", "search", "--sync", "--onlyvisible", "--name", "^Error$",
                              "windowfocus", "--sync", "key", "Return"},
                             {}, &error);
  ASSERT_GT(presser, 0) << error;
  // Should the key never arrive, every window is closed: a failure cannot hang the test.
  bool guardFired = false;
  const guint guard = g_timeout_add_seconds(
      20,
      [](gpointer fired) -> gboolean {
        *static_cast<bool*>(fired) = true;
        GList* windows = gtk_window_list_toplevels();
        for (GList* w = windows; w != nullptr; w = w->next) gtk_window_close(GTK_WINDOW(w->data));
        g_list_free(windows);
        return G_SOURCE_REMOVE;
      },
      &guardFired);
  EXPECT_EQ(presenter->runModal(panel), NSAlertDefaultReturn);
  if (!guardFired) g_source_remove(guard);
  int status = 0;
  ::waitpid(presser, &status, 0);
  EXPECT_FALSE(guardFired) << "the panel was not dismissed by the key";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "xdotool failed";
  // The panel is gone from the screen afterwards.
  GList* windows = gtk_window_list_toplevels();
  int visible = 0;
  for (GList* w = windows; w != nullptr; w = w->next)
    visible += gtk_widget_get_visible(GTK_WIDGET(w->data));
  g_list_free(windows);
  EXPECT_EQ(visible, 0);
}

TEST_F(GtkAlertDialogTest, PresenterWithoutItsModuleLogsThePanelOnce) {
  auto log = std::make_shared<CapturingLogSink>();
  NSSetLogSink(log);
  auto presenter = makeGtkAlertPresenter("/nonexistent/libhushmoor-gtk-panels.so");
  const AlertPanel panel{"Error", "Failed to register for sleep notifications.", std::nullopt,
                         std::nullopt, std::nullopt};
  EXPECT_EQ(presenter->runModal(panel), NSAlertDefaultReturn);
  EXPECT_EQ(presenter->runModal(panel), NSAlertDefaultReturn);
  NSSetLogSink(nullptr);
  size_t warnings = 0, panels = 0;
  for (const auto& line : log->messages()) {
    warnings += line.find("panels go to the log: cannot load /nonexistent/") != std::string::npos;
    panels += line.find("Failed to register for sleep notifications.") != std::string::npos;
  }
  EXPECT_EQ(warnings, 1u);
  EXPECT_EQ(panels, 2u);
}

TEST(GtkPanelModuleLoad, RefusesWhatIsNotThePanelModule) {
  struct Case {
    const char* path;
    const char* problem;
  };
  const Case cases[] = {{"/nonexistent/module.so", "cannot load /nonexistent/module.so"},
                        {"libm.so.6", "entry points missing"},
                        {"", "not inside an application bundle"}};
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(GtkPanelModule::load(c.path, &error), nullptr) << c.path;
    EXPECT_NE(error.find(c.problem), std::string::npos) << error;
  }
  EXPECT_NE(GtkPanelModule::load(HUSHMOOR_GTK_PANEL_MODULE), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);
  return RUN_ALL_TESTS();
}
