// Message codes of the power-management service's notifications.
#pragma once

#include <cstdint>

inline constexpr uint32_t kIOMessageCanSystemSleep = 0xE0000270;
inline constexpr uint32_t kIOMessageSystemWillSleep = 0xE0000280;
inline constexpr uint32_t kIOMessageSystemHasPoweredOn = 0xE0000300;
inline constexpr uint32_t kIOMessageSystemWillPowerOn = 0xE0000320;
