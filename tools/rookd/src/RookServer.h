// The object server stand-in: serves the server class on the bus, binds each instance to the
// server object its attach command names, keeps one data image per object, answers GetData
// with it, pushes it to advised instances, records every command block, and can be told to
// answer not-ready or booting. Everything runs on the serving thread.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Blocks.h"
#include "platform/com/class_server.h"

namespace rookd {

using platform::com::HRESULT;
using platform::com::InstanceId;

inline constexpr HRESULT SERVER_E_NOT_READY = platform::com::MakeResult(0xF0000003);
inline constexpr HRESULT SERVER_E_NO_DATA = platform::com::MakeResult(0xF0000004);
inline constexpr HRESULT SERVER_E_BOOTING = platform::com::MakeResult(0xF0000005);

inline constexpr char kDefaultBusName[] = "org.kestane.RookServer";
inline constexpr platform::com::CLSID kServerClass{
    0x12C7B830, 0x17F3, 0x11CE, {0x93, 0xE6, 0x00, 0x20, 0xAF, 0x42, 0x56, 0x41}};
// The most command blocks kept per object; older ones are forgotten first.
inline constexpr size_t kCommandsKept = 1000;

struct RecordedCommand {
    uint64_t sequence = 0;
    std::string object;  // empty while the instance was not yet attached
    InstanceId instance = 0;
    uint32_t command = 0;
    std::vector<uint8_t> block;
};

struct ObjectStatus {
    std::string name;
    bool hasImage = false;
    uint32_t instances = 0;
};

class RookServer {
  public:
    // Serving thread: takes `busName`. Null with `result` set when it cannot.
    static std::unique_ptr<RookServer> Start(const std::string& busName, HRESULT* result);
    ~RookServer();

    // Sets the object's image; with `push`, sends it to every advised instance of the object.
    // Returns the number of pushes.
    size_t SetImage(const std::string& object, std::vector<uint8_t> image, bool push);
    // Sends the current image again; 0 when there is none.
    size_t PushImage(const std::string& object);
    void ClearImage(const std::string& object);
    // Changes one line of the "MicLineRook" image (made neutral first when there is none).
    // Nothing (false) for a line outside 1 to 120.
    bool SetMicLine(int line, const MicLineFields& fields, bool push, size_t* pushed = nullptr);
    // Pushes a close request to the client monitors; it is not kept as their image.
    size_t PushCloseRequest(uint32_t code);
    // The next `count` DAdvise calls answer SERVER_E_NOT_READY / SERVER_E_BOOTING (not-ready
    // answers come first).
    void AnswerNotReady(uint32_t count) { notReady_ = count; }
    void AnswerBooting(uint32_t count) { booting_ = count; }

    // The blocks received for `object` ("" = all objects, in arrival order).
    std::vector<RecordedCommand> Commands(const std::string& object) const;
    std::vector<ObjectStatus> Objects() const;
    std::optional<std::vector<uint8_t>> Image(const std::string& object) const;

    // What an instance's calls do (used by its ServerInstance).
    HRESULT OnSetData(InstanceId id, const platform::com::FORMATETC& format,
                      std::span<const uint8_t> block);
    HRESULT OnGetData(InstanceId id, const platform::com::FORMATETC& format,
                      std::optional<std::vector<uint8_t>>& block);
    HRESULT OnAdvise(const platform::com::FORMATETC& format);
    void OnInstanceGone(InstanceId id);

  private:
    RookServer();
    struct Object {
        std::optional<std::vector<uint8_t>> image;
        std::deque<RecordedCommand> commands;
    };
    size_t PushTo(const std::string& object, const std::vector<uint8_t>& block);
    bool FormatIsOurs(const platform::com::FORMATETC& format) const;

    std::map<std::string, Object> objects_;
    std::map<InstanceId, std::string> bindings_;  // instance -> object ("" = not attached)
    std::deque<RecordedCommand> unattached_;
    uint64_t nextSequence_ = 1;
    uint32_t notReady_ = 0;
    uint32_t booting_ = 0;
    platform::com::CLIPFORMAT format_ = 0;
    // Last: its instances call back into the members above while it is destroyed.
    std::unique_ptr<platform::com::ClassServer> classServer_;
};

}  // namespace rookd
