// Hostile pushed blocks for every proxy that decodes its pushes itself. The first input byte
// picks the proxy, the rest is the block as the server would push it. The proxies run without a
// server (a proxy that cannot connect stays usable), so only their decoding is exercised.
//
// Checked after each push: the block is freed; the desk size changes only for a block whose
// stated size is its real size and that holds the size word.
#include <ledger/EventLogEntry.h>
#include <platform/com/global_memory.h>
#include <platform/notify.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "rookclient/Proxies.h"

namespace {

struct Proxies {
    Proxies() {
        platform::notify::SetMessageBoxHandler(
            [](const std::string&, const std::string&, uint32_t) { return 1; });
        CEventLogEntry::SetSink([](ledger::Severity, const std::string&) {});
        all.push_back(std::make_unique<CDeskSizeRookObject>(1));
        all.push_back(std::make_unique<CCurrentConsoleSetupRookObject>(1));
        all.push_back(std::make_unique<CIOConfigRookObject>(1));
        all.push_back(std::make_unique<CMCSRookObject>(1));
        all.push_back(std::make_unique<CIORoutingRookObject>(1));
        all.push_back(std::make_unique<COfflineIORoutingRookObject>(1));
        all.push_back(std::make_unique<CNexusRoutingRookObject>(1));
        all.push_back(std::make_unique<CStudioConfigRook>(1));
        all.push_back(std::make_unique<CMixSetupExRookObject>(1));
        all.push_back(std::make_unique<CDefaultValuesRookObject>(1));
        for (auto& proxy : all) {
            proxy->StartAdvise(0);  // not suspended, so that pushes are decoded
        }
    }
    std::vector<std::unique_ptr<CGenericRookObject>> all;
};

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Proxies* p = new Proxies;
    if (size == 0) {
        return 0;
    }
    CGenericRookObject& proxy = *p->all[data[0] % p->all.size()];
    const uint8_t* bytes = data + 1;
    const size_t blockSize = size - 1;

    platform::com::HGLOBAL block = platform::com::GlobalAlloc(0x2042, blockSize);
    if (blockSize) {
        std::memcpy(platform::com::GlobalLock(block), bytes, blockSize);
        platform::com::GlobalUnlock(block);
    }
    platform::com::FORMATETC format{};
    platform::com::STGMEDIUM medium{platform::com::TYMED_HGLOBAL, block, nullptr};

    auto* desk = dynamic_cast<CDeskSizeRookObject*>(&proxy);
    const uint32_t sizeBefore = desk ? desk->GetSize() : 0;
    proxy.OnDataChange(&format, &medium);
    Check(platform::com::GlobalSize(block) == 0);
    if (desk) {
        const bool sound = blockSize >= 20 && rookclient::LoadLE32(bytes, 8) == blockSize;
        Check(desk->GetSize() == (sound ? rookclient::LoadLE32(bytes, 16) : sizeBefore));
    }
    return 0;
}
