// Whether the environment names a display (X11's DISPLAY or WAYLAND_DISPLAY):
// the first check before GTK is loaded or initialised at all, shared by the
// panel presenter and the panel module so the two cannot disagree.
#pragma once

#include <cstdlib>

inline bool displayNamed() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}
