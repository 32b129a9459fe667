// Driver sources for the instrument tests, set up the way an author types them
// into the settings tree, and dumps built byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "source/message_record.h"
#include "source/record.h"
#include "source/schema.h"
#include "source/valuetext.h"

namespace sf::test {

using Bytes = std::vector<std::uint8_t>;

struct Driver {
    std::unique_ptr<SourceRecord> record = newSource();

    // Types `text` into a setting; a typed value must be stored.
    Driver& set(int id, const std::string& text, int module = -1, int index2 = -1) {
        const SettingRef ref = makeRef(id, module, index2);
        if (const auto f = messageField(*record, ref)) {
            parseMessageField(*record, *f, text);
        } else if (parseValue(*record, ref, text) == ParseResult::NotStored) {
            EXPECT_EQ(formatValue(*record, ref), text) << id;  // it held that value already
        }
        return normalised(id, module);
    }
    // Picks the entry with menu command `command` (70 for the first entry).
    Driver& choose(int id, int command, int module = -1) {
        EXPECT_TRUE(applyChoice(*record, makeRef(id, module), command)) << id;
        return normalised(id, module);
    }
    // Picks a choice entry (or a flag's Yes/No) by its text.
    Driver& choose(int id, const std::string& entry, int module = -1) {
        const SettingRef ref = makeRef(id, module);
        for (const ChoiceEntry* e = ref.item ? ref.item->choices : nullptr; e && e->text; ++e)
            if (entry == e->text) return choose(id, e->command, module);
        ADD_FAILURE() << "no entry " << entry << " in " << id;
        return *this;
    }

  private:
    Driver& normalised(int id, int module) {  // as the tree does after a structure setting
        if (id >= 175 && id <= 192) normaliseStructure(*record, module);
        return *this;
    }
};

inline Bytes bytes(std::initializer_list<int> v) {
    return Bytes(v.begin(), v.end());
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace sf::test
