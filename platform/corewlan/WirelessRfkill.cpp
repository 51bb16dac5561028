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

std::optional<RfkillRadio> WirelessRfkill::find(const std::string& bsdName) {
  if (!held_) return RfkillRadio::find(bsdName, paths_);
  auto it = resolved_.find(bsdName);
  if (it == resolved_.end())
    it = resolved_.emplace(bsdName, RfkillRadio::find(bsdName, paths_)).first;
  return it->second;
}

void WirelessRfkill::holdResolution(bool hold) {
  held_ = hold;
  resolved_.clear();
}

bool WirelessRfkill::hasInterface(const std::string& bsdName) { return find(bsdName).has_value(); }

bool WirelessRfkill::radioPower(const std::string& bsdName) {
  auto radio = find(bsdName);
  if (!radio) return false;
  auto state = radio->state();
  return state && state->on();
}

bool WirelessRfkill::setRadioPower(const std::string& bsdName, bool on,
                                   std::shared_ptr<NSError>* error) {
  SystemError failure;
  auto radio = find(bsdName);
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
  auto radio = find(bsdName);
  if (!radio) return std::nullopt;
  auto state = radio->state();
  if (!state) return std::nullopt;
  return RadioBlocks{state->softBlocked, state->hardBlocked};
}

std::string WirelessRfkill::radioDevice(const std::string& bsdName) {
  auto radio = find(bsdName);
  if (!radio) return bsdName;
  return radio->interfaceName() + " (" + radio->phyName() + ", rfkill" +
         std::to_string(radio->rfkillIndex()) + ")";
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
  // On the thread-default context, like the logind client: the main
  // context of the thread that asked.
  watch_ = g_unix_fd_source_new(fd, G_IO_IN);
  g_source_set_callback(watch_, G_SOURCE_FUNC(onEvents), this, nullptr);
  g_source_attach(watch_, g_main_context_get_thread_default());
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
    self->dropSource(self->watch_);  // the device is gone: nothing more will come
    return G_SOURCE_REMOVE;
  }
  if (added && self->lateAddition_ == nullptr) {
    self->lateAddition_ = g_timeout_source_new_seconds(1);
    g_source_set_callback(self->lateAddition_, onLateAddition, self, nullptr);
    g_source_attach(self->lateAddition_, g_main_context_get_thread_default());
  }
  // A copy: the handler may stop the watching.
  RadioChangeHandler handler = self->changed_;
  if (handler) handler();
  return G_SOURCE_CONTINUE;
}

gboolean WirelessRfkill::onLateAddition(gpointer data) {
  auto* self = static_cast<WirelessRfkill*>(data);
  self->dropSource(self->lateAddition_);
  RadioChangeHandler handler = self->changed_;
  if (handler) handler();
  return G_SOURCE_REMOVE;
}

void WirelessRfkill::dropSource(GSource*& source) {
  if (source == nullptr) return;
  g_source_destroy(source);
  g_source_unref(source);
  source = nullptr;
}

void WirelessRfkill::stopWatching() {
  dropSource(watch_);
  dropSource(lateAddition_);
  if (watchFd_ >= 0) ::close(watchFd_);
  watchFd_ = -1;
  changed_ = nullptr;
}
