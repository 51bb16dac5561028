// The simulated machine's panels.
#include "platform/appkit/AlertPresenterSim.h"

NSString defaultButtonTitle(const AlertPanel& panel) {
  return panel.defaultButton ? *panel.defaultButton : NSString("OK");
}

long AlertPresenterSim::runModal(const AlertPanel& panel) {
  panels_.push_back(panel);
  if (observer_) observer_(panel, defaultButtonTitle(panel));
  return NSAlertDefaultReturn;
}
