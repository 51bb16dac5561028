// IOKit's power calls over the installed PowerSource. A registration's
// notifications are queued on its port and handed to the callback one at a
// time by the port's run-loop source, on the main thread.
#include "platform/iokit/IOPMLib.h"

#include <deque>
#include <map>
#include <memory>
#include <set>

#include "platform/foundation/Sleeper.h"
#include "platform/iokit/IOPMHandling.h"
#include "platform/iokit/PowerSource.h"

namespace {

struct PortState {
  CFRunLoopSourceRef source = nullptr;
  std::deque<std::pair<natural_t, intptr_t>> queue;
  IOServiceInterestCallback callback = nullptr;
  void* refcon = nullptr;
  io_service_t service = 0;
};

// Connections and notifiers of this process, by the power source's number.
std::set<io_connect_t>& openConnections() {
  static std::set<io_connect_t> connections;
  return connections;
}
std::set<io_object_t>& liveNotifiers() {
  static std::set<io_object_t> notifiers;
  return notifiers;
}

std::map<IOPMHandlingObserverID, IOPMHandlingObserver>& handlingObservers() {
  static std::map<IOPMHandlingObserverID, IOPMHandlingObserver> observers;
  return observers;
}

void tellHandlingObservers(natural_t messageType, bool handled) {
  // A copy: an observer may remove itself or another.
  const auto observers = handlingObservers();
  for (const auto& [id, observer] : observers)
    if (handlingObservers().count(id) != 0) observer(messageType, handled);
}

void deliverOne(const std::weak_ptr<PortState>& weak) {
  // Held for the whole call: the callback may destroy the port.
  std::shared_ptr<PortState> port = weak.lock();
  if (!port || port->queue.empty()) return;
  const auto [messageType, id] = port->queue.front();
  port->queue.pop_front();
  // One notification per perform, so that other sources keep their turn; the
  // rest follow at the next iterations.
  if (!port->queue.empty()) CFRunLoopSourceSignal(port->source);
  tellHandlingObservers(messageType, false);
  port->callback(port->refcon, port->service, messageType, reinterpret_cast<void*>(id));
  tellHandlingObservers(messageType, true);
}

}  // namespace

IOPMHandlingObserverID IOPMAddHandlingObserver(IOPMHandlingObserver observer) {
  static IOPMHandlingObserverID last = 0;
  handlingObservers().emplace(++last, std::move(observer));
  return last;
}

void IOPMRemoveHandlingObserver(IOPMHandlingObserverID id) { handlingObservers().erase(id); }

struct IONotificationPort {
  std::shared_ptr<PortState> state = std::make_shared<PortState>();
};

io_connect_t IORegisterForSystemPower(void* refcon, IONotificationPortRef* thePortRef,
                                      IOServiceInterestCallback callback, io_object_t* notifier) {
  if (thePortRef != nullptr) *thePortRef = nullptr;
  if (notifier != nullptr) *notifier = 0;
  if (thePortRef == nullptr || callback == nullptr || notifier == nullptr) return MACH_PORT_NULL;

  auto* port = new IONotificationPort;
  std::weak_ptr<PortState> weak = port->state;
  port->state->callback = callback;
  port->state->refcon = refcon;
  port->state->source = CFRunLoopSourceCreateWithHandler([weak] { deliverOne(weak); });

  const uint32_t registration =
      currentPowerSource().registerForSystemPower([weak](uint32_t messageType, intptr_t id) {
        // The system's deadline runs from the announcement, not from the
        // moment the callback gets its turn.
        if (messageType == kIOMessageSystemWillSleep)
          currentSleeper().setSystemWaitLimit(currentPowerSource().systemWaitLimit());
        if (messageType == kIOMessageSystemHasPoweredOn)
          currentSleeper().setSystemWaitLimit(std::nullopt);
        if (auto state = weak.lock()) {
          state->queue.emplace_back(messageType, id);
          CFRunLoopSourceSignal(state->source);
        }
      });
  if (registration == 0) {
    CFRunLoopSourceDestroy(port->state->source);
    delete port;
    return MACH_PORT_NULL;
  }
  port->state->service = registration;
  openConnections().insert(registration);
  liveNotifiers().insert(registration);
  *thePortRef = port;
  *notifier = registration;
  return registration;
}

std::string IORegistrationFailureCauses() {
  return currentPowerSource().registrationFailureCauses();
}

IOReturn IOAllowPowerChange(io_connect_t kernelPort, intptr_t notificationID) {
  if (openConnections().count(kernelPort) == 0) return kIOReturnBadArgument;
  return currentPowerSource().allowPowerChange(kernelPort, notificationID) ? kIOReturnSuccess
                                                                           : kIOReturnBadArgument;
}

IOReturn IODeregisterForSystemPower(io_object_t* notifier) {
  if (notifier == nullptr || liveNotifiers().erase(*notifier) == 0) return kIOReturnBadArgument;
  currentPowerSource().deregister(*notifier);
  *notifier = 0;
  return kIOReturnSuccess;
}

kern_return_t IOServiceClose(io_connect_t connect) {
  if (openConnections().erase(connect) == 0) return kIOReturnBadArgument;
  // A connection closed without deregistering still lets go of the service.
  if (liveNotifiers().erase(connect) != 0) currentPowerSource().deregister(connect);
  return kIOReturnSuccess;
}

CFRunLoopSourceRef IONotificationPortGetRunLoopSource(IONotificationPortRef notify) {
  return notify == nullptr ? nullptr : notify->state->source;
}

void IONotificationPortDestroy(IONotificationPortRef notify) {
  if (notify == nullptr) return;
  CFRunLoopSourceDestroy(notify->state->source);
  notify->state->source = nullptr;
  notify->state->queue.clear();
  delete notify;
}
