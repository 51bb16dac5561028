// Process entry: the real machine's backends are put in place, then the
// arguments go unchanged to the application main.
#include "app/PowerHandler.h"
#include "platform/appkit/NSApplication.h"
#include "platform/linux/LinuxMachine.h"

int main(int argc, const char* argv[]) {
  installLinuxMachine(sleepDelaySeconds);
  return NSApplicationMain(argc, argv);
}
