// Panels on a machine without a display: the panel is written to the log and
// counts as dismissed with its default button, so the application goes on as
// if the user had pressed it.
#include "platform/appkit/AlertPresenterSim.h"
#include "platform/foundation/NSLog.h"

namespace {
class HeadlessAlertPresenter : public AlertPresenter {
 public:
  long runModal(const AlertPanel& panel) override {
    NSLog("ALERT: %@: %@ [%@]", panel.title, panel.message, defaultButtonTitle(panel));
    return NSAlertDefaultReturn;
  }
};
}  // namespace

std::shared_ptr<AlertPresenter> makeHeadlessAlertPresenter() {
  return std::make_shared<HeadlessAlertPresenter>();
}
