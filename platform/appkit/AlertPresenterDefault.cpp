// The alert presenter of a program that installs none (the shipped executable
// installs the GTK one): panels go to the log (the headless presenter).
#include "platform/appkit/AlertPresenter.h"

std::shared_ptr<AlertPresenter> makeDefaultAlertPresenter() { return makeHeadlessAlertPresenter(); }
