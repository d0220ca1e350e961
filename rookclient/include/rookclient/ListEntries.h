// What a list object's proxy keeps of the list: the names of its entries and one word of data
// per entry. A client's OnLinkIn fills it from the server's pushes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rookclient {

struct ListEntries {
    std::vector<std::string> names;
    std::vector<uint32_t> data;

    // The name of entry `index`; empty for an index outside the list.
    std::string Name(int index) const {
        return index >= 0 && static_cast<size_t>(index) < names.size() ? names[index]
                                                                       : std::string();
    }
};

}  // namespace rookclient
