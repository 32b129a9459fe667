// The hand-over message of a second start, as bytes arrive on the local
// socket: any prefix of any bytes decodes without a crash, and a complete
// message encodes back to bytes that decode to the same file list.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "editor/session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    bool complete = false;
    const auto files = sf::decodeHandOver(bytes, &complete);
    // The reader sees the bytes in pieces: every prefix must be safe too.
    for (std::size_t n = 0; n < size && n < 16; ++n) (void)sf::decodeHandOver(bytes.first(n));
    if (!files) return 0;
    if (!complete) std::abort();
    const auto wire = sf::encodeHandOver(*files);
    bool again = false;
    const auto back = sf::decodeHandOver(wire, &again);
    if (!back || !again || *back != *files) std::abort();
    return 0;
}
