// The shipped executable's platform: logind, rfkill, GTK panels and the
// journal, installed before NSApplicationMain runs. The simulator and the
// tests install the simulated backends instead.
#pragma once

// The application's rule for how many seconds a will-sleep waits for a given
// SleepDelay value: the platform warns with it when logind would not wait
// that long, and must not keep a copy of the rule that could drift.
using SleepWaitRule = unsigned int (*)(long sleepDelay);

// Installs the Linux backends. Call once on the main thread, before
// NSApplicationMain; it does not block.
void installLinuxMachine(SleepWaitRule sleepWait);
