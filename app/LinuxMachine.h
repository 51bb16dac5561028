// The shipped executable's platform: logind, rfkill, GTK panels and the
// journal, installed before NSApplicationMain runs. The simulator and the
// tests install the simulated backends instead.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

void installLinuxMachine();

// What to tell the user when logind's InhibitDelayMaxUSec is shorter than the
// wait a will-sleep needs (SleepDelay, 0 meaning 5, plus a margin for
// switching the radio); none when it fits or the limit is unknown.
std::optional<std::string> logindDelayLimitProblem(long sleepDelay,
                                                   std::optional<uint64_t> inhibitDelayMaxUSec);

// Logs that problem, when there is one, as a warning.
void warnAboutLogindDelayLimit(std::optional<uint64_t> inhibitDelayMaxUSec);
