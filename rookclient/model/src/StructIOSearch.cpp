#include "rookclient/model/StructIOSearch.h"

#include <algorithm>
#include <cstring>

namespace rookclient::model {

std::string_view StructIOSearch::Text() const {
    return {text, strnlen(text, sizeof text)};
}

void StructIOSearch::SetText(std::string_view value) {
    std::fill(std::begin(text), std::end(text), '\0');
    std::memcpy(text, value.data(), std::min(value.size(), sizeof text));
}

}  // namespace rookclient::model
