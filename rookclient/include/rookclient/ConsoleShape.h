// What the proxies that build default images must know of the console they run on.
#pragma once

namespace rookclient {

// The console type of the console settings.
int ConsoleType();
// How many paths a mix setup can hold: 500 with the max paths mode set, else 256.
int MaxPaths();

}  // namespace rookclient
