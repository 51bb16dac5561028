// AlertPresenter: shows NSRunAlertPanel's modal panels. The Linux backend is a
// GTK 3 modal message dialog; without a display the headless presenter
// (AlertPresenterHeadless.cpp) writes the panel to the log and counts it as
// dismissed with the default button; the simulated one (AlertPresenterSim.h)
// records it and dismisses it with the default button.
#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/NSString.h"

// NSRunAlertPanel's results: which button closed the panel.
inline constexpr long NSAlertDefaultReturn = 1;
inline constexpr long NSAlertAlternateReturn = 0;
inline constexpr long NSAlertOtherReturn = -1;

struct AlertPanel {
  NSString title;
  NSString message;                       // may hold line breaks
  std::optional<NSString> defaultButton;  // none: the platform shows "OK"
  std::optional<NSString> alternateButton;
  std::optional<NSString> otherButton;
};

class AlertPresenter {
 public:
  virtual ~AlertPresenter() = default;
  // Shows the panel modally and returns when it is dismissed, with
  // NSAlertDefaultReturn, NSAlertAlternateReturn or NSAlertOtherReturn.
  // Runs on the main thread; may run a nested main loop while it waits.
  virtual long runModal(const AlertPanel& panel) = 0;
};

// The installed presenter (PlatformServices.h), the default one when none
// is. Main thread.
AlertPresenter& currentAlertPresenter();
// The real machine's presenter (AlertPresenterDefault.cpp); until a GTK one is
// built in, the headless one.
std::shared_ptr<AlertPresenter> makeDefaultAlertPresenter();
std::shared_ptr<AlertPresenter> makeHeadlessAlertPresenter();
