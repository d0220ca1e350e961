// Key paths and names: splitting, checking and case folding.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <platform/registry.h>

namespace platform::registry::detail {

// Longest key name component and longest value name that the registry keeps.
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxValueNameLength = 16383;

// Splits a backslash-separated subpath into its components. An empty path gives no components.
// One trailing backslash is tolerated ("Software\" is "Software"); a leading backslash, an empty
// component, a component over kMaxKeyNameLength or one holding a control character is
// InvalidPath.
Status splitKeyPath(std::string_view path, std::vector<std::string_view>& parts);

// Value names may be empty (the key's default value) but not over-long or hold a NUL.
Status checkValueName(std::string_view name);

// Keys and value names compare without regard to ASCII case.
std::string foldCase(std::string_view text);

// Joins a parent path and a child name with a backslash; an empty parent is the hive root.
std::string joinPath(std::string_view parent, std::string_view child);

}  // namespace platform::registry::detail
