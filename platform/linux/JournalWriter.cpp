// The journal's native protocol: one datagram per entry to journald's socket,
// "FIELD=value\n" for each field, and for a value holding a line break the
// field name, "\n", its length as 64-bit little endian, the bytes and "\n".
// Written here rather than through libsystemd or GLib's journald writer so the
// socket is a parameter that tests can point at a socket of their own.
#include "platform/linux/JournalWriter.h"

#include <errno.h>
#include <glib.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

int journalPriorityOf(std::string_view message) {
  if (message.starts_with("ERROR")) return LOG_ERR;
  if (message.starts_with("WARN")) return LOG_WARNING;
  if (message.starts_with("INFO")) return LOG_INFO;
  return LOG_NOTICE;
}

JournalWriter::JournalWriter() : JournalWriter(Options{}) {}

JournalWriter::JournalWriter(Options options) : options_(std::move(options)) {
  if (options_.identifier.empty()) options_.identifier = program_invocation_short_name;
  // When standard error already goes to the journal (started by systemd),
  // writing the entry ourselves as well would show every line twice.
  writeJournal_ = !g_log_writer_is_journald(options_.stderrFd);
  // Non-blocking: when journald falls behind, an entry is dropped (standard
  // error still has the line) rather than stalling the main thread, which may
  // be holding a sleep back at that moment.
  if (writeJournal_) socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

JournalWriter::~JournalWriter() {
  if (socket_ >= 0) ::close(socket_);
}

void JournalWriter::log(std::string_view message) {
  if (writeJournal_) sendToJournal(message);
}

bool JournalWriter::sendToJournal(std::string_view message) {
  if (socket_ < 0) return false;
  struct sockaddr_un address;
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (options_.journalSocket.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, options_.journalSocket.data(), options_.journalSocket.size());

  std::string entry = "PRIORITY=" + std::to_string(journalPriorityOf(message)) + "\n";
  entry += "SYSLOG_IDENTIFIER=" + options_.identifier + "\n";
  entry += "SYSLOG_PID=" + std::to_string(::getpid()) + "\n";
  // The length-prefixed form carries any bytes, line breaks and NULs included.
  if (message.find_first_of(std::string_view("\n\0", 2)) == std::string_view::npos) {
    entry += "MESSAGE=";
    entry.append(message);
    entry += '\n';
  } else {
    entry += "MESSAGE\n";
    uint64_t length = message.size();
    for (int i = 0; i < 8; ++i) entry += static_cast<char>((length >> (8 * i)) & 0xff);
    entry.append(message);
    entry += '\n';
  }
  // No journal (a container, another init): standard error has the line.
  const ssize_t sent = ::sendto(socket_, entry.data(), entry.size(), MSG_NOSIGNAL,
                                reinterpret_cast<const struct sockaddr*>(&address), sizeof address);
  return sent == static_cast<ssize_t>(entry.size());
}
