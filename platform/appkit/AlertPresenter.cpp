// The installed alert presenter.
#include "platform/appkit/AlertPresenter.h"

#include "platform/foundation/PlatformServices.h"

AlertPresenter& currentAlertPresenter() {
  return PlatformServices::use(&PlatformServices::alertPresenter, makeDefaultAlertPresenter);
}
