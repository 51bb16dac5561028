// The real-kernel test's witness of the radio, run as root in the guest:
//   rfkill-monitor          one line per event of /dev/rfkill, read as the
//                           kernel sends them: "<CLOCK_MONOTONIC s> <idx>
//                           <type> <op> <soft> <hard>" (op 0 add, 1 del, 2 change)
//   rfkill-monitor sync     writes "vmtest-sync <CLOCK_MONOTONIC ns>" to
//                           /dev/kmsg, so the kernel's own time stamp of that
//                           line tells how its clock lies against CLOCK_MONOTONIC
//   rfkill-monitor now      prints CLOCK_MONOTONIC in seconds, for the driver's marks
// Nothing of Hushmoor's writes what this reads, so the test judges from it.
#include <fcntl.h>
#include <linux/rfkill.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static long long now_ns(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "sync") == 0) {
    int kmsg = open("/dev/kmsg", O_WRONLY);
    if (kmsg < 0) return perror("/dev/kmsg"), 1;
    char line[64];
    int n = snprintf(line, sizeof line, "vmtest-sync %lld\n", now_ns());
    return write(kmsg, line, (size_t)n) == n ? 0 : 1;
  }
  if (argc > 1 && strcmp(argv[1], "now") == 0) {
    long long t = now_ns();
    return printf("%lld.%09lld\n", t / 1000000000LL, t % 1000000000LL) < 0;
  }
  int fd = open("/dev/rfkill", O_RDONLY);
  if (fd < 0) return perror("/dev/rfkill"), 1;
  struct rfkill_event event;
  ssize_t n;
  // Each read returns one event (or its first 8 bytes on an older kernel).
  while ((n = read(fd, &event, sizeof event)) >= 8) {
    long long t = now_ns();
    printf("%lld.%09lld %u %u %u %u %u\n", t / 1000000000LL, t % 1000000000LL, event.idx,
           event.type, event.op, event.soft, event.hard);
    fflush(stdout);
  }
  return 0;
}
