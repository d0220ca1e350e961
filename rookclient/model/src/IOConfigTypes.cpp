#include "rookclient/model/IOConfigTypes.h"

#include <algorithm>
#include <cstring>

namespace rookclient::model {

std::string_view StructIOSearch::Label() const {
    const auto* end = std::find(label.begin(), label.end(), '\0');
    return {label.data(), static_cast<size_t>(end - label.begin())};
}

void StructIOSearch::SetLabel(std::string_view text) {
    label.fill('\0');
    std::memcpy(label.data(), text.data(), std::min(text.size(), label.size()));
}

}  // namespace rookclient::model
