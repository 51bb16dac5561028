// GTK 3 alert panels.
#include "platform/linux/GtkAlertDialog.h"

#include <gtk/gtk.h>

#include "platform/linux/DisplayNamed.h"

namespace GtkAlertDialog {

bool displayAvailable() {
  static const bool available = [] { return displayNamed() && gtk_init_check(nullptr, nullptr); }();
  return available;
}

GtkWidget* build(const std::string& title, const std::string& message,
                 const std::vector<std::string>& buttons) {
  // "%s" keeps the texts as they are: no printf directives, no markup.
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                             GTK_BUTTONS_NONE, "%s", title.c_str());
  gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", message.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);

  // Added last to first so the default button ends up rightmost, where
  // dialogs keep the button that goes ahead. Plain labels, so an underscore
  // in a text is shown rather than taken as a keyboard mnemonic.
  for (size_t i = buttons.size(); i-- > 0;) {
    GtkWidget* button = gtk_button_new_with_label(buttons[i].c_str());
    gtk_dialog_add_action_widget(GTK_DIALOG(dialog), button, static_cast<int>(i));
    gtk_widget_show(button);
    if (i == 0) {
      gtk_widget_set_can_default(button, TRUE);
      gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);
      gtk_widget_grab_focus(button);
    }
  }
  return dialog;
}

int run(const std::string& title, const std::string& message,
        const std::vector<std::string>& buttons) {
  GtkWidget* dialog = build(title, message, buttons);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  // Let the window actually leave the screen before the caller goes on,
  // which may be a long wait or the end of the process.
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  return response >= 0 && static_cast<size_t>(response) < buttons.size() ? response : -1;
}

}  // namespace GtkAlertDialog
