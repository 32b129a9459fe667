#include "driver/compiler.h"
#include "driver/compiler_limits.h"

#include <algorithm>
#include <array>
#include <optional>
#include <cstring>
#include <string_view>

#include "source/blockswap.h"

namespace sf {

using namespace drv;

namespace {

// ---------------------------------------------------------------------------
// Places in the source record (header: absolute offsets; modules: offsets
// from the start of the module record).

namespace src {
inline constexpr std::size_t kTypeId = 14;
inline constexpr std::size_t kCommonHeaderCount = 192;
inline constexpr std::size_t kCommonHeader = 194;  // 8 units
inline constexpr int kCommonHeaderCapacity = 8;
inline constexpr std::size_t kSysexIdMask = 190;
inline constexpr std::size_t kChecksumType = 212;
inline constexpr std::size_t kTimeOut = 216;
inline constexpr std::size_t kModeMessages = 908;  // 9 messages of 82 bytes
inline constexpr std::size_t kModeMessageStride = 82;
inline constexpr std::size_t kSecondFlags = 2058;
inline constexpr std::size_t kSingleNumber = 2072;
inline constexpr std::size_t kParts = 2094;
inline constexpr std::size_t kParentModuleId = 2098;
inline constexpr std::size_t kChildSubBankSelect = 2176;
inline constexpr std::size_t kChildPatchSelect = 2258;

inline constexpr std::size_t kMDataConversionReserved = 26;
inline constexpr std::size_t kMTemplateMessage = 64;
inline constexpr std::size_t kMReceiveFlags = 568;
inline constexpr std::size_t kMReceiveHelp = 570;
inline constexpr std::size_t kMSendFlags = 1612;
inline constexpr std::size_t kMSendHelp = 1614;
inline constexpr std::size_t kMSendHeader1 = 2332;
inline constexpr std::size_t kMSendHeader2 = 2414;
inline constexpr std::size_t kMNamingFlags = 2734;
inline constexpr std::size_t kMSubBankReserved = 2786;
inline constexpr std::size_t kMWriteMode = 3850;
}  // namespace src

constexpr int kMaxSingles = 16;
constexpr int kMaxParts = 16;
constexpr int kMaxValueListLength = 100;
constexpr int kValueLists = 8;
constexpr std::size_t kValueListStride = 200;
constexpr std::size_t kPatchInfoSize = 1040;
constexpr std::size_t kPatchInfoValues = 16;
constexpr std::size_t kPatchInfoTags = 80;
constexpr std::size_t kTagSize = 15;
constexpr int kDescriptors = 4;
constexpr int kDescriptorRows = 16;
constexpr std::size_t kOperationSize = 10;
constexpr std::size_t kTemplateSize = 28;
constexpr std::size_t kHelpLineChars = rec::kHelpLineSize - 1;

// Module flag word bits.
constexpr std::uint16_t kFlagDisplaysNames = 0x0008;
constexpr std::uint16_t kFlagUseChecksum = 0x0010;
constexpr std::uint16_t kFlagNamesOnly = 0x0040;
// Instrument flag word bits.
constexpr std::uint16_t kInstrSingle = 0x0002;
constexpr std::uint16_t kInstrParent = 0x0004;
constexpr std::uint16_t kInstrSingleInMulti = 0x4000;
// Other bits.
constexpr std::uint16_t kSecondSingle = 0x0001;
constexpr std::uint16_t kNamingAscii = 0x0002;
constexpr std::uint16_t kNamingIndirect = 0x0008;
constexpr std::uint16_t kPacketComplexLoop = 0x0002;
constexpr std::uint16_t kPacketVariableSize = 0x0004;
// The source keeps "Pre-message is sent" with its bit clear for "at each loop
// #1 iteration"; the driver's bit means the opposite.
constexpr std::uint16_t kPreMessageBit = 0x0002;
constexpr std::uint16_t kTypeIdCard = 0x0040;
constexpr std::uint16_t kSubBankFlagCard = 0x0001;

constexpr int kStructureRaw = 7;
constexpr int kWriteNotPossible = 2;
enum SubBankType { Ram = 0, Card = 1, Rom = 2 };

constexpr std::uint16_t kHeadUnit = 0x00FD;
constexpr std::uint16_t kJokerUnit = 0x00FE;
constexpr std::uint8_t kVariableEntry = 0xFE;

// ---------------------------------------------------------------------------
// Field tables.

enum class Width : std::uint8_t { U8, U16, U32 };

struct NumberField {
    std::size_t dst;  // offset in the header or module record of the driver
    std::size_t src;  // offset in the source record (header) or module record
    Width width;
};

// Header numbers copied as the source holds them (a u8 takes the low byte).
constexpr NumberField kHeaderNumbers[] = {
    {kHDriverVersion, 10, Width::U16},       // "Driver version"
    {kHTypeId, src::kTypeId, Width::U16},    // "Type ID", whole word
    {kHManufacturer, 174, Width::U16},       // "Manufacturer ID", long IDs negative
    {kHModelId, 176, Width::U16},            // "Device model ID"
    {kHModelSubId, 178, Width::U8},          // "Device model Sub-ID"
    {kHDefaultSysexId, 180, Width::U16},     // "Default sysex ID"
    {kHMinSysexId, 182, Width::U8},          // "Min sysex ID"
    {kHMaxSysexId, 184, Width::U8},          // "Max sysex ID"
    {kHStringOffset, 186, Width::U8},        // "String offset"
    {kHSysexIdOffset, 188, Width::U8},       // "Sysex ID offset in header"
    {kHSysexIdMask, src::kSysexIdMask, Width::U8},
    {kHValuesOver127, 210, Width::U8},       // "Values over 127"
    {kHChecksumType, src::kChecksumType, Width::U8},
    {kHChecksumStart, 214, Width::U16},      // "Checksum start offset"
    {kHChecksumInit, 218, Width::U16},       // checksum initial value
    {kHModeReserved, rec::kModeBlock, Width::U16},
    {kHInstrumentFlags, rec::kInstrumentFlags, Width::U16},
    {kHSecondFlags, src::kSecondFlags, Width::U16},
    {kHSingleNumber, src::kSingleNumber, Width::U8},
    {kHSingleModuleId, 2074, Width::U8},
    {kHSingleTrackSingle, 2076, Width::U8},
    {kHSingleTrackMulti, 2078, Width::U8},
    {kHParts, src::kParts, Width::U8},
    {kHPartsReserved, 2096, Width::U8},
    {kHParentModuleId, src::kParentModuleId, Width::U8},
    {kHChildModuleId, 2100, Width::U8},
    {kHParentTrack, 2102, Width::U8},
    {kHSubBankInfoType, 2112, Width::U8},
    {kHPatchInfoType, 2116, Width::U8},
    {kHChannelInfoType, 2120, Width::U8},
    {kHMuteInfoType, 2124, Width::U8},
    {kHSubBankInfoOffset, 2110, Width::U16},
    {kHPatchInfoOffset, 2114, Width::U16},
    {kHChannelInfoOffset, 2118, Width::U16},
    {kHMuteInfoOffset, 2122, Width::U16},
    {kHMuteValue, 2126, Width::U16},
    {kHNextPartOffset, 2128, Width::U16},
    {kHMuteBitMask, 2130, Width::U8},
    {kHChannelBitStart, 2136, Width::U8},
    {kHPartsCountOffset, 2134, Width::U16},
    {kHSpecialCode, 2138, Width::U16},
    {kHSubBankBitMask, 2140, Width::U16},
    {kHPatchBitMask, 2142, Width::U16},
    {kHAddToIndex, 2144, Width::U16},
    {kHMultiplyIndex, 2146, Width::U16},
    {kHSecondModuleId, 2352, Width::U8},
    {kHSecondTrackSingle, 2354, Width::U8},
    {kHSecondTrackMulti, 2355, Width::U8},
};

// Header numbers the compiler computes; listed for the byte-order pass.
constexpr std::size_t kHeaderComputed16[] = {kHModuleCount, kHCommonHeaderCount, kHTimeOut,
                                             kHInstrumentListCount};
constexpr std::size_t kHeaderComputed32[] = {kHFileSize};

// Module numbers of every written module.
constexpr NumberField kModuleNumbers[] = {
    {kMHasMacro, rec::kModHasMacro, Width::U8},
    {kMDataConversion, 24, Width::U8},
    {kMFlags, rec::kModFlags, Width::U16},
    {kMReserved, src::kMDataConversionReserved, Width::U16},
    {kMDrumChannel, 28, Width::U8},
    {kMDrumModule, 30, Width::U8},
    {kMDumpProtocol, 58, Width::U16},
    {kMPacketFlags, rec::kModPacketFlags, Width::U16},  // whole word
    {kMPacketSize, 62, Width::U16},
    {kMHandshakeCodes + 0, 146, Width::U8},  // start, acknowledge, end,
    {kMHandshakeCodes + 1, 148, Width::U8},  // packet error and
    {kMHandshakeCodes + 2, 150, Width::U8},  // stop/error/rejection codes
    {kMHandshakeCodes + 3, 152, Width::U8},
    {kMHandshakeCodes + 4, 154, Width::U8},
    {kMAltAckCodes + 0, 158, Width::U8},
    {kMAltAckCodes + 1, 160, Width::U8},
    {kMAltAckCodes + 2, 162, Width::U8},
    {kMAltErrorCodes + 0, 164, Width::U8},
    {kMAltErrorCodes + 1, 166, Width::U8},
    {kMAltErrorCodes + 2, 168, Width::U8},
    {kMAltErrorCodes + 3, 170, Width::U8},
    {kMX1Start, 172, Width::U16},
    {kMX1Last, 174, Width::U16},
    {kMX1Step, 176, Width::U16},
    {kMLoop1Precount, 192, Width::U16},
    {kMX2Start, 178, Width::U16},
    {kMX2Last, 180, Width::U16},
    {kMX2Step, 182, Width::U16},
    {kMLoop2Precount, 194, Width::U16},
    {kMStartAddress, 184, Width::U32},
    {kMAddressOffset, 188, Width::U16},
    {kMRolandPrecount, 190, Width::U16},
    {kMStructureFlags, rec::kModStructureFlags, Width::U16},  // whole word
    {kMStructure, rec::kModStructure, Width::U8},
    {kMChecksumStart, 326, Width::U8},
    {kMDataStart, rec::kModDataStart, Width::U8},
    {kMPacketsInBulk, 342, Width::U16},
    {kMPatchSize, 346, Width::U32},
    {kMPatchesAboveSize, rec::kModPatchesAboveSize, Width::U16},
    {kMSharedSize, rec::kModSharedSize, Width::U16},
    {kMLargePatches, rec::kModLargePatches, Width::U16},
    {kMPatchesPerSubHeader, 356, Width::U16},
    {kMMultiHeader, 358, Width::U16},
    {kMReceiveInitPause, 1202, Width::U16},
    {kMReceivePrePause, 1286, Width::U16},
    {kMRequest2Usage, 1452, Width::U8},
    {kMPacketsPerRequest, 1454, Width::U16},
    {kMTotalReceiveSize, 1456, Width::U32},
    {kMReceiveEndPause, 1582, Width::U16},
    {kMSendInitPause, 2246, Width::U16},
    {kMSendPrePause, 2330, Width::U16},
    {kMHeader2Usage, 2578, Width::U8},
    {kMSendPause, 2580, Width::U16},
    {kMSendEndPause, 2704, Width::U16},
};

// Module numbers of modules that display names.
constexpr NumberField kNamesNumbers[] = {
    {kMNamingFlags, src::kMNamingFlags, Width::U16},  // whole word
    {kMRows, 2736, Width::U16},
    {kMColumns, 2738, Width::U16},
    {kMColumnLabel, 2740, Width::U8},
    {kMRowLabel, 2742, Width::U8},
    {kMNameOffset, 2744, Width::U16},
    {kMNameChars, 2746, Width::U8},
    {kMNameBitStart, 2762, Width::U8},
    {kMNameBitSize, 2764, Width::U8},
    {kMNameBitMask, 2766, Width::U16},
    {kMNamedModuleId, 2748, Width::U8},
    {kMBankIndexType, 2752, Width::U8},
    {kMPatchIndexType, 2756, Width::U8},
    {kMBankOffset, 2750, Width::U16},
    {kMPatchIndexOffset, 2754, Width::U16},
    {kMPatchesPerSubBank, rec::kModPatchesPerSubBank, Width::U16},
    {kMPatchProtocolFlags, rec::kModPatchProtocolBlock, Width::U16},  // whole word
    {kMPatchPacketSize, 3622, Width::U16},
    {kMBufferStart, 3624, Width::U32},
    {kMPacketRange, 3628, Width::U16},
    {kMBufferRange, 3630, Width::U16},
    {kMPatchPrecount, 3632, Width::U16},
    {kMPatchChecksumStart, 3634, Width::U8},
    {kMPatchPackets, 3638, Width::U16},
    {kMBufferStartPart1, 3640, Width::U32},
    {kMSendWriteFlags, rec::kModSendWriteBlock, Width::U16},  // whole word
    {kMDataSize1, 3678, Width::U16},
    {kMDataSize2, 3680, Width::U16},
    {kMMaxBufferSize, 3682, Width::U16},
    {kMDumpPause, 3848, Width::U16},
    {kMWriteMode, src::kMWriteMode, Width::U16},
    {kMWritePause, 4016, Width::U16},
    {kMWriteStart, 4018, Width::U32},
    {kMAddressGap, 4022, Width::U16},
    {kMDelta, 4024, Width::U16},
};

// Module numbers of modules with a macro editor.
constexpr NumberField kMacroNumbers[] = {
    {kMMacroReserved, rec::kModMacroReserved, Width::U16},
};

// Module numbers the compiler computes; listed for the byte-order pass.
constexpr std::size_t kModuleComputed16[] = {
    kMIndex,       kMThree,          kMTotalPatches,  kMReceiveFlags,   kMSendFlags,
    kMNameLink,    kMSubBankFlags,   kMSubBankCount,  kMPatchZero,      kMOperationCount,
    kMFinalSize,   kMTemplateCount,
};

struct TextField {
    std::size_t dst;
    std::size_t dstSize;
    std::size_t src;
    std::size_t srcSize;
    std::size_t maxChars;
};

constexpr TextField kHeaderTexts[] = {
    {kHName, 18, 16, 17, 16},          // "Name"
    {kHFileName, 18, 33, 17, 16},      // "File name"
    {kHCompatible, 18, 50, 17, 16},    // "Compatible driver"
    {kHAuthor, 22, 67, 21, 20},        // "Author"
    {kHBankExtension, 26, 88, 4, 3},   // "Bank file name extension"
    {kHSingleName, 12, 2060, 11, 10},  // single "Name"
    {kHParentName, 12, 2082, 11, 10},  // parent "Name"
    {kHSecondName, 12, 2340, 12, 11},  // second single "Name"
};
constexpr TextField kModuleName = {kMName, 18, rec::kModName, rec::kModNameSize, 16};
constexpr TextField kSubBankName = {kSbName, 10, rec::kSbName, rec::kSbNameSize, 8};

struct MessageField {
    std::size_t units;
    std::size_t count;
    int capacity;
    std::size_t ref;
};

constexpr MessageField msg40(std::size_t units, std::size_t ref) {
    return {units, units + 2 * 40, 40, ref};
}
constexpr MessageField msg60(std::size_t units, std::size_t ref) {
    return {units, units + 2 * 60, 60, ref};
}

constexpr MessageField kChildSubBankSelect = msg40(src::kChildSubBankSelect, kHChildSubBankRef);
constexpr MessageField kChildPatchSelect = msg40(src::kChildPatchSelect, kHChildPatchRef);

constexpr MessageField kTemplateMessage = msg40(src::kMTemplateMessage, kMTemplateRef);
constexpr MessageField kReceiveInit = msg60(1080, kMReceiveInitRef);
constexpr MessageField kReceivePre = msg40(1204, kMReceivePreRef);
constexpr MessageField kRequest1 = msg40(1288, kMRequest1Ref);
constexpr MessageField kRequest2 = msg40(1370, kMRequest2Ref);
constexpr MessageField kReceiveEnd = msg60(1460, kMReceiveEndRef);
constexpr MessageField kSendInit = msg60(2124, kMSendInitRef);
// Send pre-message, headers and write request, in block order.
constexpr MessageField kSendMessages[] = {
    msg40(2248, kMSendPreRef),
    msg40(src::kMSendHeader1, kMSendHeader1Ref),
    msg40(src::kMSendHeader2, kMSendHeader2Ref),
    msg40(2496, kMWriteRequestRef),
};
constexpr MessageField kSendEnd = msg60(2582, kMSendEndRef);
constexpr MessageField kPatchHeaders[] = {msg40(3684, kMPatchHeader1Ref),
                                          msg40(3766, kMPatchHeader2Ref)};
constexpr MessageField kWriteRequests[] = {msg40(3852, kMWrite1Ref), msg40(3934, kMWrite2Ref)};
constexpr MessageField kSelectMessages[] = {msg40(2792, kMSubBankSelectRef),
                                            msg40(2874, kMPatchSelectRef)};
static_assert(kReceiveInit.count == 1200 && kSendEnd.count == 2702 && kWriteRequests[1].count == 4014);

// Block kinds that hold numbers, for the byte-order pass.
enum class BlockKind : std::uint8_t {
    Bytes,
    PacketArea,
    ConverterOps,
    Templates,
    Macros,
    PackedPatchInfo,
    PackedValueLists,
    MacroFilter,
};

struct BlockRef {
    std::size_t ref;
    BlockKind kind;
};

constexpr BlockRef kModuleBlocks[] = {
    {kMTemplateRef, BlockKind::Bytes},
    {kMPacketAreaRef, BlockKind::PacketArea},
    {kMPattern1Ref, BlockKind::Bytes},
    {kMPattern2Ref, BlockKind::Bytes},
    {kMReceiveHelpRef, BlockKind::Bytes},
    {kMReceiveInitRef, BlockKind::Bytes},
    {kMReceivePreRef, BlockKind::Bytes},
    {kMRequest1Ref, BlockKind::Bytes},
    {kMRequest2Ref, BlockKind::Bytes},
    {kMReceiveEndRef, BlockKind::Bytes},
    {kMSendHelpRef, BlockKind::Bytes},
    {kMSendInitRef, BlockKind::Bytes},
    {kMSendPreRef, BlockKind::Bytes},
    {kMSendHeader1Ref, BlockKind::Bytes},
    {kMSendHeader2Ref, BlockKind::Bytes},
    {kMWriteRequestRef, BlockKind::Bytes},
    {kMSendEndRef, BlockKind::Bytes},
    {kMSubBankSelectRef, BlockKind::Bytes},
    {kMPatchSelectRef, BlockKind::Bytes},
    {kMRomNamesRef, BlockKind::Bytes},
    {kMPatchHeader1Ref, BlockKind::Bytes},
    {kMPatchHeader2Ref, BlockKind::Bytes},
    {kMWrite1Ref, BlockKind::Bytes},
    {kMWrite2Ref, BlockKind::Bytes},
    {kMOperationsRef, BlockKind::ConverterOps},
    {kMTemplatesRef, BlockKind::Templates},
    {kMMacrosRef, BlockKind::Macros},
    {kMPatchInfoRef, BlockKind::PackedPatchInfo},
    {kMValueListsRef, BlockKind::PackedValueLists},
    {kMMacroFilterRef, BlockKind::MacroFilter},
    {kMReservedBlockRef, BlockKind::Bytes},
};

// Tag codes that stand for a value the host fills in (pauses, arithmetic,
// variables, checksum, channel, length, address, loop indexes). Everything
// else, Head, Joker and the empty code included, is a fixed unit of a header.
struct CodeRange {
    std::uint8_t first;
    std::uint8_t last;
};
constexpr CodeRange kVariableCodes[] = {{0xA1, 0xAE}, {0xF1, 0xF6}, {0xF8, 0xFC}};

constexpr bool isVariableCode(std::uint8_t code) {
    for (const auto& r : kVariableCodes)
        if (code >= r.first && code <= r.last) return true;
    return false;
}

// ---------------------------------------------------------------------------
// Helpers.

std::uint32_t readNumber(ConstByteSpan b, std::size_t off, Width w) {
    switch (w) {
        case Width::U8: return get8(b, off);
        case Width::U16: return getLE16(b, off);
        case Width::U32: return getLE32(b, off);
    }
    return 0;
}

void writeNumber(ByteSpan b, std::size_t off, Width w, std::uint32_t v) {
    switch (w) {
        case Width::U8: put8(b, off, static_cast<std::uint8_t>(v)); break;
        case Width::U16: putLE16(b, off, static_cast<std::uint16_t>(v)); break;
        case Width::U32: putLE32(b, off, v); break;
    }
}

template <std::size_t N>
void copyNumbers(ByteSpan dst, std::size_t dstBase, ConstByteSpan srcBytes, std::size_t srcBase,
                 const NumberField (&fields)[N]) {
    for (const auto& f : fields)
        writeNumber(dst, dstBase + f.dst, f.width, readNumber(srcBytes, srcBase + f.src, f.width));
}

void copyText(ByteSpan dst, std::size_t dstBase, ConstByteSpan srcBytes, std::size_t srcBase,
              const TextField& f) {
    std::string_view t = fieldText(srcBytes, srcBase + f.src, f.srcSize);
    t = t.substr(0, f.maxChars);
    auto field = slice(dst, dstBase + f.dst, f.dstSize);
    std::fill(field.begin(), field.end(), std::uint8_t{0});
    std::memcpy(field.data(), t.data(), t.size());
}

int clampCount(int v, int max) { return std::clamp(v, 0, max); }

// The ten lines of a help group, each followed by a 0 byte; empty when every
// line is empty. A line without its terminator is cut to the 50 characters a
// line can hold.
std::vector<std::uint8_t> helpBlock(const SourceRecord& r, std::size_t firstLine) {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < rec::kHelpLineCount; ++i) {
        std::string_view line =
            fieldText(r.data(), firstLine + rec::kHelpLineSize * static_cast<std::size_t>(i),
                      rec::kHelpLineSize);
        line = line.substr(0, kHelpLineChars);
        out.insert(out.end(), line.begin(), line.end());
        out.push_back(0);
    }
    if (out.size() == static_cast<std::size_t>(rec::kHelpLineCount)) out.clear();
    return out;
}

MessageView messageOf(const SourceRecord& r, std::size_t base, const MessageField& f) {
    return messageAt(r, base + f.units, base + f.count, f.capacity);
}

std::uint16_t unitAt(const MessageView& m, int i) {
    return getLE16(m.units, 2 * static_cast<std::size_t>(i));
}

int usedUnits(const MessageView& m) {
    return clampCount(m.count, static_cast<int>(m.units.size() / 2));
}

}  // namespace

