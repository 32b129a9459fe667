// Building driver sources and dumps for the instrument tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "source/record.h"
#include "source/schema.h"
#include "source/valuetext.h"

namespace sf::test {

using Bytes = std::vector<std::uint8_t>;

// Types `text` into a setting as an author does; the value must be stored.
inline void type(SourceRecord& r, int id, const std::string& text, int module = -1,
                 int index2 = -1) {
    const SettingRef ref = makeRef(id, module, index2);
    if (parseValue(r, ref, text) == ParseResult::NotStored) {
        ASSERT_EQ(formatValue(r, ref), text) << id;  // it held that value already
    }
    if (id >= 175 && id <= 192) normaliseStructure(r, module);
}

// Picks a choice entry (or a flag's Yes/No) by its text.
inline void choose(SourceRecord& r, int id, const std::string& entry, int module = -1) {
    const SettingRef ref = makeRef(id, module);
    ASSERT_NE(ref.item, nullptr);
    for (const ChoiceEntry* e = ref.item->choices; e && e->text; ++e)
        if (entry == e->text) {
            applyChoice(r, ref, e->command);
            if (id >= 175 && id <= 192) normaliseStructure(r, module);
            return;
        }
    FAIL() << "no entry " << entry << " in " << id;
}

inline Bytes bytes(std::initializer_list<int> v) {
    Bytes out;
    for (int b : v) out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace sf::test
