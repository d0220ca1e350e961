// The arguments of one proxy operation given as words (a command line), read one by one in
// the operation's order and converted to the type the operation takes. The first word that
// does not convert, or a wrong number of words, makes Error() say which and why; the values
// read after that are neutral, and the caller sends nothing.
//
// Word forms:
//   int, uint, short, ushort, byte, window   decimal or 0x-hex, held to the type's range
//   bool                                     0, 1, true, false, on, off
//   text                                     the word as it stands
//   hex                                      hex digit pairs, ':' or '.' between them allowed
//   ints, texts                              comma-separated ("" = none)
//   N ints, N texts                          exactly N comma-separated
//   events    time:path:module:control:value[:old[:flags]],...
//   port      path:side:rack:card:port[:text]
//   relays    path:side:rack:card:port:relay,...
//   controls  a:b:c,...          tree changes  value:first:second,...
//   routes    path:route,...
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <objectkit/AutomationEventArray.h>
#include <objectkit/EventFilter.h>
#include <platform/messages.h>

#include "rookclient/model/IOConfigTypes.h"
#include "rookclient/model/MixPassBlocks.h"
#include "rookclient/model/StructIOSearch.h"

namespace rookclient {

class CallArguments {
  public:
    explicit CallArguments(std::vector<std::string> words) : words_(std::move(words)) {}

    // The operation takes `least` to `most` words; anything else is an error.
    bool Expect(size_t least, size_t most);
    // Words not yet read (for arguments that have a default).
    bool More() const { return next_ < words_.size(); }
    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    int32_t Int(const char* name) {
        return static_cast<int32_t>(Number(name, INT32_MIN, INT32_MAX));
    }
    uint32_t UInt(const char* name) { return static_cast<uint32_t>(Number(name, 0, UINT32_MAX)); }
    int16_t Short(const char* name) {
        return static_cast<int16_t>(Number(name, INT16_MIN, INT16_MAX));
    }
    uint16_t UShort(const char* name) { return static_cast<uint16_t>(Number(name, 0, UINT16_MAX)); }
    uint8_t Byte(const char* name) { return static_cast<uint8_t>(Number(name, 0, UINT8_MAX)); }
    platform::messages::WindowHandle Window(const char* name) {
        return static_cast<platform::messages::WindowHandle>(Number(name, 0, UINT32_MAX));
    }
    bool Bool(const char* name);
    std::string Text(const char* name);
    // At most `most` bytes.
    std::vector<uint8_t> Hex(const char* name, size_t most);
    std::vector<int32_t> Ints(const char* name);
    template <size_t N>
    std::array<int32_t, N> Ints(const char* name) {
        std::array<int32_t, N> out{};
        const std::vector<int32_t> all = Exactly(name, N) ? Ints(name) : std::vector<int32_t>();
        std::copy_n(all.begin(), std::min(all.size(), N), out.begin());
        return out;
    }
    std::vector<std::string> Texts(const char* name);
    // The views stay valid while this object lives.
    template <size_t N>
    std::array<std::string_view, N> Texts(const char* name) {
        std::array<std::string_view, N> out{};
        if (Exactly(name, N)) {
            kept_.push_back(Texts(name));
            for (size_t i = 0; i < N && i < kept_.back().size(); ++i) {
                out[i] = kept_.back()[i];
            }
        }
        return out;
    }
    AutomationEventFilterStructure Filter(const char* name) { return {UInt(name)}; }
    CAutomationEventArray Events(const char* name);
    model::StructIOSearch Port(const char* name);
    std::vector<model::StructRelayPort> Relays(const char* name);
    std::vector<model::StructPPPC> Controls(const char* name);
    std::vector<model::TreeChangesStructure> TreeChanges(const char* name);
    std::vector<std::pair<int32_t, int32_t>> Routes(const char* name);

  private:
    // The next word, or null (and nothing read) after an error or past the last word.
    const std::string* Next();
    int64_t Number(const char* name, int64_t least, int64_t most);
    // Whether the next word is a list of exactly `count` items (an error when not).
    bool Exactly(const char* name, size_t count);
    // Reads the next word as a list of records of `least` to `most` ':'-separated fields and
    // hands each record's fields to `take`. Numbers are converted by `take` through Field.
    template <typename Take>
    void Records(const char* name, size_t least, size_t most, Take take);
    int64_t Field(const char* name, std::string_view text, int64_t least, int64_t most);
    // A 32-bit signed field of a record or list.
    int32_t Word(const char* name, std::string_view text);
    void Fail(const char* name, const std::string& why);

    std::vector<std::string> words_;
    size_t next_ = 0;
    std::string error_;
    std::vector<std::vector<std::string>> kept_;
};

}  // namespace rookclient
