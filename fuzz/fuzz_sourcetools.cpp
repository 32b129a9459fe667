// Runs the driver author's tools over every source that reads: the checker,
// the comparison (with itself it finds nothing, with a new source it must
// not crash), and the text form (the exported text imports to the same file,
// byte for byte, and exports to the same text again).
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "source/sourcefile.h"
#include "tools/drivercheck.h"
#include "tools/driverdiff.h"
#include "tools/textform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto r = sf::readSourceImage(sf::ConstByteSpan(data, size));
    if (!r) return 0;
    for (const auto& f : sf::checkDriver(*r))
        if (f.text.empty()) std::abort();
    if (!sf::diffSources(*r, *r).empty()) std::abort();
    const auto fresh = sf::newSource();
    (void)sf::diffSources(*r, *fresh);
    (void)sf::diffSources(*fresh, *r);

    const auto image = sf::buildFileImage(*r);
    std::string why;
    const auto text = sf::exportSourceText(*r, &why);
    if (!text) {
        if (why.empty()) std::abort();
        return 0;
    }
    std::unique_ptr<sf::SourceRecord> back;
    try {
        back = sf::importSourceText(*text);
    } catch (const sf::SourceTextError& e) {
        std::fprintf(stderr, "exported text refused: %s\n--- text\n%s\n", e.what(), text->c_str());
        std::abort();
    }
    const auto again = sf::buildFileImage(*back);
    if (image.has_value() != again.has_value() || (image && *image != *again)) {
        std::fprintf(stderr, "the text does not build the same file\n--- text\n%s\n",
                     text->c_str());
        std::abort();
    }
    const auto text2 = sf::exportSourceText(*back);
    if (!text2 || *text2 != *text) std::abort();
    return 0;
}
