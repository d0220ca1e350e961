// Decoding of raw registry value bytes into the forms the registry utility classes hand out.
// Every function reads only within the given bytes: values come from outside the program.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace console::detail {

// The bytes up to the first zero byte, or all of them when there is none.
std::string TextUpToZero(std::span<const uint8_t> bytes);

// Decimal text as a number: optional leading blanks and one sign, then digits up to the first
// other character. Text without digits gives 0. Values beyond the 32-bit signed range stop at
// its ends instead of wrapping; a negative number is returned in two's complement.
uint32_t DecimalTextToNumber(std::span<const uint8_t> bytes);

// A multi-string: strings separated by zero bytes, ended by an empty string. A last string
// without its terminator is kept.
std::vector<std::string> SplitMultiString(std::span<const uint8_t> bytes);

// A DWORD value is four little-endian bytes; any other size is unreadable.
bool DecodeDword(std::span<const uint8_t> bytes, uint32_t& value);

}  // namespace console::detail
