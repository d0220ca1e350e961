// One machine of the machine control system as the server describes it: the same 132 bytes
// in the pushed image, in GetMachineInfo and in the commands that carry machine data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rookclient::model {

struct MCSMachineInfoStruct {
    static constexpr size_t kNameWidth = 21;
    static constexpr size_t kGeneralParams = 32;
    static constexpr size_t kServoParams = 16;

    std::array<char, kNameWidth> name{};   // 0, zero-terminated
    std::array<char, kNameWidth> alias{};  // 21, zero-terminated
    uint8_t protocol = 0;                  // 42, index into the protocol table
    uint8_t id = 0;                        // 43
    uint8_t port = 0;                      // 44
    uint8_t state = 0;                     // 45
    uint8_t process = 0;                   // 46
    std::array<uint8_t, 13> reserved47{};  // 47, kept as the server sent it
    uint8_t tracks = 0;                    // 60, number of tracks
    // 61: bits 0-3 which of four special tracks exist, bit 4 a timecode track, bit 5 a video
    // track, bit 7 a bitmap of ordinary tracks.
    uint8_t trackFlags = 0;
    // 62 and 70: byte 0 bits 0-3 the special tracks, bit 4 timecode, bit 5 video; ordinary
    // track t at byte 1 + t / 8, bit t mod 8.
    std::array<uint8_t, 8> trackReady{};
    std::array<uint8_t, 8> trackRecording{};
    uint8_t recordMode = 0;                               // 78
    std::array<uint8_t, kGeneralParams> generalParams{};  // 79
    std::array<uint8_t, kServoParams> servoParams{};      // 111
    std::array<uint8_t, 5> reserved127{};                 // 127

    // The name and alias up to their terminator, never past their field.
    std::string_view Name() const;
    std::string_view Alias() const;
    // Stores at most 20 characters, so the field keeps its terminator.
    void SetAlias(std::string_view text);
};
static_assert(sizeof(MCSMachineInfoStruct) == 132);

inline constexpr uint8_t kRecordModeRehearse = 4;
inline constexpr uint8_t kRecordModeRecord = 1;

// The protocol of a protocol code; empty past the table.
std::string_view McsProtocolName(int code);
// The reference a locked group follows: "LTC", "VITC", ... , "Unknown".
std::string_view McsLockedReferenceName(int reference);

// Ranges of the machine parameters (the servo parameter 5 and the general parameters 4 to 6
// are switches; the others are bytes).
struct ParamRange {
    int min = 0;
    int max = 0;
    bool operator==(const ParamRange&) const = default;
};
ParamRange GetServoParamRange(int index);
ParamRange GetGeneralParamRange(int index);

}  // namespace rookclient::model
