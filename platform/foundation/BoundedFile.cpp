// Reading a small file whole, refusing anything that could make us wait.
#include "platform/foundation/BoundedFile.h"

#include <fcntl.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace BoundedFile {

bool read(const std::string& path, std::size_t maxBytes, std::string* contents, GError** error) {
  const auto fail = [&](GFileError code, const std::string& why) {
    g_set_error_literal(error, G_FILE_ERROR, code, why.c_str());
    return false;
  };
  // Non-blocking: opening a FIFO for reading waits for a writer otherwise.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail(g_file_error_from_errno(errno), g_strerror(errno));
  struct stat info;
  const bool stated = ::fstat(fd, &info) == 0;
  const int statError = errno;
  if (!stated || !S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) > maxBytes) {
    ::close(fd);
    if (!stated) return fail(g_file_error_from_errno(statError), g_strerror(statError));
    if (!S_ISREG(info.st_mode)) return fail(G_FILE_ERROR_INVAL, "not a regular file, left unread");
    return fail(G_FILE_ERROR_FAILED,
                "larger than " + std::to_string(maxBytes) + " bytes, left unread");
  }
  contents->clear();
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || contents->size() + static_cast<std::size_t>(n) > maxBytes) {
      const int readError = n < 0 ? errno : EFBIG;
      ::close(fd);
      return fail(g_file_error_from_errno(readError), g_strerror(readError));
    }
    if (n == 0) break;
    contents->append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

bool loadKeyFile(GKeyFile* keys, const std::string& path, GKeyFileFlags flags, GError** error) {
  std::string contents;
  return read(path, kKeyFileLimit, &contents, error) &&
         g_key_file_load_from_data(keys, contents.data(), contents.size(), flags, error);
}

}  // namespace BoundedFile
