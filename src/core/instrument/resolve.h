// Turning a message template of a driver into what goes out on MIDI: the
// exact bytes, with the pauses and waits between them, for one context (the
// device ID, loop values and the values the setting using the message
// supplies).
//
// What each unit becomes:
//   literal byte    itself (status bytes too, as typed)
//   Head            the driver's "Common header", its own tags resolved, and
//                   the device ID (as Chan gives it) put into the bits of
//                   "Sysex ID bit mask" at "Sysex ID offset in header"
//   Chan            the device ID: the context's, else "Default sysex ID",
//                   held within "Min/Max sysex ID"; with "Type ID" set to
//                   "MIDI Channel", the channel 1..16 of the context, sent
//                   as 0..15
//   X1 X2 V1 V2 V3 SubIns Joker SizePack
//                   the context's values
//   AddNext MulNext the sum / product of the next two units
//   MulAdd          a * b + c over the next three units
//   Chk             the checksum of "Checksum type" with its initial value,
//                   over the bytes from "Checksum start offset" (counted
//                   from the F0 of the SysEx holding it, Head expanded) up
//                   to the byte before it; two-byte checksums high part first
//   Adr             "Start address" + n * "Address offset", n the requests
//                   already sent, as 7-bit groups (3 bytes, 4 when needed)
//   Len             "Length precount" in the same form
//   Wait10..20000   a pause
//   WaitSox WaitEox wait for the instrument's SysEx start / end, at most
//                   "MIDI time out"
//   Flush           wait until everything before it has gone out
// A value above 127 goes out as "Values over 127" says, except an arithmetic
// result that starts from a typed status byte ("AddNext,$C0,Chan"), which is
// a status byte itself. A value the context lacks is never guessed: the
// message does not resolve and the error names the tag.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "instrument/header.h"
#include "source/record.h"
#include "sysex/message.h"

namespace sf {

using Bytes = std::vector<std::uint8_t>;

// The values a message's tags may take from outside the driver. Names as the
// tags are named (see contextVariableNames).
struct SendContext {
    std::optional<int> chan;  // device ID, or MIDI channel 1..16
    std::optional<int> x1, x2, v1, v2, v3, subIns, joker, sizePack;
    int requestIndex = 0;  // n of Adr: requests already sent in this process

    // By tag name, case-insensitive: "Chan", "X1", ..., "SizePack".
    std::optional<int>* byName(std::string_view name);
    const std::optional<int>* byName(std::string_view name) const;
};

// The names of the context's variables, in the order a dialog lists them.
std::span<const char* const> contextVariableNames();

struct SendStep {
    enum class Kind { Bytes, Pause, WaitSysexStart, WaitSysexEnd, Flush };
    Kind kind = Kind::Bytes;
    Bytes bytes;  // Bytes
    int ms = 0;   // Pause: its length; waits: the time-out
    bool operator==(const SendStep&) const = default;
};

struct ResolvedMessage {
    std::vector<SendStep> steps;  // consecutive bytes joined into one step
    std::string error;            // empty when the message resolved

    bool ok() const { return error.empty(); }
    // Every byte, pauses left out.
    Bytes bytes() const;
};

// Driver values the resolver reads, gathered once.
struct SendSettings {
    std::vector<MessageUnit> header;  // "Common header"
    int valuesOver127 = 127;          // list value of "Values over 127"
    int timeoutMs = 1000;             // "MIDI time out", as the driver carries it
    bool channelType = false;         // "Type ID" is "MIDI Channel"
    int minId = 0, maxId = 127, defaultId = 0;
    int checksumType = 0, checksumStart = 0;
    unsigned checksumInit = 0;
    DeviceIdPlace idPlace;  // where Head's header carries the device ID
    std::uint32_t startAddress = 0, addressOffset = 0, lengthPrecount = 0;  // of one module
};
SendSettings sendSettings(const SourceRecord& r, int module);

ResolvedMessage resolveMessage(std::span<const MessageUnit> units, const SendSettings& settings,
                               const SendContext& context);

// The context variables the units (and a Head in them) take from the
// context, in contextVariableNames() order.
std::vector<std::string> neededVariables(std::span<const MessageUnit> units,
                                         const SendSettings& settings);

// The bytes of a tag value: itself up to 127, above as "Values over 127"
// (`mode`, its list value) says. Nothing when the value cannot be written
// that way (negative, or too large for two 7-bit or 4-bit parts).
std::optional<Bytes> valueBytes(long long value, int mode);

// A number as Roland 7-bit groups, most significant first: 3 bytes, or 4
// when it needs them; nothing above 28 bits.
std::optional<Bytes> rolandBytes(std::uint64_t value);

// One step as a line: its bytes in hexadecimal, or "pause 100 ms", "wait
// for SysEx start (at most 1000 ms)", "wait for SysEx end (...)", "flush".
std::string stepText(const SendStep& step);

// "F0 41 10 F7": upper-case hexadecimal pairs separated by blanks.
std::string hexBytes(std::span<const std::uint8_t> bytes);

}  // namespace sf
