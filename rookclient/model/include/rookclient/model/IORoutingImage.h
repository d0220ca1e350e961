// The I/O routing image of the "IORoutingRook" proxy (and of its offline twin): which rack,
// card and port feeds each path's input, outputs and inserts, which ports each rack has, and
// the paths' stereo flag, type and name. Decodes the pushed block, walks and names ports,
// finds the users of a port, applies the film rules, and builds the routing commands.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rookclient/model/AutomationBlocks.h"
#include "rookclient/model/CommsBlock.h"
#include "rookclient/model/StructIOSearch.h"

namespace rookclient::model {

// The notice posted to the client window when a routing image arrived.
inline constexpr std::string_view kRoutingInformationReady = "Routing Information Ready";

struct RouteEntry {
    uint8_t rack = 0;
    uint8_t card = 0;
    uint8_t port = 0;
    uint8_t routed = 0;  // 1 = routed

    bool Is(int r, int c, int p) const {
        return routed == 1 && rack == r && card == c && port == p;
    }
};

class IORoutingImage {
  public:
    static constexpr int kMaxRacks = 12;
    static constexpr int kMaxPaths = 500;
    static constexpr int kSides = 3;
    static constexpr int kPairsPerRack = 28;
    static constexpr int kSlots = 5;
    static constexpr int kRackTypes = 16;
    static constexpr int kGroups = 7;  // input, two outputs, two insert sends and returns
    static constexpr int kLegs = 2;
    static constexpr size_t kBlockSize = 41036;
    static constexpr size_t kRoutingTableAt = 28;
    static constexpr size_t kRoutingTableSize = size_t{kMaxPaths} * kGroups * kLegs * 4;
    static constexpr size_t kFmdiModeAt = 28028;
    static constexpr uint32_t kAttach = 67;
    static constexpr uint32_t kSetIORouting = 68;
    static constexpr uint32_t kSetIORoute = 69;
    static constexpr uint32_t kSetFMDIMode = 158;
    static constexpr uint32_t kFlushRouting = 165;
    static constexpr uint32_t kOfflineAttach = 316;
    static constexpr WindowHandle kBroadcastWindow = 0xFFFF;
    static constexpr int kFilmPathType = 10;

    struct SlotDescriptor {
        uint32_t firstPair = 0;
        uint32_t inputPairs = 0;
        uint32_t outputPairs = 0;
        uint32_t spare[2] = {};
    };

    // The pushed image. With the online mode off the block is ignored. A block shorter than
    // the image, or whose stated size is not its real size, is ignored and changes nothing.
    // Returns true when the client window is to be told ("Routing Information Ready"): an
    // image was taken and it holds paths.
    bool OnLinkIn(std::span<const uint8_t> block);

    // Commands. The attach forms remember the window that later commands report to.
    CommsBlock IOAttach(WindowHandle window);
    // The stored routing's name at 573, cut where the next field of this block size begins.
    CommsBlock OfflineIOAttach(std::string_view name, WindowHandle window);
    CommsBlock SetIORouting() const;
    // Online: the command block. Offline: the route is written into the local table and
    // nothing is sent (nullopt); the client window is then told as after a push.
    std::optional<CommsBlock> SetIORoute(RouteEntry route, int group, int path, int entry);
    // A block only when the mode changes; the mode is stored either way.
    std::optional<CommsBlock> SetFMDIMode(int mode);
    static CommsBlock FlushRouting();
    void SetOnLineMode(int mode) { onlineMode_ = mode; }
    int GetOnLineMode() const { return onlineMode_; }
    WindowHandle ClientWindow() const { return clientWindow_; }

    // Port walks: each fills rack, card, port and the name of the search record and returns
    // true, or false at the end.
    bool GetFirstRack(StructIOSearch& search) const;
    bool GetNextRack(StructIOSearch& search) const;
    bool GetNextPort(StructIOSearch& search) const;
    bool GetNextIO(StructIOSearch& search, int step) const;
    bool GetNextIOForAllocation(StructIOSearch& search) const;
    void GetInputNames(std::vector<StructIOSearch>& list, int32_t tag) const;
    void GetOutputNames(std::vector<StructIOSearch>& list, int32_t tag) const;
    void GetMikeLineNames(std::vector<StructIOSearch>& list, int32_t tag) const;

