// The installed alert presenter.
#include "platform/appkit/AlertPresenter.h"

namespace {
std::shared_ptr<AlertPresenter>& installed() {
  static std::shared_ptr<AlertPresenter> presenter;
  return presenter;
}
}  // namespace

void installAlertPresenter(std::shared_ptr<AlertPresenter> presenter) {
  installed() = std::move(presenter);
}

AlertPresenter& currentAlertPresenter() {
  if (!installed()) installed() = makeDefaultAlertPresenter();
  return *installed();
}
