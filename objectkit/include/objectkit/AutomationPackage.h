// A mix's automation with everything the mix needs besides its events: parameter groups,
// console parameters, maps, the cut A/B list, frame rate, console type, mix pass, the EDL of
// its last conform and the packages of that EDL's source reels.
//
// A package is stored either in a compound file (the event streams of the array and one
// stream per part) or in an "AUTXFILE" block file (fixed block ids). Save, load and clear take
// the package's lock, so one package may be saved on one thread while another waits to load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <objectkit/AutomationEventArray.h>
#include <objectkit/EDL.h>
#include <objectkit/PathMap.h>

// An array of the console's records, named by the owner; the name gives its stream name.
struct CNamedArray {
    std::string m_Name;
    std::vector<uint8_t> m_Data;  // the records as the console lays them out
    bool operator==(const CNamedArray&) const = default;
};

class CAutomationPackage : public CAutomationEventArray {
  public:
    static constexpr int kGroupCount = 8;
    static constexpr int kSetCount = 2;

    // Block ids of the block-file form.
    enum BlockId : int32_t {
        BlockEvents = 1,           // 16-byte event records
        BlockControlParams = 17,   // control parameters (16-bit values)
        BlockAutomationSize = 20,  // the automation size list (int32)
        BlockRouteParams = 30,
        BlockPathMap = 31,
        BlockVectorData = 32,  // 32, 33, 34
        BlockLinkMap = 35,
        BlockGangMap = 36,
        BlockCutAB = 37,
    };
    // The block of parameter group g (0-7): both sets of its control-parameter and route
    // arrays, after four uint32 lengths (control set 1, control set 2, route set 1, route
    // set 2).
    static constexpr int32_t kGroupBlockIds[kGroupCount] = {2, 4, 6, 9, 15, 11, 13, 21};
    // The first value of the automation size list for max paths mode 0 and 1.
    static constexpr int32_t kExpectedSizeCount[2] = {18, 25};
    // Record sizes of the control-parameter arrays (group "CtlData" arrays and CCtrlParms) and
    // of the route arrays (group "RteData" arrays and CRteParms); record p belongs to path p.
    static constexpr size_t kControlRecordSize = 124;
    static constexpr size_t kRouteRecordSize = 20;

    CAutomationPackage();
    ~CAutomationPackage() override;
    CAutomationPackage(const CAutomationPackage&) = delete;
    CAutomationPackage& operator=(const CAutomationPackage&) = delete;

    // Every part, events included, as the stored forms carry them (not the lock, the EDL
    // items or the source packages).
    void CopyContent(const CAutomationPackage& other);
    // Takes the names under which `owner` stores its parts: the group names and the prefixes
    // of the other parts. The compound form finds its streams by these names, so a package
    // of the owner's is read with them.
    void UseNamesOf(const CAutomationPackage& owner);

    // The compound-file form; the file's other streams are kept. 1 on success, 0 on failure.
    int Save(const std::string& file);
    // The block-file form, written to a temporary file and renamed into place.
    int SaveToBlockFile(const std::string& file);
    // Reads either form (a file starting with "AUTXFILE" is a block file). Parts the file
    // does not hold are left empty. 1 on success. 0 on failure, which includes a part the file
    // holds but that cannot be read or inflated: the package is then left as it was and a
    // StatusFileLoadFailed notice is posted.
    int Load(const std::string& file);
    // Mix pass and the other integers to -1, every array emptied, events included.
    void Clear();

    std::recursive_mutex& Lock() const { return lock_; }

    // The paths of the mix (-1 = not known).
    int PathCount() const { return m_nPathCount; }

    // Source reels of the last conform, with their packages (null until loaded).
    int FindSourceReel(const std::string& reel) const;
    int AddSourceReel(const std::string& reel);
    void ClearSourcePackages();

    std::string m_FileName;
    std::vector<int32_t> m_AutomationSize;
    CNamedArray m_CtlGroups[kSetCount][kGroupCount];
    CNamedArray m_RteGroups[kSetCount][kGroupCount];
    std::vector<uint8_t> m_CtrlParms;  // CCtrlParms records
    std::string m_CtrlParmsPrefix;
    std::vector<uint8_t> m_RteParms;  // CRteParms records
    std::string m_RteParmsPrefix;
    CPathMap m_PathMap;
    std::string m_PathMapPrefix;
    std::vector<int32_t> m_VectorData[3];
    std::string m_VectorDataPrefix[3];
    std::vector<int32_t> m_LinkMap;
    std::string m_LinkMapPrefix;
    std::vector<int32_t> m_GangMap;
    std::string m_GangMapPrefix;
    std::vector<int32_t> m_CutAB;
    int32_t m_nFrameRate = -1;
    int32_t m_nConsoleType = -1;
    int32_t m_nPathCount = -1;
    int32_t m_nMixPass[2] = {-1, -1};

    CEDLHeader m_EDLHeader;
    std::vector<CSourceDestItem> m_SourceDestItems;
    std::vector<std::string> m_SourceReels;
    std::vector<std::unique_ptr<CAutomationPackage>> m_SourcePackages;

  private:
    // Both read into a freshly constructed package, whose part names were copied first.
    int LoadCompound(const std::string& file);
    // Sets unreadableBlock to the id of the first listed block that could not be read.
    int LoadBlockFile(const std::string& file, int32_t& unreadableBlock);
    void CopyNamesFrom(const CAutomationPackage& other);
    void ClearParts();

    mutable std::recursive_mutex lock_;
};
