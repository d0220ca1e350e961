#include "rookclient/CommandBlock.h"
#include "rookclient/Proxies.h"

namespace {
constexpr uint32_t kDiagnosticCommand = 178;
constexpr size_t kDiagnosticBlockSize = 240;
constexpr size_t kWordsOffset = 16;
constexpr size_t kMaxFurtherWords = 4;
constexpr int kTerminator = -1;
}  // namespace

// The arguments are a list of known length, so a caller that forgets the -1 sends at most four
// words instead of reading past its arguments.
void CWQDiagnosticsRookObject::SendDiagnostic(int test, std::span<const int> more) {
    rookclient::Command(*this, kDiagnosticCommand, kDiagnosticBlockSize, 0,
                        [&](rookclient::CommandBlock& block) {
                            block.PutU32(kWordsOffset, static_cast<uint32_t>(test));
                            size_t n = 0;
                            for (int word : more) {
                                if (word == kTerminator || n == kMaxFurtherWords) {
                                    break;
                                }
                                ++n;
                                block.PutU32(kWordsOffset + 4 * n, static_cast<uint32_t>(word));
                            }
                        });
}
