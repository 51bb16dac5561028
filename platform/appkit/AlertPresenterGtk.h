// The real machine's alert panels: GTK 3 modal dialogs when there is a
// display, the headless presenter (panel to the log) when there is none.
// GTK is loaded only when the first panel is to be shown on a display (see
// GtkPanelModule).
#pragma once

#include <memory>
#include <string>

#include "platform/appkit/AlertPresenter.h"

// modulePath: the panel module to load; empty: the one in the running
// bundle's Contents/Frameworks.
std::shared_ptr<AlertPresenter> makeGtkAlertPresenter(std::string modulePath = "");
