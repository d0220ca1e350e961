// The image of the server object "IOConfigRook": the current I/O configuration with every
// port's settings, edited locally port by port until a save sends it back; delay conversions
// between 48 kHz samples and the user's units; the delay memory left on a card; user names of
// ports; port groups.
//
// Pushed block (little-endian, after the 16-byte header):
//   16   200 bytes  current configuration name     216  200 bytes  default configuration name
//   416  200 bytes  configuration current on the desk
//   616  sample rate (Hz)           620  3 x extended-delay flag, one per quad MADI card
//   632  12 x remote relay cards (3 groups of 4)   680  number of quad MADI cards (0-3)
//   684  frame rate code            688  delay-memory shift (0-31)
//   692  input delay units          696  output delay units
//   700  5 x count: input ports, output ports, input SRC, output SRC, port groups
//   720  the records in that order: 48-byte port and SRC records, 80-byte group records
//        (layouts in IOConfigRecords.h)
// A block whose counts or values do not fit is ignored whole.
//
// Every per-port call takes the port and a side: non-zero the input side, 0 the output side.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>

#include "rookclient/model/CommsBlock.h"
#include "rookclient/model/IOConfigTypes.h"

namespace rookclient::model {

// The console hardware the configuration runs on.
struct IOConfigSystem {
    static constexpr int kMaxQuadMadis = 3;
    int32_t sampleRate = 0;  // Hz; 0 until the first image
    std::array<int32_t, kMaxQuadMadis> extendedDelay{};
    std::array<int32_t, 12> remoteRelayCards{};
    int32_t quadMadis = 0;
    int32_t frameRateCode = 0;  // 1 or 3: 29.97, 2: 24, 4: 30, else 25 frames per second
    int32_t delayShift = 0;
    bool operator==(const IOConfigSystem&) const = default;
};

class IOConfigImage {
  public:
    using PortMap = std::map<PortKey, PortRecord>;
    using SrcMap = std::map<PortKey, SrcRecord>;
    using GroupMap = std::map<PortKey, StructGroupedPorts>;

    static constexpr uint32_t kAttachCommand = 83;
    // Delay memory of a card in 48 kHz samples, with and without the extended memory.
    static constexpr int32_t kStandardDelayBudget = 130564;
    static constexpr int32_t kExtendedDelayBudget = 523780;
    static constexpr int kRelaysPerCard = 8;

    bool Decode(std::span<const uint8_t> block);
    CommsBlock Encode() const;

    const IOConfigSystem& System() const { return system_; }
    void SetSystem(const IOConfigSystem& system) { system_ = system; }

    // Configuration names.
    const std::string& GetDefault() const { return defaultName_; }
    const std::string& GetCurrent() const { return currentName_; }
    const std::string& GetCurrentOnDesk() const { return onDeskName_; }
    void SetDefaultName(std::string name) { defaultName_ = std::move(name); }
    void SetCurrentName(std::string name) { currentName_ = std::move(name); }
    void SetCurrentOnDeskName(std::string name) { onDeskName_ = std::move(name); }

    // Units.
    int GetInputDelayUnits() const { return inputUnits_; }
    int GetOutputDelayUnits() const { return outputUnits_; }
    void SetInputDelayUnits(int units) { inputUnits_ = units; }
    void SetOutputDelayUnits(int units) { outputUnits_ = units; }
    int GetDelayUnits(int side) const { return side ? inputUnits_ : outputUnits_; }

    // Per-port accessors: false (and the out-argument untouched) for a port without a record.
    // The three names give true only for a non-empty name.
    bool GetName(const StructIOSearch& port, std::string& out, int side) const;
    bool GetName2(const StructIOSearch& port, std::string& out, int side) const;
    bool GetScribble(const StructIOSearch& port, std::string& out, int side) const;
    bool GetNames(const StructIOSearch& port, std::string& name, std::string& name2,
                  std::string& scribble, int side) const;
    bool GetNumber(const StructIOSearch& port, int& out, int side) const;
    bool GetDither(const StructIOSearch& port, int& out, int side) const;
    bool GetRelay(const StructIOSearch& port, int& out, int side) const;
    bool GetStereo(const StructIOSearch& port, int& out, int side) const;
    // The delay in the side's units (a negative stored delay reads as 0).
    bool GetDelay(const StructIOSearch& port, int& out, int side) const;
    bool GetSRCMode(const StructIOSearch& port, int& out, int side) const;
    bool GetSRCState(const StructIOSearch& port, int& out, int side) const;
    bool GetAll(const StructIOSearch& port, PortRecord& out, int side) const;
    // True when a port other than `port`, on either side, already drives `relay`; relay 0
    // means "no relay" and is never in use.
    bool IsRelayInUse(const StructIOSearch& port, int relay, int side) const;

