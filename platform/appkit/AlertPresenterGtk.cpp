// NSRunAlertPanel over the GTK panel module. The default button comes first
// (Return presses it), then the alternate and the other button when given.
#include "platform/appkit/AlertPresenterGtk.h"

#include <string>
#include <vector>

#include "platform/appkit/AlertPresenterSim.h"
#include "platform/foundation/NSLog.h"
#include "platform/linux/DisplayNamed.h"
#include "platform/linux/GtkPanelModule.h"

namespace {

class GtkAlertPresenter : public AlertPresenter {
 public:
  explicit GtkAlertPresenter(std::string modulePath) : modulePath_(std::move(modulePath)) {}

  long runModal(const AlertPanel& panel) override {
    const GtkPanelModule* gtk = panels();
    if (gtk == nullptr || !gtk->displayAvailable()) return headless_->runModal(panel);
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
    const int pressed = gtk->run(panel.title.UTF8String(), panel.message.UTF8String(), buttons);
    // Closing the window some other way counts as the default button, as a
    // headless panel does: the application's panels only inform.
    return pressed < 0 || static_cast<size_t>(pressed) >= answers.size()
               ? NSAlertDefaultReturn
               : answers[static_cast<size_t>(pressed)];
  }

 private:
  // Without a display, GTK is not even loaded. A module that cannot be loaded
  // is reported once; the panels then go to the log.
  const GtkPanelModule* panels() {
    if (!displayNamed()) return nullptr;
    std::string error;
    const GtkPanelModule* module = GtkPanelModule::load(
        modulePath_.empty() ? GtkPanelModule::defaultPath() : modulePath_, &error);
    if (module == nullptr && !reported_) {
      reported_ = true;
      NSLog("WARN (%s:%d): panels go to the log: %s", __func__, __LINE__, error);
    }
    return module;
  }

  std::string modulePath_;
  bool reported_ = false;
  std::shared_ptr<AlertPresenter> headless_ = makeHeadlessAlertPresenter();
};

}  // namespace

std::shared_ptr<AlertPresenter> makeGtkAlertPresenter(std::string modulePath) {
  return std::make_shared<GtkAlertPresenter>(std::move(modulePath));
}
