// The application's main interface: it names the bundle and creates the one
// Controller, which NSApplicationMain makes the delegate.
#include "app/Controller.h"

NSMainInterface NSLoadMainInterface() {
  return NSMainInterface{"com.kestrova.Hushmoor", []() -> std::shared_ptr<NSApplicationDelegate> {
                           auto controller = std::make_shared<Controller>();
                           if (controller->init() == nullptr) return nullptr;
                           return controller;
                         }};
}
