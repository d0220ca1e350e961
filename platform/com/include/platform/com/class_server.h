// The server side of the object calls: a program that serves a class on the bus (the object
// server, or a test's stand-in) exports its class factory here, makes one ServerInstance per
// CreateInstance, and pushes blocks to the advise connections of its instances.
//
// Everything runs on the serving thread: the thread that called Start, whose bus connection
// carries the server; it must process its loop (RunMessagePump, or CurrentThreadWait and
// ProcessCurrentThread). When a client's connection leaves the bus, the instances it made
// and the advise connections whose sinks it held are dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/com/types.h"

namespace platform::com {

using InstanceId = uint32_t;

// What a server object does for one instance. Called on the serving thread.
class ServerInstance {
  public:
    virtual ~ServerInstance() = default;
    // `block` is only valid during the call.
    virtual HRESULT SetData(const FORMATETC& format, std::span<const uint8_t> block) = 0;
    // Fill `block` to return data; leaving it empty answers with no medium.
    virtual HRESULT GetData(const FORMATETC& format,
                            std::optional<std::vector<uint8_t>>& block) = 0;
    // Asked before an advise connection is made; a failure refuses it and is the answer.
    virtual HRESULT Advise(const FORMATETC& format, DWORD advf) { return S_OK; }
};

class ClassServer {
  public:
    // `client` is the unique bus name of the connection that asked for the instance.
    using Factory =
        std::function<std::unique_ptr<ServerInstance>(InstanceId id, const std::string& client)>;

    // Serving thread: exports the class factory for `clsid` and takes `busName` (which must
    // not be owned already). Null with `result` set on failure.
    static std::unique_ptr<ClassServer> Start(const std::string& busName, const CLSID& clsid,
                                              Factory factory, HRESULT* result = nullptr);
    // Serving thread: releases the name and drops every instance.
    ~ClassServer();
    ClassServer(const ClassServer&) = delete;
    ClassServer& operator=(const ClassServer&) = delete;

    // Serving thread: sends `block` as OnDataChange to every advise connection of the
    // instance; returns how many pushes were queued (none for a block over 16 MiB).
    size_t Push(InstanceId instance, std::span<const uint8_t> block);
    // Serving thread: the instance's object, null when it is gone.
    ServerInstance* Find(InstanceId instance) const;
    size_t InstanceCount() const;
    size_t AdviseCount(InstanceId instance) const;
    const std::string& BusName() const;

    struct Impl;

  private:
    explicit ClassServer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::com
