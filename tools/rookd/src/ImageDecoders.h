// The decoders of server object images by object name: each gives the image as readable text,
// or empty text when the block is not an image it can read.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace rookd {

using ImageDecoder = std::string (*)(std::span<const uint8_t> block);

// The decoder of `object`'s image, or null where no layout is known.
ImageDecoder FindImageDecoder(const std::string& object);

// The decoders of the console's layout objects (console setup, mix setup, routing, I/O
// configuration, machine control, default values), in ConsoleImages.cpp.
std::string ConsoleSetupText(std::span<const uint8_t> block);
std::string MixSetupText(std::span<const uint8_t> block);
std::string RoutingText(std::span<const uint8_t> block);
std::string IOConfigText(std::span<const uint8_t> block);
std::string MachineControlText(std::span<const uint8_t> block);
std::string DefaultValuesText(std::span<const uint8_t> block);

// The name of a path type (0-12 counted types, 13 the subs).
const char* PathTypeName(int type);

}  // namespace rookd