    // Local editors: a port without a record gets one. The changes travel with the next save.
    void SetName(const StructIOSearch& port, std::string_view text, int side);
    void SetName2(const StructIOSearch& port, std::string_view text, int side);
    void SetScribble(const StructIOSearch& port, std::string_view text, int side);
    void SetNumber(const StructIOSearch& port, int value, int side);
    void SetDither(const StructIOSearch& port, int value, int side);
    // `value` in the side's units; stored as 48 kHz samples.
    void SetDelay(const StructIOSearch& port, int value, int side);
    void SetRelay(const StructIOSearch& port, int value, int side);
    // Marks the port and its pair partner alike: a pair is stereo as a whole or not at all.
    void SetStereo(const StructIOSearch& port, int value, int side);
    void SetSRCMode(const StructIOSearch& port, int value, int side);
    void SetSRCState(const StructIOSearch& port, int value, int side);
    void Clear(const StructIOSearch& port, int side);
    void ClearSRC(const StructIOSearch& port, int side);
    // Empties the port, SRC and group maps.
    void Clear();

    // Delay conversions between 48 kHz samples and the side's units.
    int ConvertDelayFromSamples(int samples, int side) const;
    int ConvertDelayFromUnits(int value, int side) const;
    // Delay memory left, in the side's units: for the port (the other ports of its card
    // counted), for a card, for all quad MADI cards.
    int GetMaxDelay(const StructIOSearch& port, int side) const;
    int GetMaxDelay(int card, int side) const;
    int GetMaxDelay(int side) const;
    int GetQuadMADIs() const { return system_.quadMadis; }
    int GetRemoteRelays() const;
    int GetRemoteOptos() const { return GetRemoteRelays(); }

    // User names: the configured names, else the default label; `text` is the number and
    // the stereo side ("7 A", "7 AB" combined, "7 8" for a pair numbered apart). True when
    // the names came from a configuration record (the port's or its stereo partner's).
    bool GetSplitUserName(const StructIOSearch& port, std::string& name, std::string& name2,
                          std::string& text, int combined, int side) const;
    bool GetFullUserName(const StructIOSearch& port, std::string& out, int combined,
                         int side) const;

    // Port groups: a master and up to five members on the master's card.
    bool AddPortToGroup(const StructIOSearch& port);
    bool AddPortToGroup(const StructIOSearch& master, const StructIOSearch& member);
    bool RemovePortFromGroup(const StructIOSearch& port);
    bool ClearGroup(const StructIOSearch& master);
    bool IsGroupMaster(const StructIOSearch& port) const;
    bool IsPortGrouped(const StructIOSearch& port) const;
    bool GetPortGroup(const StructIOSearch& port, StructGroupedPorts& out) const;

    const PortMap& Ports(int side) const { return side ? inputPorts_ : outputPorts_; }
    const SrcMap& Srcs(int side) const { return side ? inputSrc_ : outputSrc_; }
    const GroupMap& Groups() const { return masters_; }

  private:
    PortMap& EditPorts(int side) { return side ? inputPorts_ : outputPorts_; }
    SrcMap& EditSrcs(int side) { return side ? inputSrc_ : outputSrc_; }
    const PortRecord* Find(const StructIOSearch& port, int side) const;
    PortRecord& Edit(const StructIOSearch& port, int side);
    int32_t CardBudget(int32_t card) const;
    int64_t CardDelays(int32_t card, int side, const PortKey* except) const;
    void ReleaseGroup(const PortKey& master);

    IOConfigSystem system_;
    std::string defaultName_;
    std::string currentName_;
    std::string onDeskName_;
    int inputUnits_ = kDelaySamples;
    int outputUnits_ = kDelaySamples;
    PortMap inputPorts_;
    PortMap outputPorts_;
    SrcMap inputSrc_;
    SrcMap outputSrc_;
    GroupMap masters_;
    std::map<PortKey, PortKey> members_;  // member key to its master's key
};

}  // namespace rookclient::model
