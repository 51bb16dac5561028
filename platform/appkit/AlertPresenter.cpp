// The installed alert presenter.
#include "platform/appkit/AlertPresenter.h"

#include "platform/foundation/PlatformServices.h"

AlertPresenter& currentAlertPresenter() {
  std::shared_ptr<AlertPresenter>& presenter = PlatformServices::current().alertPresenter;
  if (!presenter) presenter = makeDefaultAlertPresenter();
  return *presenter;
}
