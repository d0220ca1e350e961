// The gang of every path, as the client gives it to a gang data proxy: entry p is the gang of
// path p, a negative entry leaves the path out of every gang.
#pragma once

#include <algorithm>
#include <set>
#include <vector>

namespace rookclient {

class GangMap {
  public:
    void SetPathMap(std::vector<int> gangOfPath) { gangOfPath_ = std::move(gangOfPath); }
    // How many different gangs the paths belong to.
    int NumberOfGangs() const {
        std::set<int> gangs;
        for (int gang : gangOfPath_) {
            if (gang >= 0) {
                gangs.insert(gang);
            }
        }
        return static_cast<int>(gangs.size());
    }

  private:
    std::vector<int> gangOfPath_;
};

}  // namespace rookclient
