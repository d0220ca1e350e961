// An advise sink exported on the bus: the object the server pushes OnDataChange to. It lives
// on the connection of the thread that asked for the advise connection, and its pushes are
// delivered on that thread only.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/com/interfaces.h"
#include "thread_bus.h"

namespace platform::com::detail {

class SinkExport {
  public:
    // Calling thread: exports `sink` (which it AddRefs) on its connection, accepting pushes
    // only from `server` (a unique bus name).
    static HRESULT Create(IAdviseSink* sink, const std::string& server,
                          std::unique_ptr<SinkExport>& out);
    // Any thread: stops deliveries at once and releases the export on its own thread.
    ~SinkExport();
    const std::string& path() const { return path_; }

    struct Target;

  private:
    SinkExport() = default;
    std::shared_ptr<Target> target_;
    sd_bus_slot* slot_ = nullptr;
    std::weak_ptr<ThreadHome> home_;
    std::string path_;
};

}  // namespace platform::com::detail
