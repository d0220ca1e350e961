// How the proxies wait and end the process. Programs keep the defaults; tests replace them so
// that the long retry paths run at once and the server-gone path can be watched.
#pragma once

#include <chrono>
#include <functional>

namespace rookclient {

struct Environment {
    // Blocks the calling thread. Pushes for the thread's proxies stay queued on its
    // connection meanwhile and are delivered when its loop runs again. Default: a plain sleep.
    std::function<void(std::chrono::milliseconds)> sleep;
    // Ends the process with `code`. Default: flushes stdio and ends at once, without running
    // static destructors under a window system that is still up.
    std::function<void(int code)> exitProcess;
};

// Any thread, before proxies are in use. Members left empty take the defaults. Returns the
// environment in force before.
Environment SetEnvironment(Environment environment);

}  // namespace rookclient
