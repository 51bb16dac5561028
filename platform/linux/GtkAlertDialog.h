// Modal alert panels drawn by GTK 3: a message dialog with a title, a message
// and one button, for machines with a graphical session.
#pragma once

#include <string>

typedef struct _GtkWidget GtkWidget;

namespace GtkAlertDialog {

// True when DISPLAY or WAYLAND_DISPLAY is set and GTK could be initialised
// (tried once per process; a display that is named but unreachable gives false).
bool displayAvailable();

// The dialog, built but not shown; the caller owns it (gtk_widget_destroy).
// The title is the window's title and the dialog's headline, the message its
// body, both as plain text; the button carries exactly the given text.
GtkWidget* build(const std::string& title, const std::string& message, const std::string& button);

// Shows the dialog and returns when the user has pressed its button, true,
// or closed it some other way, false (the caller may count that as the button:
// it is the only one).
bool run(const std::string& title, const std::string& message, const std::string& button);

}  // namespace GtkAlertDialog
