#include <objectkit/AutomationPackage.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include <objectkit/AutomationBlockFile.h>
#include <objectkit/Settings.h>
#include <objectkit/StatusMessages.h>
#include <platform/storage.h>

#include "AutomationFileFormat.h"
#include "LittleEndian.h"

using platform::storage::CompoundFile;
using platform::storage::Status;
namespace le = objectkit::le;

namespace {

// Parameter streams are small; anything far larger is not one of ours.
constexpr uint64_t kMaxPartStream = 64ull << 20;

std::vector<uint8_t> IntsToBytes(const std::vector<int32_t>& v) {
    std::vector<uint8_t> b(v.size() * 4);
    for (size_t i = 0; i < v.size(); ++i) {
        le::Put32(b.data() + 4 * i, static_cast<uint32_t>(v[i]));
    }
    return b;
}

std::vector<int32_t> BytesToInts(const std::vector<uint8_t>& b) {
    std::vector<int32_t> v(b.size() / 4);
    for (size_t i = 0; i < v.size(); ++i) {
        v[i] = static_cast<int32_t>(le::Get32(b.data() + 4 * i));
    }
    return v;
}

// Reads the part streams of a compound package. A stream the file does not hold leaves its
// part empty; one that is there but cannot be read marks the load as failed, so that a damaged
// mix is never taken for one without that part.
struct PartReader {
    CompoundFile& cf;
    bool damaged = false;

    bool Read(const std::string& name, std::vector<uint8_t>& out) {
        out.clear();
        const Status status = cf.readStream(name, out, kMaxPartStream);
        if (status == Status::Ok) {
            return true;
        }
        damaged = damaged || status != Status::NotFound;
        out.clear();
        return false;
    }
    int32_t Int(const std::string& name, int32_t fallback) {
        std::vector<uint8_t> b;
        return Read(name, b) && b.size() >= 4 ? static_cast<int32_t>(le::Get32(b.data()))
                                              : fallback;
    }
};

std::vector<uint8_t> Int32Bytes(int32_t v) {
    return IntsToBytes({v});
}

// The stream names of the parts.
std::string CtlStream(const CNamedArray& a) {
    return a.m_Name + "CtlData";
}
std::string RteStream(const CNamedArray& a) {
    return a.m_Name + "RteData";
}

bool IsBlockFile(const std::string& file) {
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) {
        return false;
    }
    char magic[8];
    const bool yes = std::fread(magic, 1, 8, f) == 8 && std::memcmp(magic, "AUTXFILE", 8) == 0;
    std::fclose(f);
    return yes;
}

}  // namespace

CAutomationPackage::CAutomationPackage() {
    for (int g = 0; g < kGroupCount; ++g) {
        const std::string n = std::to_string(g + 1);
        m_CtlGroups[0][g].m_Name = m_RteGroups[0][g].m_Name = "Grp" + n;
        m_CtlGroups[1][g].m_Name = m_RteGroups[1][g].m_Name = "GrpB" + n;
    }
    m_CtrlParmsPrefix = m_RteParmsPrefix = m_PathMapPrefix = m_LinkMapPrefix = m_GangMapPrefix =
        "Vantor";
    for (int i = 0; i < 3; ++i) {
        m_VectorDataPrefix[i] = "Vantor" + std::to_string(i + 1);
    }
}

CAutomationPackage::~CAutomationPackage() = default;

void CAutomationPackage::UseNamesOf(const CAutomationPackage& owner) {
    if (this == &owner) {
        return;
    }
    std::scoped_lock both(lock_, owner.lock_);
    for (int s = 0; s < kSetCount; ++s) {
        for (int g = 0; g < kGroupCount; ++g) {
            m_CtlGroups[s][g].m_Name = owner.m_CtlGroups[s][g].m_Name;
            m_RteGroups[s][g].m_Name = owner.m_RteGroups[s][g].m_Name;
        }
    }
    m_CtrlParmsPrefix = owner.m_CtrlParmsPrefix;
    m_RteParmsPrefix = owner.m_RteParmsPrefix;
    m_PathMapPrefix = owner.m_PathMapPrefix;
    for (int i = 0; i < 3; ++i) {
        m_VectorDataPrefix[i] = owner.m_VectorDataPrefix[i];
    }
    m_LinkMapPrefix = owner.m_LinkMapPrefix;
    m_GangMapPrefix = owner.m_GangMapPrefix;
}

