// The mix setup (desk design) of the "MixSetupExtendedRook" proxy: how many paths of each
// type the console has, their names and processing, priorities, solo, automation, stems,
// pre-dubs, dynamics links and the fader banks. Decoded from the pushed block, edited locally,
// checked, and sent back whole by Create or Save.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rookclient/model/AutomationBlocks.h"
#include "rookclient/model/CommsBlock.h"

namespace rookclient::model {

// The notice posted to the notify window when a mix setup arrived.
inline constexpr std::string_view kMsuCreated = "MSU Created";
// What the event log is told when a pre-dub master mixes DRC with other dynamics.
inline constexpr std::string_view kPdmMixedDynamicsWarning =
    "The PDM has a mixture of DRC and other dynamics. This may cause the desk to crash !";

class MixSetupImage {
  public:
    static constexpr int kTypes = 13;     // path types 0-12, counted in the block
    static constexpr int kSubsType = 13;  // the subs, which follow the counted paths
    static constexpr int kBlockPaths = 500;
    static constexpr int kProcSlots = 11;
    static constexpr uint8_t kNoProcess = 255;  // an empty processing slot
    static constexpr int kLinks = 100;
    static constexpr int kMaxLinkPaths = 499;
    static constexpr int kPreDubs = 48;
    static constexpr int kPreDubEntries = 8;
    static constexpr int kPreDubsPerZone = 16;
    static constexpr int kBanks = 6;
    static constexpr int kBankParts = 4;
    static constexpr int kBankSlots = 160;
    // Stem contents: 648 bytes, eight stems of an 81-byte path bitmap each (bit p % 8 of byte
    // p / 8 is path p).
    static constexpr int kStems = 8;
    static constexpr int kStemBytes = 81;
    static constexpr int kNoPath = -1;  // an empty channel map slot or pre-dub entry
    static constexpr size_t kBlockSize = 154560;
    static constexpr uint32_t kGet = 22;
    static constexpr uint32_t kCreate = 56;
    static constexpr uint32_t kSave = 57;
    static constexpr uint32_t kLoadProcessList = 75;
    static constexpr size_t kRequestBlockSize = 109452;

    // Dynamics-link errors (GetLastDynamicsLinkError).
    static constexpr int kNoError = 0;
    static constexpr int kNoDynamics = -1;
    static constexpr int kInAnotherLink = -2;
    static constexpr int kStereo = -3;
    static constexpr int kNotContiguous = -4;
    static constexpr int kDifferentDynamics = -5;
    static constexpr int kUnlinkableDynamics = -6;
    static constexpr int kBadLinkArgument = -7;  // no such link or path ("Unknown Error")

    using ProcList = std::array<uint8_t, kProcSlots>;

    // consoleType decides the default names and the pre-dub zones; maxPaths (256 or 500) is
    // the number of paths the setup can hold.
    MixSetupImage(int consoleType, int maxPaths);

    // The pushed image. A block shorter than the image or whose stated size is not its real
    // size is ignored and changes nothing. Returns true when the notify window is to be told
    // ("MSU Created").
    bool OnLinkIn(std::span<const uint8_t> block);

    // Commands.
    // The attach: name at 16 (200 bytes at most), value at 106912.
    static CommsBlock Get(std::string_view name, int32_t value);
    // Reads a processing list set; its argument record is the attach's (name, value), laid out
    // as the attach lays it out.
    static CommsBlock LoadProcessList(std::string_view name, int32_t value);
    // The whole setup; the window becomes the notify window and the MSU name is stored.
    CommsBlock Create(std::string_view msuName, WindowHandle window);
    // The whole setup under `name` (at 103016); the window becomes the notify window.
    CommsBlock Save(std::string_view name, WindowHandle window);
    CommsBlock SaveAs(std::string_view name, WindowHandle window) { return Save(name, window); }
    CommsBlock Encode(uint32_t command, WindowHandle window) const;
    WindowHandle NotifyWindow() const { return notifyWindow_; }

