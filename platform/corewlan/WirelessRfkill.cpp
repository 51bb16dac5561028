// CWInterface's radio over rfkill; failures become NSPOSIXErrorDomain errors
// carrying errno and RfkillRadio's description.
#include "platform/corewlan/WirelessRfkill.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <linux/rfkill.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool WirelessRfkill::hasInterface(const std::string& bsdName) {
  return RfkillRadio::find(bsdName, paths_).has_value();
}

bool WirelessRfkill::radioPower(const std::string& bsdName) {
  auto radio = RfkillRadio::find(bsdName, paths_);
  if (!radio) return false;
  auto state = radio->state();
  return state && state->on();
}

bool WirelessRfkill::setRadioPower(const std::string& bsdName, bool on,
                                   std::shared_ptr<NSError>* error) {
  RfkillError failure;
  auto radio = RfkillRadio::find(bsdName, paths_);
  if (!radio) {
    failure = {ENODEV, "No wireless interface " + bsdName + " with a radio switch"};
  } else if (radio->setPower(on, &failure)) {
    return true;
  }
  if (error != nullptr)
    *error = NSError::errorWithDomain("NSPOSIXErrorDomain", failure.code,
                                      NSString::stringWithUTF8String(failure.description));
  return false;
}

std::optional<RadioBlocks> WirelessRfkill::radioBlocks(const std::string& bsdName) {
  auto radio = RfkillRadio::find(bsdName, paths_);
  if (!radio) return std::nullopt;
  auto state = radio->state();
  if (!state) return std::nullopt;
  return RadioBlocks{state->softBlocked, state->hardBlocked};
}

std::string WirelessRfkill::radioDevice(const std::string& bsdName) {
  auto radio = RfkillRadio::find(bsdName, paths_);
  if (!radio) return bsdName;
  return "rfkill" + std::to_string(radio->rfkillIndex()) + " of " + radio->interfaceName();
}

WirelessRfkill::~WirelessRfkill() { stopWatching(); }

bool WirelessRfkill::watchRadioChanges(RadioChangeHandler changed, std::string* problem) {
  stopWatching();
  if (!changed) return true;
  const int fd = ::open(paths_.devicePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info;
  if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
    if (problem != nullptr)
      *problem = "cannot watch " + paths_.devicePath + ": " +
                 (fd < 0 ? std::strerror(errno) : "not a device");
    if (fd >= 0) ::close(fd);
    return false;
  }
  watchFd_ = fd;
  changed_ = std::move(changed);
  watch_ = g_unix_fd_add(fd, G_IO_IN, onEvents, this);
  return true;
}

gboolean WirelessRfkill::onEvents(gint fd, GIOCondition, gpointer data) {
  auto* self = static_cast<WirelessRfkill*>(data);
  bool added = false;
  // Every event waiting now, then one report: a burst is one change.
  unsigned char event[64];
  ssize_t size;
  while ((size = ::read(fd, event, sizeof event)) > 0) {
    if (static_cast<size_t>(size) >= RFKILL_EVENT_SIZE_V1 &&
        reinterpret_cast<rfkill_event*>(event)->op == RFKILL_OP_ADD)
      added = true;
  }
  if (size == 0 || (errno != EAGAIN && errno != EINTR)) {
    self->watch_ = 0;  // the device is gone: nothing more will come
    return G_SOURCE_REMOVE;
  }
  if (added && self->lateAddition_ == 0)
    self->lateAddition_ = g_timeout_add_seconds(1, onLateAddition, self);
  // A copy: the handler may stop the watching.
  RadioChangeHandler handler = self->changed_;
  if (handler) handler();
  return G_SOURCE_CONTINUE;
}

gboolean WirelessRfkill::onLateAddition(gpointer data) {
  auto* self = static_cast<WirelessRfkill*>(data);
  self->lateAddition_ = 0;
  RadioChangeHandler handler = self->changed_;
  if (handler) handler();
  return G_SOURCE_REMOVE;
}

void WirelessRfkill::stopWatching() {
  if (watch_ != 0) g_source_remove(watch_);
  if (lateAddition_ != 0) g_source_remove(lateAddition_);
  if (watchFd_ >= 0) ::close(watchFd_);
  watch_ = lateAddition_ = 0;
  watchFd_ = -1;
  changed_ = nullptr;
}
