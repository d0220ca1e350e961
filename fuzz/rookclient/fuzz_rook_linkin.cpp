// Hostile pushed blocks for every receiver of server data: a plain proxy (the generic delivery
// path, advised and suspended), the mic-line receiver and the client-monitor receptacle. The
// first input byte picks the receiver, the rest is the block as the server would push it.
//
// Checked after each push: the block is freed; a mic-line image changes only for a block of
// exactly 496 bytes that says so, and then to its payload; a close request is queued only for a
// 20-byte block with code 1 or 2; at most one mic-line notice waits.
#include <ledger/EventLogEntry.h>
#include <platform/com/global_memory.h>
#include <platform/notify.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "mic/core/ClientMonitorReceptacle.h"
#include "mic/core/MicLineInterface.h"
#include "rookclient/CommsStructure.h"

namespace {

struct Target : mic::ConsoleNoticeTarget {
    void Post(std::function<void()> notice) override { queued.push_back(std::move(notice)); }
    void OnButtonFromVantor(int, int) override { ++buttons; }
    void OnCloseRequest() override { ++closes; }
    std::vector<std::function<void()>> queued;
    int buttons = 0;
    int closes = 0;
};

// Reads every byte that the delivery lets it see, so that an overrun shows.
struct PlainProxy : CGenericRookObject {
    PlainProxy() : CGenericRookObject(1) {}
    std::string GetServerObjectName() override { return "FuzzRook"; }
    int OnLinkIn(_CommsStructure* block) override {
        const auto* bytes = reinterpret_cast<const uint8_t*>(block);
        for (size_t i = 0; i < DeliveredBlockSize(); ++i) {
            sum += bytes[i];
        }
        if (const uint8_t* checked = CheckedBlock(block, 16, 1 << 20)) {
            sum += checked[rookclient::LoadLE32(block, 8) - 1];
        }
        ++deliveries;
        return 1;
    }
    unsigned sum = 0;
    int deliveries = 0;
};

struct Receivers {
    Receivers() {
        platform::notify::SetMessageBoxHandler(
            [](const std::string&, const std::string&, uint32_t) { return 1; });
        CEventLogEntry::SetSink([](ledger::Severity, const std::string&) {});
        line = new mic::CMicLineInterface(&target);
        monitor = new mic::CClientMonitorReceptacle(&target);
        suspended = new PlainProxy;
        suspended->StopAdvise();
    }
    Target target;
    PlainProxy plain;
    PlainProxy* suspended;
    mic::CMicLineInterface* line;
    mic::CClientMonitorReceptacle* monitor;
};

std::vector<uint8_t> Image(mic::CMicLineInterface& line) {
    std::vector<uint8_t> image;
    line.WithImage([&](const uint8_t* bytes) { image.assign(bytes, bytes + 480); });
    return image;
}

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Receivers* r = new Receivers;
    if (size == 0) {
        return 0;
    }
    const uint8_t which = data[0] % 4;
    const uint8_t* blockBytes = data + 1;
    const size_t blockSize = size - 1;

    platform::com::HGLOBAL block = platform::com::GlobalAlloc(0x2042, blockSize);
    if (blockSize) {
        std::memcpy(platform::com::GlobalLock(block), blockBytes, blockSize);
        platform::com::GlobalUnlock(block);
    }
    platform::com::FORMATETC format{};
    platform::com::STGMEDIUM medium{platform::com::TYMED_HGLOBAL, block, nullptr};
    const bool statedIs = [&](size_t n) {
        return blockSize == n && rookclient::LoadLE32(blockBytes, 8) == n;
    }(which == 2 ? 496 : 20);

    const std::vector<uint8_t> before = Image(*r->line);
    const int closes = r->target.closes;
    const int suspendedDeliveries = r->suspended->deliveries;
    switch (which) {
        case 0:
            r->plain.OnDataChange(&format, &medium);
            break;
        case 1:
            r->suspended->OnDataChange(&format, &medium);
            Check(r->suspended->deliveries == suspendedDeliveries);
            break;
        case 2:
            r->line->OnDataChange(&format, &medium);
            break;
        default:
            r->monitor->OnDataChange(&format, &medium);
            break;
    }
    Check(platform::com::GlobalSize(block) == 0);
    Check(r->target.queued.size() <= 2);

    const std::vector<uint8_t> after = Image(*r->line);
    if (which == 2 && statedIs) {
        Check(std::memcmp(after.data(), blockBytes + 16, 480) == 0);
    } else {
        Check(after == before);
    }
    auto queued = std::move(r->target.queued);
    r->target.queued.clear();
    for (auto& notice : queued) {
        notice();
    }
    const uint32_t code = which == 3 && blockSize >= 20 ? rookclient::LoadLE32(blockBytes, 16) : 0;
    Check(r->target.closes - closes ==
          ((which == 3 && statedIs && (code == 1 || code == 2)) ? 1 : 0));
    return 0;
}