    // Counts. A count that would take the setup past its path limit is refused (false).
    // Growing a type adds cleared paths at the type's end, shrinking removes its last paths;
    // every path number held elsewhere (channel map, pre-dubs, stems, links) follows.
    bool SetNumType(int type, int count);
    int GetNum(int type) const;
    int GetTotalPaths() const;
    int GetNumFaders() const { return GetTotalPaths(); }
    int GetNumSubs() const;
    int GetOffset(int type) const;
    int GetPathType(int path) const;
    int MaxPaths() const { return maxPaths_; }
    // Removes one path (index within its type) and closes the gap.
    bool RemoveType(int type, int index);
    int GetNumMixMinusOutputs() const { return numMixMinus_; }
    void SetNumMixMinusOutputs(int count) { numMixMinus_ = count < 0 ? 0 : count; }
#define ROOK_MIX_SETUP_COUNT(Name, type) \
    bool SetNum##Name(int count) {       \
        return SetNumType(type, count);  \
    }                                    \
    int GetNum##Name() const {           \
        return GetNum(type);             \
    }                                    \
    bool Remove##Name(int index) {       \
        return RemoveType(type, index);  \
    }
    ROOK_MIX_SETUP_COUNT(Channels, 0)
    ROOK_MIX_SETUP_COUNT(Groups, 1)
    ROOK_MIX_SETUP_COUNT(Mains, 2)
    ROOK_MIX_SETUP_COUNT(Auxes, 3)
    ROOK_MIX_SETUP_COUNT(Listens, 4)
    ROOK_MIX_SETUP_COUNT(Talkbacks, 5)
    ROOK_MIX_SETUP_COUNT(Sels, 6)
    ROOK_MIX_SETUP_COUNT(Tracks, 7)
    ROOK_MIX_SETUP_COUNT(Cues, 8)
    ROOK_MIX_SETUP_COUNT(Externals, 9)
    ROOK_MIX_SETUP_COUNT(Films, 10)
    ROOK_MIX_SETUP_COUNT(FilmListens, 11)
    ROOK_MIX_SETUP_COUNT(PreDubDummyMasters, 12)
