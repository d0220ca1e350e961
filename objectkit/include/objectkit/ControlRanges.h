// The console's control ranges as data: default values per variant and channel kind, and the
// minimum and maximum of every control per variant. One place holds all of them
// (ControlRanges.cpp).
#pragma once

#include <cstdint>

namespace objectkit {

inline constexpr int kVariantCount = 3;
inline constexpr int kChannelKindCount = 13;
inline constexpr int kLargeModuleCount = 31;  // modules 0-30 of the large layout
inline constexpr int kSmallModuleCount = 5;   // modules 0-4 of the small layout
inline constexpr int kControlsPerModule = 9;
inline constexpr int kRouteModuleCount = 48;  // route modules kept per path
inline constexpr int kRouteControlCount = 4;

// Default of a large-layout control (module 0-30, control 0-8); 0 outside the table.
uint16_t DefaultValue(int variant, int channelKind, int module, int control);
// Default of a small-layout control (module 0-4, control 0-8); 0 outside the table.
uint16_t SmallLayoutDefaultValue(int channelKind, int module, int control);
// Default of a route module control: 0 for controls 0-2, 1 for control 3.
uint16_t RouteDefaultValue(int control);

// Ranges as signed 16-bit values. Large layout: module 0-30, control 0-8; small layout:
// module 0-4. Outside the tables: -32767 .. 32767.
int16_t ControlMinimum(int variant, int module, int control);
int16_t ControlMaximum(int variant, int module, int control);
int16_t SmallLayoutControlMinimum(int module, int control);
int16_t SmallLayoutControlMaximum(int module, int control);
int16_t RouteControlMinimum(int variant, int control);
int16_t RouteControlMaximum(int variant, int control);

// Continuous controls (levels, frequencies, gains) as opposed to switches. Route modules are
// modules at or above routeModuleBase on the large layout.
bool IsContinuousControl(bool smallLayout, int module, int control, int routeModuleBase);

}  // namespace objectkit
