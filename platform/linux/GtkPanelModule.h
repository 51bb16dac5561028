// The GTK panels as a loadable module (libhushmoor-gtk-panels.so, in the
// bundle's Contents/Frameworks). GTK and its dozens of libraries cost several
// megabytes of memory once mapped, and a background program shows a panel
// rarely, usually never; so the executable does not link GTK and loads this
// module only when a panel is to be shown on a display. Once loaded it stays:
// GTK cannot be unloaded.
#pragma once

#include <memory>
#include <string>
#include <vector>

extern "C" {
// The module's entry points (plain C, looked up by name).
int hushmoor_gtk_panels_display_available(void);
int hushmoor_gtk_panels_run(const char* title, const char* message, const char* const* buttons,
                            int buttonCount);
}

class GtkPanelModule {
 public:
  // The module beside the running executable's bundle:
  // <...>/Name.app/Contents/MacOS/Name -> <...>/Name.app/Contents/Frameworks/.
  static std::string defaultPath();
  // Loads the module (once per path and process); nothing, with *error
  // saying why, when it cannot be loaded or lacks its entry points.
  static GtkPanelModule* load(const std::string& path, std::string* error = nullptr);

  // See GtkAlertDialog::displayAvailable and GtkAlertDialog::run.
  bool displayAvailable() const;
  int run(const std::string& title, const std::string& message,
          const std::vector<std::string>& buttons) const;

 private:
  int (*displayAvailable_)(void) = nullptr;
  int (*run_)(const char*, const char*, const char* const*, int) = nullptr;
};
