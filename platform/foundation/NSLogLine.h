// NSLog's line: local date and time with milliseconds, process name,
// [pid:thread id], the message, and a line break unless it already ends with
// one: "2026-12-06 10:46:29.123 Hushmoor[4242:4242] message". Every sink that
// writes lines for a person uses it.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>
#include <string_view>

std::string formatNSLogLine(const struct timespec& when, std::string_view process, pid_t pid,
                            long threadId, std::string_view message);

// The line for a message logged now by this process and thread, under
// `process` (the program's short name when empty).
std::string formatNSLogLineNow(std::string_view message, std::string_view process = {});

// Writes all of `line` to `fd` in as few writes as the kernel allows (one,
// for a line of usual length), so that lines of processes sharing the stream
// do not interleave. Gives up silently on an error other than EINTR.
void writeLogLine(int fd, std::string_view line);
