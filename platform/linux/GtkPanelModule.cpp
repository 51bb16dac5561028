// The module's entry points over GtkAlertDialog.
#include "platform/linux/GtkPanelModule.h"

#include "platform/linux/GtkAlertDialog.h"

extern "C" __attribute__((visibility("default"))) int hushmoor_gtk_panels_display_available(void) {
  return GtkAlertDialog::displayAvailable() ? 1 : 0;
}

extern "C" __attribute__((visibility("default"))) int hushmoor_gtk_panels_run(
    const char* title, const char* message, const char* const* buttons, int buttonCount) {
  std::vector<std::string> texts;
  for (int i = 0; i < buttonCount; ++i) texts.emplace_back(buttons[i] != nullptr ? buttons[i] : "");
  return GtkAlertDialog::run(title != nullptr ? title : "", message != nullptr ? message : "",
                             texts);
}
