// The image of the server object "CurrentConsoleSetupRook": how many paths of each type the
// current console setup has, what the user named them, the setup's name and its dynamics
// links; and the path questions the rest of the system asks of it.
//
// Pushed block (little-endian, after the 16-byte header):
//   16   200 bytes        name of the current console setup
//   216  u32              number of path types in the path map (0-13)
//   220  13 x u32         paths of each type, by type index (entries past the number unused)
//   272  u32              number of path names n (0-500)
//   276  u32              number of dynamics links L (0-100)
//   280  n x 201 bytes    path names by global path number
//   then L records        u32 count c (0-499), then c x i32 global path numbers
// A block whose counts are out of range or do not fit the bytes that arrived is ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "rookclient/model/CommsBlock.h"

namespace rookclient::model {

class CurrentConsoleSetupImage {
  public:
    static constexpr size_t kMaxPaths = 500;
    static constexpr size_t kMaxLinks = 100;
    static constexpr size_t kMaxLinkedPaths = 499;
    static constexpr size_t kSetupNameWidth = 200;
    static constexpr size_t kPathNameWidth = 201;
    static constexpr uint32_t kAttachCommand = 29;

    // Replaces the whole image from a pushed block; a malformed block changes nothing and
    // gives false.
    bool Decode(std::span<const uint8_t> block);
    // The image as the server pushes it.
    CommsBlock Encode() const;

    // Filling the image directly (the server side and tests).
    void SetPathNames(std::vector<std::string> names) { pathNames_ = std::move(names); }
    void SetMixSetup(std::string name) { mixSetup_ = std::move(name); }
    void SetPathMap(std::vector<int> totals) { pathMap_ = std::move(totals); }
    void SetDynamicsLinks(std::vector<std::vector<int32_t>> links) { links_ = std::move(links); }

    const std::vector<int>& GetPathMap() const { return pathMap_; }
    const std::string& GetMixSetup() const { return mixSetup_; }
    // The type's entry of the path map, 0 for a type outside it.
    int GetTypeTotal(int type) const;
    int GetTotalPaths() const;
    // Global number of the type's first path: the totals of all types that come before it in
    // the global numbering. 0 for a type outside 0-12.
    int GetOffset(int type) const;
    // The type whose range holds `path`, -1 when none does.
    int GetPathType(int path) const;
    // The user's name of the path, "????" for a number outside the names.
    std::string GetPathName(int path) const;
    void GetNamesOfType(int type, std::vector<std::string>& names, std::vector<int>& paths) const;
    // Default name of path `number` (1-based) of `type`, for the console type in the
    // console settings (read once per process, the first time a group is named).
    std::string GetDefaultName(int type, int number) const;
    // Default name of a global path number; empty for a path of no type.
    void GetDefaultName(int path, std::string& out) const;
    // Positions within `type` (0-based) of the paths of dynamics link `link`; 0 and an empty
    // list when the link's first path is of another type or the link does not exist.
    int GetDynamicsLink(int type, int link, std::vector<int>& paths) const;

  private:
    std::vector<std::string> pathNames_;
    std::string mixSetup_;
    std::vector<int> pathMap_;
    std::vector<std::vector<int32_t>> links_;
};

}  // namespace rookclient::model