    void GetName(StructIOSearch& search) const;
    std::string GetName(int path, int side, int rack, int card, int port) const;
    bool GetInput(int path, StructIOSearch& search, int entry) const;
    bool GetOutput(int path, int output, StructIOSearch& search, int entry) const;
    bool GetInsertInput(int path, int insert, StructIOSearch& search, int entry) const;
    bool GetInsertOutput(int path, int insert, StructIOSearch& search, int entry) const;
    // The card type of the search's port pair (0-4; anything else reads 0) and its name.
    int GetCard(const StructIOSearch& search) const;
    int GetCard(const StructIOSearch& search, std::string& name) const;
    static std::string_view CardName(int cardType);
    bool GetSRCChannels(const StructIOSearch& search, int& count) const;

    bool IsOutputInUse(int rack, int card, int port, int& where) const;
    bool IsInputInUse(int rack, int card, int port, std::vector<int>& list) const;
    bool IsInputInUse(const StructIOSearch& search, std::vector<int>& list) const;
    // Asks for the search's port and then for its partner; the search is left on the partner
    // when the first question found nothing.
    bool IsInputInUse(StructIOSearch& search, std::vector<int>& list, int& pair) const;

    int GetNumberOfRacks() const { return numRacks_; }
    int GetNumberOfPaths() const { return numPaths_; }
    uint32_t GetThirdWord() const { return thirdWord_; }
    std::string GetPathName(int path) const;
    int GetPathType(int path) const;
    bool IsPathStereo(int path) const;
    bool NeedsStereoPair(int path) const;
    // The film type of a film path, -1 for a path outside the film slots.
    int GetFilmType(int path) const;
    int GetFMDIMode() const { return fmdiMode_; }
    int GetFilmTotals() const { return filmTotalCode_; }
    int GetIntFilmTotal() const;
    bool IsFilmInsertRoutable(int path, int kind) const;
    void SetNumberOfFilms(int count);
    int GetFirstFilmPath() const { return firstFilmPath_; }
    const RouteEntry* Route(int path, int group, int entry) const;

  private:
    struct PathInfo {
        bool stereo = false;
        int type = 0;
        std::string name;
    };
    using PathRoutes = std::array<std::array<RouteEntry, kLegs>, kGroups>;

    bool Present(int rack, int side, int pair) const;
    const SlotDescriptor* Slot(int rack, int slot) const;
    int PairCount(int rack, int slot, int side) const;
    bool Scan(StructIOSearch& search, int rack, int slot, int64_t port, int step) const;
    bool StereoForNaming(int path, int side) const;
    void WalkSide(std::vector<StructIOSearch>& list, int32_t tag, int side) const;
    bool RouteToSearch(int path, int group, int side, StructIOSearch& search, int entry) const;
    bool AnyUse(int rack, int card, int port, std::span<const int> groups, bool skipSels,
                std::vector<int>* list, int* where) const;

    int onlineMode_ = 1;
    WindowHandle clientWindow_ = kBroadcastWindow;
    int numRacks_ = 0;
    int numPaths_ = 0;
    uint32_t thirdWord_ = 0;
    std::vector<PathRoutes> routes_ = std::vector<PathRoutes>(kMaxPaths);
    int fmdiMode_ = 0;
    uint8_t presence_[kMaxRacks][kSides][kPairsPerRack] = {};
    uint8_t cardTypes_[kMaxRacks][kPairsPerRack] = {};
    uint8_t rackTypes_[kMaxRacks] = {};
    uint32_t srcChannels_[kMaxRacks] = {};
    SlotDescriptor descriptors_[kRackTypes][kSlots] = {};
    std::vector<PathInfo> paths_ = std::vector<PathInfo>(kMaxPaths);
    int filmTotalCode_ = 5;
    int firstFilmPath_ = 0;
};

}  // namespace rookclient::model
