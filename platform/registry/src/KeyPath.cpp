#include "KeyPath.h"

namespace platform::registry::detail {

Status splitKeyPath(std::string_view path, std::vector<std::string_view>& parts) {
    parts.clear();
    if (path.empty()) {
        return Status::Ok;
    }
    if (path.back() == '\\') {
        path.remove_suffix(1);
        if (path.empty()) {
            return Status::InvalidPath;
        }
    }
    size_t start = 0;
    while (true) {
        size_t end = path.find('\\', start);
        std::string_view part = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part.empty() || part.size() > kMaxKeyNameLength) {
            parts.clear();
            return Status::InvalidPath;
        }
        for (unsigned char c : part) {
            if (c < 0x20 || c == 0x7f) {
                parts.clear();
                return Status::InvalidPath;
            }
        }
        parts.push_back(part);
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return Status::Ok;
}

Status checkValueName(std::string_view name) {
    if (name.size() > kMaxValueNameLength || name.find('\0') != std::string_view::npos) {
        return Status::InvalidPath;
    }
    return Status::Ok;
}

std::string foldCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string joinPath(std::string_view parent, std::string_view child) {
    std::string out;
    out.reserve(parent.size() + child.size() + 1);
    out.append(parent);
    if (!parent.empty()) {
        out.push_back('\\');
    }
    out.append(child);
    return out;
}

}  // namespace platform::registry::detail