void CAutomationPackage::CopyContent(const CAutomationPackage& other) {
    if (this == &other) {
        return;
    }
    std::scoped_lock both(lock_, other.lock_);
    UseNamesOf(other);
    Copy(other);
    m_FileName = other.m_FileName;
    m_AutomationSize = other.m_AutomationSize;
    for (int s = 0; s < kSetCount; ++s) {
        for (int g = 0; g < kGroupCount; ++g) {
            m_CtlGroups[s][g].m_Data = other.m_CtlGroups[s][g].m_Data;
            m_RteGroups[s][g].m_Data = other.m_RteGroups[s][g].m_Data;
        }
    }
    m_CtrlParms = other.m_CtrlParms;
    m_RteParms = other.m_RteParms;
    m_PathMap = other.m_PathMap;
    for (int i = 0; i < 3; ++i) {
        m_VectorData[i] = other.m_VectorData[i];
    }
    m_LinkMap = other.m_LinkMap;
    m_GangMap = other.m_GangMap;
    m_CutAB = other.m_CutAB;
    m_nFrameRate = other.m_nFrameRate;
    m_nConsoleType = other.m_nConsoleType;
    m_nPathCount = other.m_nPathCount;
    m_nMixPass[0] = other.m_nMixPass[0];
    m_nMixPass[1] = other.m_nMixPass[1];
}

void CAutomationPackage::ClearParts() {
    m_AutomationSize.clear();
    for (int s = 0; s < kSetCount; ++s) {
        for (int g = 0; g < kGroupCount; ++g) {
            m_CtlGroups[s][g].m_Data.clear();
            m_RteGroups[s][g].m_Data.clear();
        }
    }
    m_CtrlParms.clear();
    m_RteParms.clear();
    m_PathMap.RemoveAll();
    for (auto& v : m_VectorData) {
        v.clear();
    }
    m_LinkMap.clear();
    m_GangMap.clear();
    m_CutAB.clear();
    m_nFrameRate = m_nConsoleType = m_nPathCount = -1;
    m_nMixPass[0] = m_nMixPass[1] = -1;
}

void CAutomationPackage::Clear() {
    std::lock_guard guard(lock_);
    RemoveAll();
    ClearParts();
    m_EDLHeader = CEDLHeader{};
    m_SourceDestItems.clear();
    ClearSourcePackages();
}

