// An object server inside the test process: registered as the server's class object, it hands
// out instances that record what proxies send and answer as each test scripts them.
#pragma once

#include <platform/com/interfaces.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TempRegistry.h"

namespace rooktest {

using namespace platform::com;
using Bytes = std::vector<uint8_t>;

class FakeInstance : public IDataObject {
  public:
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) override;
    HRESULT DUnadvise(DWORD connection) override;

    // Pushes `bytes` as a new block to the advised sink (nothing without one); returns the
    // handle pushed so that a test can see whether it was freed.
    HGLOBAL Push(const Bytes& bytes);

    struct GetAnswer {
        HRESULT hr;
        std::optional<Bytes> block;
    };

    ULONG refs = 0;
    bool refuseDataObject = false;
    std::vector<Bytes> sent;              // blocks given to SetData, in order
    std::vector<std::string> calls;       // "SetData", "DAdvise", "DUnadvise", "GetData"
    std::deque<HRESULT> adviseAnswers;    // then S_OK
    std::deque<HRESULT> unadviseAnswers;  // then S_OK
    std::deque<GetAnswer> getAnswers;     // then SERVER_E_NO_DATA without a block
    std::vector<FORMATETC> adviseFormats;
    std::vector<FORMATETC> setFormats;
    std::vector<FORMATETC> getFormats;
    IAdviseSink* sink = nullptr;
    DWORD connection = 0;
    DWORD nextConnection = 1;
};

class FakeFactory : public IClassFactory {
  public:
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT LockServer(BOOL) override { return S_OK; }

    FakeInstance& Instance(size_t i) { return *instances.at(i); }
    FakeInstance& Last() { return *instances.back(); }

    ULONG refs = 0;
    int lookups = 0;                     // CoGetClassObject attempts that reached the factory
    std::deque<HRESULT> lookupFailures;  // answers to the first attempts
    bool failCreate = false;
    bool refuseDataObject = false;
    std::vector<std::unique_ptr<FakeInstance>> instances;
};

// Registers a FakeFactory for the server's class id for the life of the object.
class Registration {
  public:
    explicit Registration(FakeFactory& factory);
    ~Registration();

  private:
    DWORD cookie_ = 0;
};

// What the library did to the world: boxes, event-log entries, sleeps, exits and quits.
struct World {
    World();
    ~World();
    std::vector<std::string> boxes;    // "caption|text|style"
    std::vector<std::string> entries;  // event-log entries, lines joined with '\n'
    std::vector<std::chrono::milliseconds> sleeps;
    std::vector<int> exits;
    std::vector<int> quits;
    platform::registry::testing::TempRegistry registry;
};

// A block with the header set and the rest zero.
Bytes MakeBlock(uint32_t command, size_t size, uint32_t statedSize);
inline Bytes MakeBlock(uint32_t command, size_t size) {
    return MakeBlock(command, size, static_cast<uint32_t>(size));
}
uint32_t U32At(const Bytes& block, size_t offset);

}  // namespace rooktest
