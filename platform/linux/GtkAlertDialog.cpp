// GTK 3 alert panels.
#include "platform/linux/GtkAlertDialog.h"

#include <gtk/gtk.h>

#include <cstdlib>

namespace GtkAlertDialog {

bool displayAvailable() {
  static const bool available = [] {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool named = (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
    return named && gtk_init_check(nullptr, nullptr);
  }();
  return available;
}

GtkWidget* build(const std::string& title, const std::string& message, const std::string& button) {
  // "%s" keeps the texts as they are: no printf directives, no markup.
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                             GTK_BUTTONS_NONE, "%s", title.c_str());
  gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", message.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);

  // A plain label, so an underscore in the text is shown rather than taken
  // as a keyboard mnemonic.
  GtkWidget* ok = gtk_button_new_with_label(button.c_str());
  gtk_dialog_add_action_widget(GTK_DIALOG(dialog), ok, GTK_RESPONSE_OK);
  gtk_widget_set_can_default(ok, TRUE);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  gtk_widget_grab_focus(ok);
  gtk_widget_show(ok);
  return dialog;
}

bool run(const std::string& title, const std::string& message, const std::string& button) {
  GtkWidget* dialog = build(title, message, button);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  // Let the window actually leave the screen before the caller goes on,
  // which may be a long wait or the end of the process.
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  return response == GTK_RESPONSE_OK;
}

}  // namespace GtkAlertDialog
