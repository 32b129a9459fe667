// Internals shared by the schema's translation units: where a setting sits in
// the repeated groups of the tree.
#pragma once

#include "source/schema.h"

namespace sf::schema_detail {

// The repeated group (packet, loop set, sub-bank or help lines) that encloses
// a setting, the setting itself included; Repeat::None when there is none.
// Module repetition is not reported: every module setting has it.
Repeat innerRepeat(const SettingItem& item);

// Number of instances of a repeated group (10, 8, 16 ...; 1 for None).
int repeatCount(Repeat r);

}  // namespace sf::schema_detail
