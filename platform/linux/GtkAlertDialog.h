// Modal alert panels drawn by GTK 3: a message dialog with a title, a message
// and one button, for machines with a graphical session.
#pragma once

#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace GtkAlertDialog {

// True when DISPLAY or WAYLAND_DISPLAY is set and GTK could be initialised
// (tried once per process; a display that is named but unreachable gives false).
bool displayAvailable();

// The dialog, built but not shown; the caller owns it (gtk_widget_destroy).
// The title is the window's title and the dialog's headline, the message its
// body, both as plain text. buttons[0] is the default button (Return presses
// it); each button carries exactly its text and answers with its index.
GtkWidget* build(const std::string& title, const std::string& message,
                 const std::vector<std::string>& buttons);

// Shows the dialog and returns when it is dismissed: the index of the button
// pressed, or -1 when it was closed some other way (the window's close box).
int run(const std::string& title, const std::string& message,
        const std::vector<std::string>& buttons);

}  // namespace GtkAlertDialog
