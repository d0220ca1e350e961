// What the proxies of one process share: the server's class object, the count of live
// proxies, the clipboard format, the retry limit and the subscribed proxies. Owned by the
// proxies' thread; see GenericRookObject.h.
#pragma once

#include <platform/com/interfaces.h>
#include <platform/messages.h>

#include <chrono>
#include <set>
#include <string>

class CGenericRookObject;

namespace rookclient::detail {

struct RookProcess {
    platform::com::IClassFactory* factory = nullptr;
    int liveProxies = 0;
    platform::com::CLIPFORMAT format = 0;
    int clientMaxRetries = -1;  // -1: not read yet
    std::set<CGenericRookObject*> subscribed;
};
RookProcess& Process();

// Up to 20 attempts at the server's class object, each failure with a known text shown in a
// box; null when every attempt failed.
platform::com::IClassFactory* ObtainClassFactory();
// The text shown for a failed class-object attempt, null for failures shown silently.
const char* ClassObjectFailureText(platform::com::HRESULT hr);

// The limit of not-ready answers from the registry, with defaults and clamp applied.
int ReadClientMaxRetries();

// The id of "ConsoleGoneTitsUp" in this process.
platform::messages::MessageId ConsoleGoneMessage();

enum class GoneAfter { Attaching, GetData };
// The server vanished: tell the operator, log it, end the process.
void ServerGone(GoneAfter when, const std::string& objectName);
// The server stayed not ready: log it, broadcast, end the thread's message loop.
void TimedOut(const std::string& objectName);

// Through the environment's seam.
void Sleep(std::chrono::milliseconds delay);
void ExitProcess(int code);

// Debug builds only: a line on stderr.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace rookclient::detail