int CAutomationPackage::FindSourceReel(const std::string& reel) const {
    for (size_t i = 0; i < m_SourceReels.size(); ++i) {
        if (m_SourceReels[i] == reel) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CAutomationPackage::AddSourceReel(const std::string& reel) {
    int index = FindSourceReel(reel);
    if (index < 0) {
        m_SourceReels.push_back(reel);
        m_SourcePackages.emplace_back();
        index = static_cast<int>(m_SourceReels.size()) - 1;
    }
    return index;
}

void CAutomationPackage::ClearSourcePackages() {
    m_SourceReels.clear();
    m_SourcePackages.clear();
}

int CAutomationPackage::Save(const std::string& file) {
    std::lock_guard guard(lock_);
    std::unique_ptr<CompoundFile> cf;
    if (CompoundFile::open(file, CompoundFile::Mode::ReadWrite, cf) != Status::Ok) {
        return 0;
    }
    bool ok = objectkit::files::WriteEventStreams(*cf, *this, objectkit::ReadMaxPathsMode());
    auto put = [&](const std::string& name, std::vector<uint8_t> data) {
        ok = cf->writeStream(name, std::move(data)) == Status::Ok && ok;
    };
    put("AutomationSize", IntsToBytes(m_AutomationSize));
    for (int s = 0; s < kSetCount; ++s) {
        for (int g = 0; g < kGroupCount; ++g) {
            if (!m_CtlGroups[s][g].m_Name.empty() && !m_CtlGroups[s][g].m_Data.empty()) {
                put(CtlStream(m_CtlGroups[s][g]), m_CtlGroups[s][g].m_Data);
            }
            if (!m_RteGroups[s][g].m_Name.empty() && !m_RteGroups[s][g].m_Data.empty()) {
                put(RteStream(m_RteGroups[s][g]), m_RteGroups[s][g].m_Data);
            }
        }
    }
    put(m_CtrlParmsPrefix + "CCtrlParms", m_CtrlParms);
    put(m_RteParmsPrefix + "CRteParms", m_RteParms);
    put(m_PathMapPrefix + "PathMap", IntsToBytes(m_PathMap.values));
    for (int i = 0; i < 3; ++i) {
        put(m_VectorDataPrefix[i] + "VectorData", IntsToBytes(m_VectorData[i]));
    }
    put(m_LinkMapPrefix + "LinkMap", IntsToBytes(m_LinkMap));
    put(m_GangMapPrefix + "GangMap", IntsToBytes(m_GangMap));
    put("CutAB", IntsToBytes(m_CutAB));
    put("FrameRate", Int32Bytes(m_nFrameRate));
    put("ConsoleType", Int32Bytes(m_nConsoleType));
    put("Mix Pass", IntsToBytes({m_nMixPass[0], m_nMixPass[1]}));
    return cf->close() == Status::Ok && ok ? 1 : 0;
}

int CAutomationPackage::SaveToBlockFile(const std::string& file) {
    std::lock_guard guard(lock_);
    std::string tmp = file + ".XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0) {
        return 0;
    }
    fchmod(fd, 0644);
    ::close(fd);
    bool ok;
    {
        CAutomationBlockFile blocks;
        if (!blocks.Open(tmp)) {
            unlink(tmp.c_str());
            return 0;
        }
        const int pathMode = objectkit::ReadMaxPathsMode();
        blocks.SetHeaderWord(2, static_cast<uint32_t>(pathMode));
        blocks.SetHeaderWord(3, static_cast<uint32_t>(m_nConsoleType));
        blocks.SetHeaderWord(4, static_cast<uint32_t>(m_nFrameRate));
        blocks.SetHeaderWord(5, static_cast<uint32_t>(m_nMixPass[0]));
        blocks.SetHeaderWord(6, static_cast<uint32_t>(m_nMixPass[1]));

        auto write = [&](int32_t id, const std::vector<uint8_t>& data) {
            return blocks.WriteBlock(id, data.data(), static_cast<uint32_t>(data.size()));
        };
        std::vector<uint8_t> events(static_cast<size_t>(GetSize()) *
                                    objectkit::files::kBlockRecordSize);
        for (int i = 0; i < GetSize(); ++i) {
            objectkit::files::EncodeBlockRecord(
                (*this)[i],
                events.data() + static_cast<size_t>(i) * objectkit::files::kBlockRecordSize);
        }
        ok = write(BlockEvents, events);
        if (!m_AutomationSize.empty()) {
            ok = write(BlockAutomationSize, IntsToBytes(m_AutomationSize)) && ok;
        }
        ok = write(BlockControlParams, m_CtrlParms) && ok;
        for (int g = 0; g < kGroupCount; ++g) {
            std::vector<uint8_t> group;
            le::Writer w{group};
            const std::vector<uint8_t>* parts[4] = {
                &m_CtlGroups[0][g].m_Data, &m_CtlGroups[1][g].m_Data, &m_RteGroups[0][g].m_Data,
                &m_RteGroups[1][g].m_Data};
            for (auto* p : parts) {
                w.U32(static_cast<uint32_t>(p->size()));
            }
            for (auto* p : parts) {
                w.Bytes(p->data(), p->size());
            }
            ok = write(kGroupBlockIds[g], group) && ok;
        }
        ok = write(BlockRouteParams, m_RteParms) && ok;
        ok = write(BlockPathMap, IntsToBytes(m_PathMap.values)) && ok;
        for (int i = 0; i < 3; ++i) {
            ok = write(BlockVectorData + i, IntsToBytes(m_VectorData[i])) && ok;
        }
        ok = write(BlockLinkMap, IntsToBytes(m_LinkMap)) && ok;
        ok = write(BlockGangMap, IntsToBytes(m_GangMap)) && ok;
        ok = write(BlockCutAB, IntsToBytes(m_CutAB)) && ok;
        ok = blocks.Close() && ok;
    }
    if (!ok || std::rename(tmp.c_str(), file.c_str()) != 0) {
        unlink(tmp.c_str());
        return 0;
    }
    return 1;
}

void CAutomationPackage::CopyNamesFrom(const CAutomationPackage& other) {
    for (int s = 0; s < kSetCount; ++s) {
        for (int g = 0; g < kGroupCount; ++g) {
            m_CtlGroups[s][g].m_Name = other.m_CtlGroups[s][g].m_Name;
            m_RteGroups[s][g].m_Name = other.m_RteGroups[s][g].m_Name;
        }
    }
    m_CtrlParmsPrefix = other.m_CtrlParmsPrefix;
    m_RteParmsPrefix = other.m_RteParmsPrefix;
    m_PathMapPrefix = other.m_PathMapPrefix;
    for (int i = 0; i < 3; ++i) {
        m_VectorDataPrefix[i] = other.m_VectorDataPrefix[i];
    }
    m_LinkMapPrefix = other.m_LinkMapPrefix;
    m_GangMapPrefix = other.m_GangMapPrefix;
}

// The file is read into a package of its own and taken over only when every part it lists
// was read: a damaged mix must never open as an emptier one, which the next save would then
// write over the file.
int CAutomationPackage::Load(const std::string& file) {
    std::lock_guard guard(lock_);
    CAutomationPackage loaded;
    loaded.CopyNamesFrom(*this);
    int32_t unreadableBlock = 0;
    const int result =
        IsBlockFile(file) ? loaded.LoadBlockFile(file, unreadableBlock) : loaded.LoadCompound(file);
    if (!result) {
        objectkit::PostStatusMessage(objectkit::StatusFileLoadFailed, unreadableBlock);
        return 0;
    }
    loaded.m_FileName = file;
    CopyContent(loaded);
    return 1;
}

int CAutomationPackage::LoadCompound(const std::string& file) {
    int pathMode = 0;
    if (!CAutomationEventArray::Load(file, pathMode)) {
        return 0;
    }
    std::unique_ptr<CompoundFile> cf;
    if (CompoundFile::open(file, CompoundFile::Mode::Read, cf) != Status::Ok) {
        return 0;
    }
    PartReader parts{*cf};
    std::vector<uint8_t> b;
    if (parts.Read("AutomationSize", b)) {
        m_AutomationSize = BytesToInts(b);
    }
    for (int s = 0; s < kSetCount; ++s) {
        for (int g = 0; g < kGroupCount; ++g) {
            if (!m_CtlGroups[s][g].m_Name.empty()) {
                parts.Read(CtlStream(m_CtlGroups[s][g]), m_CtlGroups[s][g].m_Data);
            }
            if (!m_RteGroups[s][g].m_Name.empty()) {
                parts.Read(RteStream(m_RteGroups[s][g]), m_RteGroups[s][g].m_Data);
            }
        }
    }
    parts.Read(m_CtrlParmsPrefix + "CCtrlParms", m_CtrlParms);
    parts.Read(m_RteParmsPrefix + "CRteParms", m_RteParms);
    if (parts.Read(m_PathMapPrefix + "PathMap", b)) {
        m_PathMap.values = BytesToInts(b);
    }
    for (int i = 0; i < 3; ++i) {
        if (parts.Read(m_VectorDataPrefix[i] + "VectorData", b)) {
            m_VectorData[i] = BytesToInts(b);
        }
    }
    if (parts.Read(m_LinkMapPrefix + "LinkMap", b)) {
        m_LinkMap = BytesToInts(b);
    }
    if (parts.Read(m_GangMapPrefix + "GangMap", b)) {
        m_GangMap = BytesToInts(b);
    }
    if (parts.Read("CutAB", b)) {
        m_CutAB = BytesToInts(b);
    }
    m_nFrameRate = parts.Int("FrameRate", -1);
    m_nConsoleType = parts.Int("ConsoleType", -1);
    if (parts.Read("Mix Pass", b) && b.size() >= 8) {
        m_nMixPass[0] = static_cast<int32_t>(le::Get32(b.data()));
        m_nMixPass[1] = static_cast<int32_t>(le::Get32(b.data() + 4));
    }
    m_nPathCount = objectkit::MaxPathCount(pathMode);
    return parts.damaged ? 0 : 1;
}

int CAutomationPackage::LoadBlockFile(const std::string& file, int32_t& unreadableBlock) {
    struct stat st {};
    if (stat(file.c_str(), &st) != 0) {
        return 0;
    }
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    CAutomationBlockFile blocks;
    if (!blocks.Open(file)) {
        return 0;
    }
    // Reads one block, trusting its stated size only as far as the file could hold it. A
    // block the directory does not list leaves its part empty; a listed block that cannot be
    // read or inflated is damage, which fails the load (the first such id is kept).
    auto damaged = [&](int32_t id) {
        unreadableBlock = unreadableBlock != 0 ? unreadableBlock : id;
        return false;
    };
    auto read = [&](int32_t id, std::vector<uint8_t>& out) {
        out.clear();
        const int index = blocks.FindBlock(id);
        if (index < 0 || blocks.Entry(index).id != id) {
            return false;
        }
        const auto& entry = blocks.Entry(index);
        const uint64_t limit =
            entry.chunks == 0
                ? fileSize
                : std::min<uint64_t>(uint64_t{entry.chunks} * CAutomationBlockFile::kChunkSize,
                                     fileSize * 1100);
        if (entry.size > limit) {
            return damaged(id);
        }
        out.resize(entry.size);
        if (!blocks.ReadBlock(index, out.data(), entry.size)) {
            out.clear();
            return damaged(id);
        }
        return true;
    };
    std::vector<uint8_t> b;
    const int pathMode = static_cast<int>(blocks.HeaderWord(2));
    if (read(BlockAutomationSize, b)) {
        m_AutomationSize = BytesToInts(b);
        const int32_t expected = kExpectedSizeCount[objectkit::ReadMaxPathsMode() == 1 ? 1 : 0];
        if (m_AutomationSize.empty() || m_AutomationSize[0] != expected) {
            return 0;  // written for the other path layout
        }
    }
    if (read(BlockEvents, b)) {
        const size_t count = b.size() / objectkit::files::kBlockRecordSize;
        if (count > static_cast<size_t>(INT_MAX)) {
            return 0;
        }
        SetSize(static_cast<int>(count));
        for (size_t i = 0; i < count; ++i) {
            objectkit::files::DecodeBlockRecord(b.data() + i * objectkit::files::kBlockRecordSize,
                                                (*this)[static_cast<int>(i)]);
        }
    }
    read(BlockControlParams, m_CtrlParms);
    for (int g = 0; g < kGroupCount; ++g) {
        if (!read(kGroupBlockIds[g], b)) {
            continue;
        }
        // Four lengths, then the four arrays: lengths that do not add up to the block are a
        // damaged block like one that cannot be read.
        uint64_t total = 16;
        for (int p = 0; p < 4 && b.size() >= 16; ++p) {
            total += le::Get32(b.data() + 4 * p);
        }
        if (b.size() < 16 || total != b.size()) {
            damaged(kGroupBlockIds[g]);
            continue;
        }
        std::vector<uint8_t>* parts[4] = {&m_CtlGroups[0][g].m_Data, &m_CtlGroups[1][g].m_Data,
                                          &m_RteGroups[0][g].m_Data, &m_RteGroups[1][g].m_Data};
        size_t at = 16;
        for (int p = 0; p < 4; ++p) {
            const size_t length = le::Get32(b.data() + 4 * p);
            parts[p]->assign(b.begin() + static_cast<std::ptrdiff_t>(at),
                             b.begin() + static_cast<std::ptrdiff_t>(at + length));
            at += length;
        }
    }
    read(BlockRouteParams, m_RteParms);
    if (read(BlockPathMap, b)) {
        m_PathMap.values = BytesToInts(b);
    }
    for (int i = 0; i < 3; ++i) {
        if (read(BlockVectorData + i, b)) {
            m_VectorData[i] = BytesToInts(b);
        }
    }
    if (read(BlockLinkMap, b)) {
        m_LinkMap = BytesToInts(b);
    }
    if (read(BlockGangMap, b)) {
        m_GangMap = BytesToInts(b);
    }
    if (read(BlockCutAB, b)) {
        m_CutAB = BytesToInts(b);
    }
    m_nConsoleType = static_cast<int32_t>(blocks.HeaderWord(3));
    m_nFrameRate = static_cast<int32_t>(blocks.HeaderWord(4));
    m_nMixPass[0] = static_cast<int32_t>(blocks.HeaderWord(5));
    m_nMixPass[1] = static_cast<int32_t>(blocks.HeaderWord(6));
    m_nPathCount = objectkit::MaxPathCount(pathMode);
    blocks.Close();
    return unreadableBlock == 0 ? 1 : 0;
}
