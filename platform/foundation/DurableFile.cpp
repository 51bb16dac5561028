// Durable replacement of a file: temporary file, fsync, rename, folder fsync.
#include "platform/foundation/DurableFile.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/foundation/NSLog.h"

namespace DurableFile {

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

namespace {

std::optional<SystemError> writeAll(int fd, std::string_view data, const std::string& file) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return SystemError::fromErrno(n < 0 ? errno : EIO, "cannot write " + file);
    done += static_cast<size_t>(n);
  }
  return std::nullopt;
}

}  // namespace

// A folder not synced once the change is made is a weaker promise, not a
// failed change: a caller told it failed would make it again (a login item
// twice).
void reportUnsynced(const std::string& file, bool durable, std::string* warning) {
  const auto unsynced = durable ? syncFolder(folderOf(file)) : std::nullopt;
  if (!unsynced) return;
  const std::string text = unsynced->description + "; the change may not survive a power cut";
  if (warning)
    *warning = text;
  else
    NSLog("WARN (%s:%d): %s", __func__, __LINE__, text);
}

std::optional<SystemError> replace(const std::string& file, std::string temporaryTemplate,
                                   std::string_view data, mode_t mode, bool durable,
                                   std::string* warning) {
  const int fd = g_mkstemp_full(temporaryTemplate.data(), O_WRONLY | O_CLOEXEC, int(mode));
  if (fd < 0) return SystemError::fromErrno(errno, "cannot create a file in " + folderOf(file));
  const std::string& temporary = temporaryTemplate;  // now the file's name
  ::fchmod(fd, mode);                                // whatever the umask
  std::optional<SystemError> problem = writeAll(fd, data, temporary);
  // The data reaches the disk before the name does, so a crash leaves the old
  // file or the new one, never a short one.
  if (!problem && durable && ::fsync(fd) != 0)
    problem = SystemError::fromErrno(errno, "cannot sync " + temporary);
  if (::close(fd) != 0 && !problem)
    problem = SystemError::fromErrno(errno, "cannot write " + temporary);
  if (!problem && ::rename(temporary.c_str(), file.c_str()) != 0)
    problem = SystemError::fromErrno(errno, "cannot rename " + temporary + " to " + file);
  if (problem) {
    ::unlink(temporary.c_str());
    return problem;
  }
  reportUnsynced(file, durable, warning);
  return std::nullopt;
}

std::optional<SystemError> remove(const std::string& file, bool durable, std::string* warning) {
  if (::unlink(file.c_str()) != 0) {
    if (errno == ENOENT) return std::nullopt;
    return SystemError::fromErrno(errno, "cannot remove " + file);
  }
  reportUnsynced(file, durable, warning);
  return std::nullopt;
}

std::optional<SystemError> syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return SystemError::fromErrno(errno, "cannot open " + folder);
  const int failed = ::fsync(fd) != 0 ? errno : 0;
  ::close(fd);
  if (failed != 0) return SystemError::fromErrno(failed, "cannot sync " + folder);
  return std::nullopt;
}

}  // namespace DurableFile
