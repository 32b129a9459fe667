// Driver sources for the instrument tests, set up the way an author types
// them into the settings tree.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "source/message_record.h"
#include "source/record.h"
#include "source/schema.h"
#include "source/valuetext.h"

namespace sf::test {

struct Driver {
    std::unique_ptr<SourceRecord> record = newSource();

    Driver& set(int id, const std::string& text, int module = -1, int index2 = -1) {
        const SettingRef ref = makeRef(id, module, index2);
        if (const auto f = messageField(*record, ref)) {
            parseMessageField(*record, *f, text);
        } else {
            parseValue(*record, ref, text);
        }
        return *this;
    }
    // Picks the entry with menu command `command` (70 for the first entry).
    Driver& choose(int id, int command, int module = -1) {
        EXPECT_TRUE(applyChoice(*record, makeRef(id, module), command)) << id;
        return *this;
    }
    std::vector<MessageUnit> message(int id, int module = -1) const {
        return readMessage(*record, *messageField(*record, makeRef(id, module)));
    }
};

}  // namespace sf::test
