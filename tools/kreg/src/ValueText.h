// Conversions between registry values and the text forms of the registry tool.
#pragma once

#include <platform/registry.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kreg {

// "REG_SZ" and the other type names the tool accepts (case-insensitive).
std::optional<platform::registry::ValueType> ParseTypeName(std::string_view name);
const char* TypeName(platform::registry::ValueType type);

// Builds the bytes of a value from the command-line data; an error text on bad data.
bool EncodeValue(platform::registry::ValueType type, const std::vector<std::string>& data,
                 std::vector<uint8_t>& bytes, std::string& error);

// The value as `get` prints it: text, decimal DWORD, hex bytes, or one string per line.
std::string DisplayValue(const platform::registry::Value& value);
// The value as one line of `list`: multi-strings joined with " \0 " markers.
std::string DisplayValueInline(const platform::registry::Value& value);
// The value in the right-hand side of an export line: "text", dword:0000000a, hex(7):...
std::string ExportValue(const platform::registry::Value& value);
std::string QuoteExportString(std::string_view text);

}  // namespace kreg