#undef ROOK_MIX_SETUP_COUNT

    // Names.
    std::string GetName(int path, bool longName) const;
    void SetName(int path, std::string_view shortName, std::string_view longName);
    void GetNamesOfType(int type, std::vector<std::string>& names, std::vector<int>& paths) const;
    std::string GetDefaultName(int type, int n) const;
    std::string GetBankName(int bank) const;
    void SetBankName(int bank, std::string_view name);
    const std::string& GetMSUName() const {
        return msuName_;
    }
    void SetMSUName(std::string_view name) {
        msuName_ = name;
    }
    static std::string GetDefaultMSUName() {
        return "Default";
    }
    const std::string& GetMixSetupName() const {
        return mixSetupName_;
    }

    // Per-path attributes (global path numbers; paths outside the setup read 0).
    int GetPriority(int path) const;
    void SetPriority(int path, int value);
    int GetSoloInhibit(int path) const;
    void SetSoloInhibit(int path, int value);
    int GetDisabled(int path) const;
    void SetDisabled(int path, int value);
    int GetAutomated(int path) const;
    void SetAutomated(int path, int value);
    // The surround designator is the per-path word.
    int GetSurroundDesignator(int path) const;
    void SetSurroundDesignator(int path, int value);
    // Film index 0 and 1 (the two film index fields of the setup).
    int GetFilmIndex(int which) const;
    void SetFilmIndex(int which, int value);
    int32_t GetPathValue(int path) const;
    ProcList GetProcList(int path) const;
    void SetProcList(int path, std::span<const uint8_t> codes);
    // The processing list without its empty slots.
    std::vector<uint8_t> GetDisplayProcList(int path) const;
    int GetProcListCount(int path) const;
    void SetDefaultProcList(int type, std::span<const uint8_t> codes);
    ProcList GetDefaultProcList(int type) const;

    // Pre-dubs (Pre-dub rules in MixSetupPreDubs.cpp).
    bool AddPathToPreDub(int predub, int path);
    bool RemovePathFromPreDub(int predub, int path);
    // The pre-dub that holds the path, or -1.
    int IsPathInPreDub(int path) const;
    std::vector<int> GetPreDubContents(int predub) const;
    int GetNumberOfPathsInPreDub(int predub) const;
    std::vector<int> GetListOfPredubs() const;
    void PackPreDubs();
    void SetPreDubZones(uint8_t first, uint8_t second, uint8_t third);
    int GetPreDubZone(int predub) const;
    bool IsInPreDubZone(int predub) const;
    bool IsPreDubable(int path) const;
    int GetPreDubMaster(int predub) const;
    // Gives the pre-dub's master the processing of its members. Returns false when the members
    // mix DRC with other dynamics (the caller logs kPdmMixedDynamicsWarning); the master is
    // built either way.
    bool CreatePredubMasterProcesses(int predub);
    bool VerifyPredubDynamics(int predub) const;

    // Stems: eight stems, each a set of paths.
    bool AddToStem(int stem, int path);
    void ClearStem(int stem);
    void ClearAllStems();
    bool IsInStem(int stem, int path) const;
    std::vector<int> GetStemContents(int stem) const;

    // Channel map: 6 banks of 4 parts of 160 slots, each a path number or kNoPath.
    int GetChannelMapPath(int bank, int part, int slot) const;
    void SetChannelMapPath(int bank, int part, int slot, int path);
    std::vector<int> GetChannelMapBankPaths(int bank, int part) const;
    void SetChannelMapBankPaths(int bank, int part, std::span<const int> paths);
    std::string GetChannelMapPathName(int bank, int part, int slot) const;
    void ClearChannelMap();
    void ClearChannelMapPath(int path);
    bool FindPathInChannelMap(int path, int& bank, int& part, int& slot) const;
    bool FindPathInDifferentBankPart(int path, int bank, int part) const;

    // Dynamics links.
    bool AddPathToDynamicsLink(int link, int type, int index);
    void ClearDynamicsLink(int link);
    std::vector<int> GetDynamicsLink(int link) const;
    bool IsDynamicsLinked(int path) const;
    int GetNextDynamicsLinkNumber() const;
    bool VerifyDynamicsLink(int link);
    bool VerifyDynamicsLinks(int clear);
    int GetLastDynamicsLinkError() const {
        return lastLinkError_;
    }
    static std::string_view DynamicsLinkErrorText(int error);
    // 0 unlinked, 1 first path of its link, 2 a middle path, 3 the last path.
    int GetLinkedDynamicsIcon(int path) const;

    // Clearing: one path (index within its type; type 13 = the subs), a whole type, or all.
    void Clear(int type, int index);
    void Clear(int type);
    void Clear();
    bool IsDeskDesignValid() const;
    int GetTimeslotsUsed() const;

  private:
    struct MixPath {
        std::string shortName;
        std::string longName;
        ProcList procs;
        uint16_t word = 0;
        uint8_t soloInhibit = 0;
        uint8_t disabled = 0;
        uint8_t automated = 1;
        uint8_t priority = 0;
        int32_t value = 0;
        std::array<uint8_t, 8> film{};
        MixPath() { procs.fill(kNoProcess); }
    };

    bool ValidPath(int path) const {
        return path >= 0 && path < maxPaths_;
    }
    MixPath* At(int path);
    const MixPath* At(int path) const;
    void ClearPath(int path, int type);
    // Moves every held path number through `map` (which gives kNoPath for a removed path).
    template <typename Map>
    void Renumber(Map move);
    bool Reshape(int type, int at, int delta);
    int LinkError(int link) const;
    bool LinkContiguousWith(int link, int path) const;
    void DecodeLinks(const BlockReader& r);
    void EncodeLinks(CommsBlock& block) const;
    uint8_t& StemByte(int stem, int path);

    int consoleType_;
    int maxPaths_;
    std::vector<MixPath> paths_;
    std::array<int, kTypes> counts_{};
    std::array<ProcList, kTypes> defaultProcs_;
    std::string mixSetupName_;
    std::string msuName_;
    std::array<uint32_t, 4> auxLayout_{};
    std::vector<int32_t> channelMap_;  // bank, part, slot
    std::array<uint8_t, kStemBytes * kStems> stems_{};
    std::array<uint32_t, 2> setupValues_{};
    std::array<std::array<int32_t, kPreDubEntries>, kPreDubs> preDubs_;
    std::array<uint32_t, 4> externalBreakdown_{};
    std::array<int32_t, 2> filmIndex_{};
    std::array<std::string, kBanks> bankNames_;
    uint32_t deskSetupType_ = 0;
    int numMixMinus_ = 0;
    std::vector<std::vector<int>> links_;
    std::array<uint8_t, 3> preDubZones_{};
    WindowHandle notifyWindow_ = 0;
    int lastLinkError_ = 0;
};

}  // namespace rookclient::model
