#include "RookProcess.h"

#include <ledger/EventLogEntry.h>
#include <platform/com/activation.h>
#include <platform/com/loop.h>
#include <platform/notify.h>
#include <platform/registry.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "rookclient/CommsStructure.h"
#include "rookclient/RookServer.h"

namespace rookclient::detail {
namespace {

using namespace platform::com;

// Registered when the library is loaded, so that every component of the process agrees on it.
const platform::messages::MessageId g_consoleGone =
    platform::messages::registerMessage(kConsoleGoneMessageName);

constexpr int kClassObjectAttempts = 20;
constexpr int kDefaultMaxRetries = 200;
constexpr int kLeastMaxRetries = 600;
constexpr int kMostMaxRetries = 100000;
constexpr const char* kServerKey = "SOFTWARE\\KESTANE\\ROOKSERVER";
constexpr const char* kMaxRetriesValue = "Client Max Retries";

struct FailureText {
    HRESULT hr;
    const char* text;
};
constexpr FailureText kFailureTexts[] = {
    {REGDB_E_CLASSNOTREG, "Class Not Registered"},
    {E_NOINTERFACE, "No Interface"},
    {E_UNEXPECTED, "Unexpected Error"},
    {REGDB_E_READREGDB, "Error Reading Reg DB"},
    {CO_E_APPNOTFOUND, "App Not Found"},
    {CO_E_APPSINGLEUSE, "App Single Use"},
    {CO_E_ERRORINAPP, "Error In App"},
    {CO_E_DLLNOTFOUND, "Dll Not Found"},
    {CO_E_ERRORINDLL, "Error in Dll"},
    {CO_E_WRONGOSFORAPP, "Wrong OS For App"},
    {CO_E_APPDIDNTREG, "Error: App didn't register"},
    {E_ACCESSDENIED, "Access Denied"},
    {E_OUTOFMEMORY, "Error: Out of Memory"},
    {E_INVALIDARG, "Invalid Argument"},
};

void ReportError(std::vector<std::string> lines) {
    CEventLogEntry entry;
    entry.ReportError(lines);
}

}  // namespace

RookProcess& Process() {
    static auto* process = new RookProcess;  // proxies may outlive static destructors
    return *process;
}

const char* ClassObjectFailureText(HRESULT hr) {
    for (const FailureText& f : kFailureTexts) {
        if (f.hr == hr) {
            return f.text;
        }
    }
    return nullptr;
}

IClassFactory* ObtainClassFactory() {
    for (int attempt = 0; attempt < kClassObjectAttempts; ++attempt) {
        void* object = nullptr;
        const HRESULT hr = CoGetClassObject(CLSID_RookServer, CLSCTX_LOCAL_SERVER, nullptr,
                                            IID_IClassFactory, &object);
        if (SUCCEEDED(hr) && object) {
            return static_cast<IClassFactory*>(object);
        }
        if (const char* text = ClassObjectFailureText(hr)) {
            platform::notify::ShowMessageBox(text, {}, platform::notify::MB_OK);
        }
    }
    return nullptr;
}

// Read once per process. The value is read (and a missing one written with the default) only
// when the key already existed: a key created now is left empty. Whatever is read, the limit
// in effect lies between 600 and 100000.
int ReadClientMaxRetries() {
    namespace reg = platform::registry;
    int retries = kDefaultMaxRetries;
    reg::Key key;
    bool created = false;
    if (reg::Key::root(reg::Hive::LocalMachine).create(kServerKey, key, false, &created) ==
            reg::Status::Ok &&
        !created) {
        reg::Value value;
        const reg::Status status = key.query(kMaxRetriesValue, value);
        if (status == reg::Status::Ok && value.type == reg::REG_DWORD && value.data.size() == 4) {
            // A DWORD; values above INT_MAX wrap negative and so take the least limit.
            retries = static_cast<int>(LoadLE32(value.data.data(), 0));
        } else if (status == reg::Status::NotFound) {
            reg::setDword(key, kMaxRetriesValue, kDefaultMaxRetries);
        }
        // A value of another type is left as the operator wrote it; the default applies.
    }
    if (retries <= kLeastMaxRetries) {
        retries = kLeastMaxRetries;
    } else if (retries >= kMostMaxRetries) {
        retries = kMostMaxRetries;
    }
    return retries;
}

platform::messages::MessageId ConsoleGoneMessage() {
    return g_consoleGone;
}

void ServerGone(GoneAfter when, const std::string& objectName) {
    Trace("ROOKSERVER has died ?\n");
    platform::notify::ShowMessageBox(
        "RookServer is no longer responding !", "Severe Error",
        platform::notify::MB_ICONSTOP | platform::notify::MB_SYSTEMMODAL);
    ReportError({when == GoneAfter::Attaching
                     ? "ROOKSERVER stopped responding after attaching to "
                     : "ROOKSERVER stopped responding after getdata for client :",
                 objectName});
    ExitProcess(-1);  // exit code 0xFFFFFFFF
}

void TimedOut(const std::string& objectName) {
    ReportError({"Rookclient timed out connecting to", objectName});
    platform::messages::postMessage(platform::messages::kBroadcast, g_consoleGone, 0, 0);
    platform::com::PostQuitMessage(0);
}

void Trace(const char* format, ...) {
#ifndef NDEBUG
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
#else
    (void)format;
#endif
}

}  // namespace rookclient::detail
