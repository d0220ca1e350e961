// The base of every proxy of an object-server object. It owns the whole conversation: one
// server instance per proxy, command blocks sent to it, the advise connection through which
// the server pushes the object's data, on-demand reads, and what happens when the server is
// gone or never becomes ready.
//
// Threads: a proxy belongs to the thread that made it. Construction, destruction, the calls
// below and SuspendAll/ReActivateAll run on that thread (all proxies of a process on one
// thread), and pushes arrive there while its event loop processes the object-server
// connection. No locks are taken.
//
// A proxy whose connection could not be made (no class object, no server instance, or no data
// interface) stays usable: SendData answers RPC_S_SERVER_UNAVAILABLE, ReadData gives null,
// StartAdvise subscribes nothing, and IsReady stays FALSE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "rookclient/RookObjectAdviseSink.h"

class CGenericRookObject : public CRookObjectAdviseSink {
  public:
    // Connects to the server; `adviseEnabled` 0 makes a command-only proxy that never
    // subscribes.
    explicit CGenericRookObject(int adviseEnabled);
    // Unsubscribes and releases the server instance; the last proxy releases the class object.
    ~CGenericRookObject() override;

    // Sends one block (the caller keeps and frees it); the server's answer.
    long SendData(platform::com::HGLOBAL block);
    // Subscribes to the object's pushes; with `readNow` non-zero also reads and delivers the
    // current data once.
    void StartAdvise(int readNow);
    // Unsubscribes; later pushes are dropped.
    void StopAdvise();
    // The current data block (the caller locks, uses and frees it), or null.
    platform::com::HGLOBAL ReadData(long index);

    // Sends the cancel command (a 16-byte block).
    virtual void CancelRookCommand();
    // The name of the server object the proxy stands for.
    virtual std::string GetServerObjectName() = 0;

    void Suspend();
    void ReActivate();
    // Every subscribed proxy of the process.
    static void SuspendAll();
    static void ReActivateAll();

    // TRUE once data has been delivered or read, for good.
    int IsReady() const { return dataReceived_; }
    // Whether the proxy has a server instance to talk to.
    bool IsConnected() const { return dataObject_ != nullptr; }

    void OnDataChange(platform::com::FORMATETC* format, platform::com::STGMEDIUM* medium) override;

  protected:
    // Inside OnLinkIn: the block's bytes when it is the block being delivered, its stated
    // size equals its real size, and that size lies within [minSize, maxSize]; else null.
    // A block whose header does not tell the truth about its size is never read.
    const uint8_t* CheckedBlock(const _CommsStructure* block, size_t minSize, size_t maxSize) const;
    // Inside OnLinkIn: the real size of the block being delivered; 0 outside a delivery.
    size_t DeliveredBlockSize() const { return deliveredSize_; }
    // Hands a block read from the server to OnLinkIn (unless it is missing or shorter than its
    // header) and frees it.
    void DeliverAndFree(platform::com::HGLOBAL block);

    int dataReceived_ = 0;
    int suspended_ = 0;
    const int adviseEnabled_;

  private:
    void Unadvise();
    platform::com::FORMATETC Format(platform::com::DWORD aspect, int32_t index) const;

    platform::com::IDataObject* dataObject_ = nullptr;
    platform::com::IUnknown* serverInstance_ = nullptr;
    platform::com::DWORD connection_ = 0;
    const void* deliveredBlock_ = nullptr;
    size_t deliveredSize_ = 0;
    bool unconnectedReported_ = false;
};
