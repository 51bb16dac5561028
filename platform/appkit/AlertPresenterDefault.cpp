// The real machine's alert presenter. Until the GTK presenter is built in,
// panels go to the log (the headless presenter).
#include "platform/appkit/AlertPresenter.h"

std::shared_ptr<AlertPresenter> makeDefaultAlertPresenter() { return makeHeadlessAlertPresenter(); }