std::vector<std::uint8_t> receivePattern(const MessageView& header) {
    std::vector<std::uint8_t> out;
    std::size_t lastFixed = 0;
    const int n = usedUnits(header);
    for (int i = 0; i < n; ++i) {
        const auto code = static_cast<std::uint8_t>(unitAt(header, i));
        if (isVariableCode(code)) {
            out.push_back(kVariableEntry);
        } else {
            out.push_back(code);
            lastFixed = out.size();
        }
    }
    out.resize(lastFixed);
    return out;
}

namespace {

// Byte position of the Joker in the template message, with Head counting as
// the common header's length; units are compared whole.
std::uint8_t jokerPosition(const MessageView& templ, int commonHeaderCount) {
    int p = 0;
    const int n = usedUnits(templ);
    for (int i = 0; i < n; ++i) {
        const std::uint16_t u = unitAt(templ, i);
        if (u == kJokerUnit) return static_cast<std::uint8_t>(p);
        p += (u == kHeadUnit) ? commonHeaderCount : 1;
    }
    return 0;
}

std::uint8_t idShift(std::uint16_t mask) {
    for (int b = 0; b < 8; ++b)
        if (mask & (1u << b)) return static_cast<std::uint8_t>(b);
    return 0;
}

}  // namespace

std::uint8_t checksumLength(std::uint16_t type) {
    if (type == 0) return 0;
    if (type == 3 || type == 4) return 2;
    return 1;
}

