// Process entry: the real machine's backends are put in place, then the
// arguments go unchanged to the application main.
#include "app/LinuxMachine.h"
#include "platform/appkit/NSApplication.h"

int main(int argc, const char* argv[]) {
  installLinuxMachine();
  return NSApplicationMain(argc, argv);
}
