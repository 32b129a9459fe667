// Reads arbitrary bytes as a driver source file. Whatever is accepted must
// save, and the saved bytes must read back to a record that saves to the
// same bytes again. When the file was already in the form a save produces
// (format version 100, every stored module named), the record itself must
// survive the round trip.
#include <cstdint>
#include <cstdlib>

#include "source/sourcefile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto first = sf::readSourceImage(sf::ConstByteSpan(data, size));
    if (!first) return 0;
    auto image = sf::buildFileImage(*first);
    if (!image) return 0;  // no named module: the record cannot be saved as it is
    auto second = sf::readSourceImage(*image);
    if (!second) std::abort();
    auto again = sf::buildFileImage(*second);
    if (!again || *again != *image) std::abort();
    const bool canonical = first->u16(sf::rec::kFormatVersion) == 100 &&
                           sf::validModuleCount(*first) == first->s16(sf::rec::kModuleCount);
    if (canonical && !sf::sameRecord(*first, *second)) std::abort();
    return 0;
}
