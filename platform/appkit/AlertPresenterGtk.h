// The real machine's alert panels: GTK 3 modal dialogs when there is a
// display, the headless presenter (panel to the log) when there is none.
#pragma once

#include <memory>

#include "platform/appkit/AlertPresenter.h"

std::shared_ptr<AlertPresenter> makeGtkAlertPresenter();
