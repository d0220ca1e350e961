// Library-wide settings of objectkit, read from the console settings and the registry.
#pragma once

namespace objectkit {

// The console type (1-7; 3 when the settings do not say), read once per process.
int ConsoleType();
// Types 1 and 6 use the small module layout (modules 0-4); the others the large one.
bool IsSmallLayout(int consoleType);
inline bool IsSmallLayout() {
    return IsSmallLayout(ConsoleType());
}
// The default-value variant of a console type: 3 and others -> 0, 5 and 7 -> 1, 2 and 4 -> 2.
int DefaultsVariant(int consoleType);

// "Max Paths Mode" under HKEY_LOCAL_MACHINE "SOFTWARE\Kestane Vantor\Main" (default 0), read
// again at every call because the console may change it while programs run.
int ReadMaxPathsMode();
// 256 paths in mode 0 (and any mode other than 1), 500 in mode 1.
int MaxPathCount(int maxPathsMode);
// "CardLinkType" under HKEY_LOCAL_MACHINE "SOFTWARE\KESTANE\ROOKSERVER" (default 0).
int ReadCardLinkType();
inline bool CardsLinked(int cardLinkType) {
    return cardLinkType == 2;
}

// Tests only: fix the console type (0 = back to the console settings).
void SetConsoleTypeForTests(int consoleType);

}  // namespace objectkit
