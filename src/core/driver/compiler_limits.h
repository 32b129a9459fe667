// What a driver can still hold: its blocks are reached through 16-bit
// references and carry 16-bit lengths, so a source can grow past what any
// driver can express while its own file still holds it. The save, the
// checker and the dialogs that grow blocks ask here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "driver/compiler.h"
#include "source/schema.h"

namespace sf {

// The setting whose value a block of the driver holds, from the block's
// reference field; `module` is set to its module (-1 for the header).
SettingRef blockSetting(std::size_t refField, int& module);

// The first block of a driver that cannot be written: one that starts where
// no 16-bit reference reaches (at or beyond 65536) or is longer than a
// block can say (65535 bytes).
struct DriverOverflow {
    BlockPlacement block;
    SettingRef setting;
    int module = -1;
    bool tooLong = false;  // else its start is out of reach
    // Bytes by which its start passes 65535 (or its length passes 65535).
    std::size_t excess = 0;
};
std::optional<DriverOverflow> driverOverflow(const SourceRecord& source);

// "Module 1, block "Macros / Parameters" would start at byte 65600, 65
// bytes past 65535, where no 16-bit reference can reach it."
std::string overflowText(const DriverOverflow& overflow);

// The bytes the driver's blocks may still grow by before it no longer
// compiles (negative: by how much it is already too large); none without a
// named module.
std::optional<long> driverRoom(const SourceRecord& source);

// The dialogs that grow blocks (macro editor, ROM names, converter) judge
// the source as their OK would leave it, `candidate`:
// "Room left in the driver: N bytes" or "The driver is N bytes too large to
// compile"; empty without a named module.
std::string driverRoomText(const SourceRecord& candidate);
// The question of their OK when the driver could no longer be compiled
// (Yes keeps the change); empty when it still can.
std::string driverRoomQuestion(const SourceRecord& candidate);

}  // namespace sf