std::uint8_t trailerLength(const SourceRecord& r, int module) {
    const std::size_t base = rec::moduleBase(module);
    if (r.s16(base + rec::kModStructure) == kStructureRaw) return 0;
    if (!(r.u16(base + rec::kModFlags) & kFlagUseChecksum)) return 1;
    return static_cast<std::uint8_t>(checksumLength(r.u16(src::kChecksumType)) + 1);
}

std::array<std::vector<std::uint8_t>, 2> receivePatterns(const SourceRecord& r, int module) {
    const std::size_t base = rec::moduleBase(module);
    if (r.s16(base + rec::kModStructure) == kStructureRaw)
        return {std::vector<std::uint8_t>{0xF0}, {}};
    return {receivePattern(messageOf(r, base, kSendMessages[1])),
            receivePattern(messageOf(r, base, kSendMessages[2]))};
}

namespace {

// The source block of a slot, or an empty span when the slot is empty.
ConstByteSpan slotBlock(const SourceRecord& r, int module, int slot) {
    const auto& b = r.block(module, slot);
    return b ? ConstByteSpan(*b) : ConstByteSpan();
}

// Patch information packed to the rows in use: counts, references, offsets,
// then the rows of descriptors 0 to 3.
std::vector<std::uint8_t> packPatchInfo(ConstByteSpan info) {
    // A damaged, shorter block reads as "no reference" and "unused row"
    // where its bytes are missing.
    std::array<std::uint8_t, kPatchInfoSize> full{};
    std::fill(full.begin(), full.begin() + kPatchInfoTags, std::uint8_t{0xFF});
    std::copy_n(info.begin(), std::min(info.size(), full.size()), full.begin());
    const ConstByteSpan b(full);

    std::vector<std::uint8_t> out(kPatchInfoHead, 0);
    const ByteSpan head(out);
    for (int d = 0; d < kDescriptors; ++d) {
        const std::size_t dd = static_cast<std::size_t>(d);
        putLE16(head, 8 + 2 * dd, getLE16(b, 2 * dd));        // reference
        putLE16(head, 16 + 2 * dd, getLE16(b, 8 + 2 * dd));   // offset
    }
    for (int d = 0; d < kDescriptors; ++d) {
        int rows = 0;
        for (; rows < kDescriptorRows; ++rows) {
            const std::size_t row = static_cast<std::size_t>(d * kDescriptorRows + rows);
            const auto value = get8(b, kPatchInfoValues + row);
            if (static_cast<std::int8_t>(value) < 0) break;
            out.push_back(value);
            auto tag = slice(b, kPatchInfoTags + kTagSize * row, kTagSize);
            out.insert(out.end(), tag.begin(), tag.end());
        }
        putLE16(ByteSpan(out), 2 * static_cast<std::size_t>(d), static_cast<std::uint16_t>(rows));
    }
    return out;
}

// The eight value lists packed one after the other; list k of the source
// begins at byte 32 + 200 × k and its count is the k-th word.
std::vector<std::uint8_t> packValueLists(ConstByteSpan lists) {
    std::array<std::uint8_t, kValueListsSize> full{};
    std::copy_n(lists.begin(), std::min(lists.size(), full.size()), full.begin());
    const ConstByteSpan b(full);

    std::vector<std::uint8_t> out(kValueListsSize, 0);
    const ByteSpan o(out);
    std::size_t running = 0;
    for (int k = 0; k < kValueLists; ++k) {
        const std::size_t kk = static_cast<std::size_t>(k);
        const int count = clampCount(getLE16s(b, 2 * kk), kMaxValueListLength);
        putLE16(o, 2 * kk, static_cast<std::uint16_t>(count));
        putLE16(o, kValueListsIndexes + 2 * kk, static_cast<std::uint16_t>(running));
        for (int j = 0; j < count; ++j) {
            const std::size_t jj = static_cast<std::size_t>(j);
            putLE16(o, kValueListsValues + 2 * (running + jj),
                    getLE16(b, kValueListsValues + kValueListStride * kk + 2 * jj));
        }
        running += static_cast<std::size_t>(count);
    }
    return out;
}

// ---------------------------------------------------------------------------
// The compilation proper.

class Compiler {
public:
    Compiler(const SourceRecord& r, int modules)
        : r_(r), modules_(modules), b_(moduleRecord(static_cast<std::size_t>(modules))) {}

