// Byte-order exchange of the variable blocks of a module (converter
// operations, parameter templates, macro list, patch information, value lists,
// macro filter). Records hold little-endian numbers; files and compiled
// drivers hold big-endian ones. Every routine works in place and never reads
// or writes outside the span it is given.
//
// The direction says when the counts, sizes and offsets that steer a walk are
// read: ToBigEndian reads them before exchanging the bytes (the block is in
// record order), FromBigEndian after (the block comes from a file).
#pragma once

#include "framework/bytes.h"

namespace sf {

enum class SwapDirection { ToBigEndian, FromBigEndian };

// Converter operations: 10-byte records; only in records of type 1, 2 and 3
// are the three 16-bit operands at 4, 6 and 8 exchanged. A trailing partial
// record is left alone. Answers false when the block is not a whole number of
// records.
bool swapConverterOps(ByteSpan block, SwapDirection dir);

// Parameter templates: `count` records of 28 bytes, fields at 4, 6 and 8.
// Answers false (and swaps only the whole records present) when the block is
// shorter than count records.
bool swapTemplates(ByteSpan block, int count, SwapDirection dir);

// Macro list: macro count, offset table, macro records with their parameters
// and points. Answers false when a count, offset or size would lead outside
// the block; the parts that fit are still exchanged consistently.
bool swapMacroList(ByteSpan block, SwapDirection dir);

// Patch information block: its first eight 16-bit fields.
bool swapPatchInfo(ByteSpan block);

// Reserved value-list block: sixteen 16-bit fields, then 800 more (1632
// bytes); a shorter block has the fields that fit exchanged.
bool swapValueLists(ByteSpan block);

// Macro filter (102 bytes): its first three 16-bit fields.
void swapMacroFilter(ByteSpan filter);

}  // namespace sf
