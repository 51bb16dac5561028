// The simulated machine's alert panels: each is recorded, reported and
// dismissed at once with its default button.
#pragma once

#include <functional>
#include <vector>

#include "platform/appkit/AlertPresenter.h"

class AlertPresenterSim : public AlertPresenter {
 public:
  using PanelObserver = std::function<void(const AlertPanel& panel, const NSString& button)>;
  void setPanelObserver(PanelObserver observer) { observer_ = std::move(observer); }
  const std::vector<AlertPanel>& panels() const { return panels_; }

  long runModal(const AlertPanel& panel) override;

 private:
  std::vector<AlertPanel> panels_;
  PanelObserver observer_;
};

// The text of the button that dismisses a panel by default ("OK" when none is
// given, as the platform shows).
NSString defaultButtonTitle(const AlertPanel& panel);