    void fillHeader(bool asciiTable);
    void fillModule(int m);
    DriverBuilder& builder() { return b_; }
    void measureInto(std::vector<BlockPlacement>* layout) { b_.measureInto(layout); }

private:
    void fillInstrumentList();
    void fillNamesPart(int m, std::size_t base, std::size_t mr);
    void fillSubBanks(int m, std::size_t base, std::size_t mr);
    void fillMacroPart(int m, std::size_t mr);
    ByteSpan out() { return b_.bytes(); }

    const SourceRecord& r_;
    int modules_;
    DriverBuilder b_;
    std::uint8_t checksumLength_ = 0;
    int commonHeaderCount_ = 0;
};

void Compiler::fillHeader(bool asciiTable) {
    const ConstByteSpan s = r_.data();
    std::memcpy(out().data() + kHMagic, "DEV ", 4);
    putLE16(out(), kHModuleCount, static_cast<std::uint16_t>(modules_));
    copyNumbers(out(), 0, s, 0, kHeaderNumbers);
    for (const auto& t : kHeaderTexts) copyText(out(), 0, s, 0, t);

    put8(out(), kHIdShift, idShift(r_.u16(src::kSysexIdMask)));
    commonHeaderCount_ = clampCount(r_.s16(src::kCommonHeaderCount), src::kCommonHeaderCapacity);
    putLE16(out(), kHCommonHeaderCount, static_cast<std::uint16_t>(commonHeaderCount_));
    for (int i = 0; i < src::kCommonHeaderCapacity; ++i)
        put8(out(), kHCommonHeader + static_cast<std::size_t>(i),
             r_.u8(src::kCommonHeader + 2 * static_cast<std::size_t>(i)));
    checksumLength_ = checksumLength(r_.u16(src::kChecksumType));
    put8(out(), kHChecksumLength, checksumLength_);
    const std::int16_t timeOut = r_.s16(src::kTimeOut);
    putLE16(out(), kHTimeOut, static_cast<std::uint16_t>(timeOut < 1000 ? 1000 : timeOut));

    if (asciiTable)
        b_.appendBlock(slice(s, rec::kAsciiTable, rec::kAsciiTableSize), kHAsciiRef);
    b_.appendBlock(helpBlock(r_, rec::kHelpLines), kHHelpRef);
    for (int k = 0; k < kModeMessages; ++k) {
        const MessageField f =
            msg40(src::kModeMessages + src::kModeMessageStride * static_cast<std::size_t>(k),
                  kHModeRefs + 2 * static_cast<std::size_t>(k));
        b_.appendMessageBlock(messageOf(r_, 0, f), f.ref);
    }
    b_.appendMessageBlock(messageOf(r_, 0, kChildSubBankSelect), kChildSubBankSelect.ref);
    b_.appendMessageBlock(messageOf(r_, 0, kChildPatchSelect), kChildPatchSelect.ref);
    fillInstrumentList();
}

void Compiler::fillInstrumentList() {
    const std::uint16_t flags = r_.u16(rec::kInstrumentFlags);
    std::vector<std::uint8_t> list;
    std::uint8_t parentPosition = 0;
    if (flags & kInstrSingle) {
        const int singles = clampCount(r_.s16(src::kSingleNumber), kMaxSingles);
        for (int i = 0; i < singles; ++i) list.push_back(static_cast<std::uint8_t>(0x80 + i));
        if (flags & kInstrSingleInMulti) list.push_back(0xA0);
    }
    if (r_.u16(src::kSecondFlags) & kSecondSingle) {
        list.push_back(0x10);
        if (flags & kInstrSingle) list.push_back(0x30);
    }
    if (flags & kInstrParent) {
        parentPosition = static_cast<std::uint8_t>(list.size());
        list.push_back(0x40);
        const int parts = clampCount(r_.s16(src::kParts), kMaxParts);
        for (int i = 0; i < parts; ++i) list.push_back(static_cast<std::uint8_t>(i));
    }
    putLE16(out(), kHInstrumentListCount, static_cast<std::uint16_t>(list.size()));
    list.push_back(0xFF);
    std::copy(list.begin(), list.end(), out().begin() + kHInstrumentList);
    put8(out(), kHParentListPosition, parentPosition);
}

void Compiler::fillModule(int m) {
    const ConstByteSpan s = r_.data();
    const std::size_t base = rec::moduleBase(m);
    const std::size_t mr = moduleRecord(static_cast<std::size_t>(m));
    const std::uint16_t flags = r_.u16(base + rec::kModFlags);

    putLE16(out(), mr + kMIndex, static_cast<std::uint16_t>(m));
    copyText(out(), mr, s, base, kModuleName);
    copyNumbers(out(), mr, s, base, kModuleNumbers);

    // Protocol.
    const MessageView templ = messageOf(r_, base, kTemplateMessage);
    b_.appendMessageBlock(templ, mr + kTemplateMessage.ref);
    putLE16(out(), mr + kMThree, 3);
    put8(out(), mr + kMJokerPosition, jokerPosition(templ, commonHeaderCount_));
    if (r_.u16(base + rec::kModPacketFlags) & (kPacketComplexLoop | kPacketVariableSize))
        b_.appendBlock(slice(s, base + rec::kModPacketArea, rec::kModPacketAreaSize),
                       mr + kMPacketAreaRef);

    // Receive process.
    putLE16(out(), mr + kMReceiveFlags,
            static_cast<std::uint16_t>(r_.u16(base + src::kMReceiveFlags) ^ kPreMessageBit));
    b_.appendBlock(helpBlock(r_, base + src::kMReceiveHelp), mr + kMReceiveHelpRef);
    for (const auto* f : {&kReceiveInit, &kReceivePre, &kRequest1, &kRequest2, &kReceiveEnd})
        b_.appendMessageBlock(messageOf(r_, base, *f), mr + f->ref);

    // Send process.
    putLE16(out(), mr + kMSendFlags,
            static_cast<std::uint16_t>(r_.u16(base + src::kMSendFlags) ^ kPreMessageBit));
    b_.appendBlock(helpBlock(r_, base + src::kMSendHelp), mr + kMSendHelpRef);
    b_.appendMessageBlock(messageOf(r_, base, kSendInit), mr + kSendInit.ref);
    for (const auto& f : kSendMessages) b_.appendMessageBlock(messageOf(r_, base, f), mr + f.ref);
    b_.appendMessageBlock(messageOf(r_, base, kSendEnd), mr + kSendEnd.ref);

    // Data structure.
    put8(out(), mr + kMTrailerLength, trailerLength(r_, m));
    std::uint16_t total = r_.u16(base + rec::kModTotalPatches);
    if (flags & kFlagNamesOnly) {
        total = 0;
        const int subBanks = walkedSubBankCount(r_, m);
        for (int k = 0; k < subBanks; ++k)
            if (r_.u16(base + rec::subBankBase(k) + rec::kSbType) == Ram)
                total = static_cast<std::uint16_t>(total + r_.u16(base + rec::kModPatchesPerSubBank));
    }
    putLE16(out(), mr + kMTotalPatches, total);

    // Patterns the host expects back from the instrument.
    const auto patterns = receivePatterns(r_, m);
    b_.appendBlock(patterns[0], mr + kMPattern1Ref);
    b_.appendBlock(patterns[1], mr + kMPattern2Ref);

    if (flags & kFlagDisplaysNames) fillNamesPart(m, base, mr);
}

void Compiler::fillNamesPart(int m, std::size_t base, std::size_t mr) {
    const ConstByteSpan s = r_.data();
    copyNumbers(out(), mr, s, base, kNamesNumbers);

    // Patch protocol and writing.
    for (const auto& f : kPatchHeaders) b_.appendMessageBlock(messageOf(r_, base, f), mr + f.ref);
    if (r_.u16(base + src::kMWriteMode) != kWriteNotPossible)
        for (const auto& f : kWriteRequests)
            b_.appendMessageBlock(messageOf(r_, base, f), mr + f.ref);

    // Converter program: only the whole records that the block really holds.
    const ConstByteSpan ops = slotBlock(r_, m, rec::kSlotConverter);
    const std::size_t opCount =
        std::min<std::size_t>(r_.u16(base + rec::kModConverterCount), ops.size() / kOperationSize);
    if (opCount > 0) {
        putLE16(out(), mr + kMOperationCount, static_cast<std::uint16_t>(opCount));
        putLE16(out(), mr + kMFinalSize, r_.u16(base + rec::kModConverterFinalSize));
        b_.appendBlock(ops.first(opCount * kOperationSize), mr + kMOperationsRef);
    }

    // Naming.
    std::uint16_t nameLink = 0;
    if (r_.u16(base + src::kMNamingFlags) & kNamingIndirect)
        nameLink = 2;
    else if ((r_.u16(rec::kInstrumentFlags) & kInstrParent) && r_.s16(src::kParentModuleId) == m)
        nameLink = static_cast<std::uint16_t>(4 * r_.u16(src::kParts));
    putLE16(out(), mr + kMNameLink, nameLink);

    fillSubBanks(m, base, mr);
    if (r_.u16(base + rec::kModHasMacro) != 0) fillMacroPart(m, mr);
}

void Compiler::fillSubBanks(int m, std::size_t base, std::size_t mr) {
    const ConstByteSpan s = r_.data();
    const int subBanks = walkedSubBankCount(r_, m);
    std::uint16_t sbFlags = r_.u16(base + src::kMSubBankReserved);
    putLE16(out(), mr + kMSubBankCount, static_cast<std::uint16_t>(subBanks));
    for (const auto& f : kSelectMessages) b_.appendMessageBlock(messageOf(r_, base, f), mr + f.ref);

    std::vector<std::uint8_t> romNames;
    std::array<int, 3> ordinals{};
    for (int k = 0; k < subBanks; ++k) {
        const std::size_t sb = base + rec::subBankBase(k);
        const std::uint16_t type = r_.u16(sb + rec::kSbType);
        std::array<std::uint8_t, kSubBankRecordSize> record{};
        const ByteSpan o(record);
        copyText(o, 0, s, sb, kSubBankName);
        put8(o, kSbFlags, r_.u8(sb + rec::kSbFlags));
        put8(o, kSbType, static_cast<std::uint8_t>(type));
        if (type < ordinals.size()) put8(o, kSbOrdinal, static_cast<std::uint8_t>(ordinals[type]++));
        put8(o, kSbUnused, r_.u8(sb + rec::kSbUnused));
        putLE16(o, kSbBankCode, r_.u16(sb + rec::kSbBankCode));
        putLE16(o, kSbExtraBankCode, r_.u16(sb + rec::kSbExtraBankCode));
        putLE16(o, kSbPatchStart, r_.u16(sb + rec::kSbPatchStart));
        b_.appendBlock(o, mr + kMSubBankRefs + 2 * static_cast<std::size_t>(k));

        if (type == Card) {
            sbFlags |= kSubBankFlagCard;
            putLE16(out(), kHTypeId, static_cast<std::uint16_t>(getLE16(out(), kHTypeId) | kTypeIdCard));
        }
        if (type == Rom) {
            const ConstByteSpan names = slotBlock(r_, m, rec::kSlotRomNames0 + k);
            romNames.insert(romNames.end(), names.begin(), names.end());
        }
    }
    putLE16(out(), mr + kMSubBankFlags, sbFlags);
    b_.appendBlock(romNames, mr + kMRomNamesRef);
}

void Compiler::fillMacroPart(int m, std::size_t mr) {
    const ConstByteSpan s = r_.data();
    const std::size_t base = rec::moduleBase(m);
    copyNumbers(out(), mr, s, base, kMacroNumbers);

    const ConstByteSpan templates = slotBlock(r_, m, rec::kSlotTemplates);
    const std::size_t templateCount =
        std::min<std::size_t>(r_.u16(base + rec::kModTemplateCount), templates.size() / kTemplateSize);
    putLE16(out(), mr + kMTemplateCount, static_cast<std::uint16_t>(templateCount));
    b_.appendBlock(templates.first(templateCount * kTemplateSize), mr + kMTemplatesRef);

    b_.appendBlock(slotBlock(r_, m, rec::kSlotMacros), mr + kMMacrosRef);
    if (r_.block(m, rec::kSlotPatchInfo))
        b_.appendBlock(packPatchInfo(slotBlock(r_, m, rec::kSlotPatchInfo)), mr + kMPatchInfoRef);
    if (r_.block(m, rec::kSlotValueLists))
        b_.appendBlock(packValueLists(slotBlock(r_, m, rec::kSlotValueLists)), mr + kMValueListsRef);
    b_.appendBlock(slotBlock(r_, m, rec::kSlotReserved), mr + kMReservedBlockRef);
    b_.appendBlock(slice(s, base + rec::kModMacroFilter, rec::kMacroFilterSize), mr + kMMacroFilterRef);
}

// ---------------------------------------------------------------------------
// Byte-order pass.

// The data of the block that `ref` (still little-endian) leads to, with its
// length word exchanged; nothing when the reference is 0 or the block does
// not lie inside the image.
std::optional<ByteSpan> takeBlock(ByteSpan image, std::size_t refField, bool& ok) {
    const std::size_t at = getLE16(image, refField);
    if (at == 0) return std::nullopt;
    if (!rangeFits(image.size(), at, 2)) {
        ok = false;
        return std::nullopt;
    }
    const std::size_t length = getLE16(image, at);
    if (!rangeFits(image.size(), at + 2, length)) {
        ok = false;
        return std::nullopt;
    }
    swap16(image, at);
    return image.subspan(at + 2, length);
}

bool swapPacketArea(ByteSpan area, std::uint16_t packetFlags) {
    if (area.size() < kPacketAreaSize) return false;
    if (packetFlags & kPacketComplexLoop) {
        for (std::size_t set = 0; set < 8; ++set)
            for (std::size_t f : {4, 6, 8}) swap16(area, 10 * set + f);
    } else {
        for (std::size_t packet = 0; packet < 10; ++packet)
            for (std::size_t f : {0, 2, 4}) swap16(area, 8 * packet + f);
    }
    return true;
}

bool swapPackedPatchInfo(ByteSpan info) {
    for (std::size_t i = 0; i < kPatchInfoHead / 2; ++i) {
        if (!rangeFits(info.size(), 2 * i, 2)) return false;
        swap16(info, 2 * i);
    }
    return true;
}

template <std::size_t N>
void swapNumbers(ByteSpan image, std::size_t base, const NumberField (&fields)[N]) {
    for (const auto& f : fields) {
        if (f.width == Width::U16) swap16(image, base + f.dst);
        if (f.width == Width::U32) swap32(image, base + f.dst);
    }
}

bool swapModule(ByteSpan image, std::size_t mr) {
    bool ok = true;
    // Counts and flags that steer the walks, read before anything is exchanged.
    const std::uint16_t packetFlags = getLE16(image, mr + kMPacketFlags);
    const int subBanks = clampCount(getLE16s(image, mr + kMSubBankCount), rec::kSubBanks);
    const int templateCount = getLE16(image, mr + kMTemplateCount);

    for (const auto& br : kModuleBlocks) {
        auto block = takeBlock(image, mr + br.ref, ok);
        if (!block) continue;
        switch (br.kind) {
            case BlockKind::Bytes: break;
            case BlockKind::PacketArea: ok = swapPacketArea(*block, packetFlags) && ok; break;
            case BlockKind::ConverterOps:
                ok = swapConverterOps(*block, SwapDirection::ToBigEndian) && ok;
                break;
            case BlockKind::Templates:
                ok = swapTemplates(*block, templateCount, SwapDirection::ToBigEndian) && ok;
                break;
            case BlockKind::Macros: ok = swapMacroList(*block, SwapDirection::ToBigEndian) && ok; break;
            case BlockKind::PackedPatchInfo: ok = swapPackedPatchInfo(*block) && ok; break;
            case BlockKind::PackedValueLists: ok = swapValueLists(*block) && ok; break;
            case BlockKind::MacroFilter:
                if (block->size() >= rec::kMacroFilterSize)
                    swapMacroFilter(*block);
                else
                    ok = false;
                break;
        }
    }
    for (int k = 0; k < subBanks; ++k) {
        auto block = takeBlock(image, mr + kMSubBankRefs + 2 * static_cast<std::size_t>(k), ok);
        if (!block) continue;
        if (block->size() < kSubBankRecordSize) {
            ok = false;
            continue;
        }
        for (std::size_t f : {kSbBankCode, kSbExtraBankCode, kSbPatchStart}) swap16(*block, f);
    }

    // The fixed fields, references included.
    swapNumbers(image, mr, kModuleNumbers);
    swapNumbers(image, mr, kNamesNumbers);
    swapNumbers(image, mr, kMacroNumbers);
    for (std::size_t f : kModuleComputed16) swap16(image, mr + f);
    for (const auto& br : kModuleBlocks) swap16(image, mr + br.ref);
    for (std::size_t k = 0; k < rec::kSubBanks; ++k) swap16(image, mr + kMSubBankRefs + 2 * k);
    return ok;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public interface.

MessageView messageAt(const SourceRecord& r, std::size_t unitsOffset, std::size_t countOffset,
                      int capacity) {
    return {slice(r.data(), unitsOffset, 2 * static_cast<std::size_t>(capacity)), r.s16(countOffset)};
}

bool DriverBuilder::appendBlock(ConstByteSpan data, std::size_t refField) {
    const std::size_t at = image_.size();
    putLE16(bytes(), refField, 0);
    if (data.empty()) return true;
    if (layout_) {
        layout_->push_back({refField, measured_, data.size()});
        measured_ += 2 + data.size() + (data.size() & 1);
        return true;
    }
    if (overflowed_ || at >= kBlockStartLimit || data.size() > kMaxBlockLength) {
        overflowed_ = true;
        return false;
    }
    const std::size_t padded = data.size() + (data.size() & 1);
    image_.resize(at + 2 + padded, 0);
    putLE16(bytes(), at, static_cast<std::uint16_t>(data.size()));
    std::copy(data.begin(), data.end(), image_.begin() + static_cast<std::ptrdiff_t>(at + 2));
    putLE16(bytes(), refField, static_cast<std::uint16_t>(at));
    return true;
}

bool DriverBuilder::appendMessageBlock(const MessageView& message, std::size_t refField) {
    const int n = usedUnits(message);
    std::vector<std::uint8_t> codes(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) codes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(unitAt(message, i));
    return appendBlock(codes, refField);
}

bool swapDriverByteOrder(ByteSpan image) {
    if (image.size() < kHeaderSize) return false;
    bool ok = true;
    const std::size_t fits = (image.size() - kHeaderSize) / kModuleRecordSize;
    const std::size_t modules = std::min<std::size_t>({getLE16(image, kHModuleCount), fits, kMaxModules});
    if (modules != getLE16(image, kHModuleCount)) ok = false;

    for (std::size_t m = 0; m < modules; ++m) ok = swapModule(image, moduleRecord(m)) && ok;

    std::array<std::size_t, 4 + kModeMessages> headerRefs{kHHelpRef, kHAsciiRef, kHChildSubBankRef,
                                                          kHChildPatchRef};
    for (int k = 0; k < kModeMessages; ++k)
        headerRefs[4 + static_cast<std::size_t>(k)] = kHModeRefs + 2 * static_cast<std::size_t>(k);
    for (std::size_t ref : headerRefs) {
        takeBlock(image, ref, ok);
        swap16(image, ref);
    }
    swapNumbers(image, 0, kHeaderNumbers);
    for (std::size_t f : kHeaderComputed16) swap16(image, f);
    for (std::size_t f : kHeaderComputed32) swap32(image, f);
    return ok;
}

std::vector<BlockPlacement> driverBlockLayout(const SourceRecord& source) {
    std::vector<BlockPlacement> layout;
    const int modules = validModuleCount(source);
    if (modules == 0) return layout;
    bool asciiTable = false;
    for (int m = 0; m < modules; ++m)
        if (source.modU16(m, src::kMNamingFlags) & kNamingAscii) asciiTable = true;
    Compiler c(source, modules);
    c.measureInto(&layout);
    c.fillHeader(asciiTable);
    for (int m = 0; m < modules; ++m) c.fillModule(m);
    return layout;
}

CompileResult compileDriver(const SourceRecord& source, Prompter* prompter) {
    const int modules = validModuleCount(source);
    if (modules == 0) {
        if (prompter) prompter->message(kNoNamedModuleMessage, MessageIcon::Stop);
        return {{}, CompileError::NoNamedModule};
    }
    bool asciiTable = false;
    for (int m = 0; m < modules; ++m)
        if (source.modU16(m, src::kMNamingFlags) & kNamingAscii) asciiTable = true;

    Compiler c(source, modules);
    c.fillHeader(asciiTable);
    for (int m = 0; m < modules; ++m) c.fillModule(m);

    DriverBuilder& b = c.builder();
    if (b.overflowed()) {
        if (prompter) {
            std::string text(kDriverTooLargeMessage);
            if (const auto o = driverOverflow(source)) text += "\n" + overflowText(*o);
            prompter->message(text, MessageIcon::Stop);
        }
        return {{}, CompileError::TooLarge};
    }
    putLE32(b.bytes(), kHFileSize, static_cast<std::uint32_t>(b.offset()));
    std::vector<std::uint8_t> image = b.take();
    swapDriverByteOrder(ByteSpan(image));
    return {std::move(image), CompileError::None};
}

}  // namespace sf
