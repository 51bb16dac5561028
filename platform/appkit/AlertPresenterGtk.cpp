// NSRunAlertPanel over GtkAlertDialog. The default button comes first (Return
// presses it), then the alternate and the other button when given.
#include "platform/appkit/AlertPresenterGtk.h"

#include <string>
#include <vector>

#include "platform/appkit/AlertPresenterSim.h"
#include "platform/linux/GtkAlertDialog.h"

namespace {

class GtkAlertPresenter : public AlertPresenter {
 public:
  long runModal(const AlertPanel& panel) override {
    // Decided at each panel: a panel shown before GTK could start (no
    // display yet) still reaches the user through the log.
    if (!GtkAlertDialog::displayAvailable()) return headless_->runModal(panel);
    std::vector<std::string> buttons{defaultButtonTitle(panel).UTF8String()};
    std::vector<long> answers{NSAlertDefaultReturn};
    if (panel.alternateButton) {
      buttons.push_back(panel.alternateButton->UTF8String());
      answers.push_back(NSAlertAlternateReturn);
    }
    if (panel.otherButton) {
      buttons.push_back(panel.otherButton->UTF8String());
      answers.push_back(NSAlertOtherReturn);
    }
    const int pressed =
        GtkAlertDialog::run(panel.title.UTF8String(), panel.message.UTF8String(), buttons);
    // Closing the window some other way counts as the default button, as a
    // headless panel does: the application's panels only inform.
    return pressed < 0 ? NSAlertDefaultReturn : answers[static_cast<size_t>(pressed)];
  }

 private:
  std::shared_ptr<AlertPresenter> headless_ = makeHeadlessAlertPresenter();
};

}  // namespace

std::shared_ptr<AlertPresenter> makeGtkAlertPresenter() {
  return std::make_shared<GtkAlertPresenter>();
}
