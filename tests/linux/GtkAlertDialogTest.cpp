// GTK panels on the display that xvfb-run gives the program, dismissed by a
// synthetic Return key from xdotool as a user would.
#include <glib.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/wait.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/appkit/AlertPresenterGtk.h"
#include "platform/foundation/LogSinkCapture.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/PlatformServices.h"
#include "platform/linux/GtkAlertDialog.h"
#include "platform/linux/GtkPanelModule.h"

namespace {

class GtkAlertDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!GtkAlertDialog::displayAvailable())
      GTEST_SKIP() << "no display: ctest runs these under xvfb-run (scripts/install-deps)";
  }
};

TEST_F(GtkAlertDialogTest, ShowsTitleMessageAndButtonsAsTheyAre) {
  struct Case {
    const char* title;
    const char* message;
    std::vector<std::string> buttons;
  };
  const Case cases[] = {
      {"Error", "Couldn't access airport! Hushmoor cannot run.", {"OK"}},
      {"<b>100%</b> %s", "a_b & <i>c</i> %d", {"_Save"}},  // no markup, no format, no mnemonic
      {"Quit?", "Really?", {"Quit", "Cancel", "Later"}},   // each answers with its index
  };
  for (const Case& c : cases) {
    GtkWidget* dialog = GtkAlertDialog::build(c.title, c.message, c.buttons);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), c.title);
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
    std::vector<std::string> texts;
    GList* labels = gtk_container_get_children(
        GTK_CONTAINER(gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog))));
    for (GList* item = labels; item != nullptr; item = item->next)
      texts.emplace_back(gtk_label_get_text(GTK_LABEL(item->data)));
    g_list_free(labels);
    EXPECT_EQ(texts, (std::vector<std::string>{c.title, c.message}));
    for (size_t i = 0; i < c.buttons.size(); ++i) {
      GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), int(i));
      ASSERT_NE(button, nullptr) << i;
      EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(button)), c.buttons[i].c_str());
      EXPECT_FALSE(gtk_button_get_use_underline(GTK_BUTTON(button)));
    }
    // Return presses the window's default widget: the first button.
    EXPECT_EQ(gtk_window_get_default_widget(GTK_WINDOW(dialog)),
              gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), 0));
    gtk_widget_destroy(dialog);
  }
}

// The module shows the panel with GtkAlertDialog::run; Return dismisses it.
TEST_F(GtkAlertDialogTest, PresenterShowsPanelsThroughTheLoadedModuleAndReturnDismissesThem) {
  auto presenter = makeGtkAlertPresenter(HUSHMOOR_GTK_PANEL_MODULE);
  // As a user would: waits for the window by its title, focuses it, presses Return.
  const char* argv[] = {"xdotool",     "search", "--sync", "--onlyvisible", "--name", "^Error$",
                        "windowfocus", "--sync", "key",    "Return",        nullptr};
  GPid presser = 0;
  ASSERT_TRUE(g_spawn_async(nullptr, const_cast<char**>(argv), nullptr,
                            GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr,
                            nullptr, &presser, nullptr))
      << "xdotool is not installed";
  // Should the key never arrive, every window is closed: a failure cannot hang the test.
  static bool guardFired = false;
  const guint guard = g_timeout_add_seconds(
      20,
      [](gpointer) -> gboolean {
        guardFired = true;
        GList* windows = gtk_window_list_toplevels();
        for (GList* w = windows; w != nullptr; w = w->next) gtk_window_close(GTK_WINDOW(w->data));
        g_list_free(windows);
        return G_SOURCE_REMOVE;
      },
      nullptr);
  EXPECT_EQ(presenter->runModal({"Error", "Couldn't access airport!", NSString("OK"),
                                 NSString("Quit"), std::nullopt}),
            NSAlertDefaultReturn);
  if (!guardFired) g_source_remove(guard);
  int status = 0;
  ::waitpid(presser, &status, 0);
  EXPECT_FALSE(guardFired) << "the panel was not dismissed by the key";
  EXPECT_EQ(status, 0) << "xdotool failed";
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w != nullptr; w = w->next)
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(w->data))) << "the panel left the screen";
  g_list_free(windows);
}

TEST(GtkPanelModule, WithoutItsModuleThePresenterLogsEachPanelAndWarnsOnce) {
  auto log = std::make_shared<LogSinkCapture>();
  std::optional<ScopedPlatformServices> services(PlatformServices{.logSink = log});
  auto presenter = makeGtkAlertPresenter("/nonexistent/libhushmoor-gtk-panels.so");
  const AlertPanel panel{"Error", "Failed to register.", std::nullopt, std::nullopt, std::nullopt};
  EXPECT_EQ(presenter->runModal(panel), NSAlertDefaultReturn);
  EXPECT_EQ(presenter->runModal(panel), NSAlertDefaultReturn);
  services.reset();
  auto count = [&](const char* text) {
    size_t n = 0;
    for (const auto& line : log->messages()) n += line.find(text) != std::string::npos;
    return n;
  };
  EXPECT_EQ(count("panels go to the log: cannot load /nonexistent/"), 1u);
  EXPECT_EQ(count("Failed to register."), 2u);

  const std::pair<const char*, const char*> refused[] = {
      {"/nonexistent/module.so", "cannot load /nonexistent/module.so"},
      {"libm.so.6", "entry points missing"},
      {"", "not inside an application bundle"}};
  for (const auto& [path, problem] : refused) {
    std::string error;
    EXPECT_EQ(GtkPanelModule::load(path, &error), nullptr) << path;
    EXPECT_NE(error.find(problem), std::string::npos) << error;
  }
  EXPECT_NE(GtkPanelModule::load(HUSHMOOR_GTK_PANEL_MODULE), nullptr);
}

}  // namespace
