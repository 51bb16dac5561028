// Process entry: the arguments go unchanged to the application main.
#include "platform/appkit/NSApplication.h"

int main(int argc, const char* argv[]) { return NSApplicationMain(argc, argv); }
