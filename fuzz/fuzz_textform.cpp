// Reads arbitrary text as a source's text form. A text that is refused must
// be refused with a line and a reason (SourceTextError, nothing else); a text
// that is taken must export, and its export must import again to a source
// whose export is the very same text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "source/sourcefile.h"
#include "tools/textform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<sf::SourceRecord> first;
    try {
        first = sf::importSourceText(text);
    } catch (const sf::SourceTextError&) {
        return 0;
    }
    if (!first) std::abort();
    const auto once = sf::exportSourceText(*first);
    if (!once) return 0;  // e.g. no module with a name: nothing a save could store either
    std::unique_ptr<sf::SourceRecord> second;
    try {
        second = sf::importSourceText(*once);
    } catch (const sf::SourceTextError& e) {
        std::fprintf(stderr, "exported text refused: %s\n--- text\n%s\n", e.what(), once->c_str());
        std::abort();
    }
    const auto twice = sf::exportSourceText(*second);
    if (!twice || *twice != *once) {
        std::fprintf(stderr, "export does not read back:\n--- first\n%s\n--- second\n%s\n",
                     once->c_str(), twice ? twice->c_str() : "(none)");
        std::abort();
    }
    // What both texts describe is one and the same file.
    const auto a = sf::buildFileImage(*first);
    const auto b = sf::buildFileImage(*second);
    if (a.has_value() != b.has_value() || (a && *a != *b)) std::abort();
    return 0;
}
