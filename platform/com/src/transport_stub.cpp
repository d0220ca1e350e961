// Placeholder transport until the bus transport lands: no remote servers, process-local
// clipboard format numbers, no connection to watch.
#include <map>
#include <mutex>
#include <string>

#include "detail.h"

namespace platform::com::detail {

HRESULT GetRemoteClassObject(REFCLSID, REFIID, void** object) {
    *object = nullptr;
    return REGDB_E_CLASSNOTREG;
}

CLIPFORMAT SharedClipboardFormat(std::string_view name) {
    static std::mutex mutex;
    static std::map<std::string, CLIPFORMAT> numbers;
    std::string key;
    for (char c : name)
        key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    std::lock_guard lock(mutex);
    auto [it, added] = numbers.emplace(key, static_cast<CLIPFORMAT>(0xC000 + numbers.size()));
    return it->second;
}

LoopWait ConnectionWait() {
    return {};
}
int ProcessConnection() {
    return 0;
}

}  // namespace platform::com::detail
