// The driver compiler: turns a driver source record into the compiled driver
// image that the host's patch librarian reads.
//
// Image layout: a 488-byte header, one 448-byte record per written module,
// then a block area of length-prefixed blocks. Every block is a 16-bit length
// L, L data bytes and one 0 byte when L is odd, so blocks start at even
// offsets. Fields refer to blocks by a 16-bit offset from the start of the
// file (0 = no block). All 16-bit and 32-bit numbers are big-endian in the
// finished image: it is built little-endian and converted by one pass over the
// known fields (swapDriverByteOrder) at the end.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "framework/bytes.h"
#include "framework/prompter.h"
#include "source/record.h"

namespace sf {

namespace drv {
inline constexpr std::size_t kHeaderSize = 488;
inline constexpr std::size_t kModuleRecordSize = 448;
inline constexpr std::size_t kMaxModules = 16;
// A block must start below this offset: references are 16-bit.
inline constexpr std::size_t kBlockStartLimit = 0x10000;
inline constexpr std::size_t kMaxBlockLength = 0xFFFF;

constexpr std::size_t moduleRecord(std::size_t index) {
    return kHeaderSize + kModuleRecordSize * index;
}

// ---- Header (offsets from the start of the file) ----
inline constexpr std::size_t kHMagic = 0x000;  // "DEV "
inline constexpr std::size_t kHFileSize = 0x004;  // u32
inline constexpr std::size_t kHDriverVersion = 0x008;
inline constexpr std::size_t kHModuleCount = 0x00A;
inline constexpr std::size_t kHTypeId = 0x00C;  // bit 0x0040: a Card sub-bank is written
inline constexpr std::size_t kHName = 0x00E;  // 18 bytes
inline constexpr std::size_t kHFileName = 0x020;  // 18 bytes
inline constexpr std::size_t kHCompatible = 0x032;  // 18 bytes
inline constexpr std::size_t kHAuthor = 0x044;  // 22 bytes
inline constexpr std::size_t kHBankExtension = 0x05A;  // 26 bytes
inline constexpr std::size_t kHManufacturer = 0x074;
inline constexpr std::size_t kHModelId = 0x076;
inline constexpr std::size_t kHModelSubId = 0x078;  // u8
inline constexpr std::size_t kHDefaultSysexId = 0x07A;
inline constexpr std::size_t kHMinSysexId = 0x07C;  // u8
inline constexpr std::size_t kHMaxSysexId = 0x07D;  // u8
inline constexpr std::size_t kHStringOffset = 0x07E;  // u8
inline constexpr std::size_t kHSysexIdOffset = 0x07F;  // u8
inline constexpr std::size_t kHSysexIdMask = 0x080;  // u8
inline constexpr std::size_t kHIdShift = 0x081;  // u8
inline constexpr std::size_t kHCommonHeaderCount = 0x082;
inline constexpr std::size_t kHCommonHeader = 0x084;  // 8 unit codes
inline constexpr std::size_t kHValuesOver127 = 0x08C;  // u8
inline constexpr std::size_t kHChecksumType = 0x08D;  // u8
inline constexpr std::size_t kHChecksumLength = 0x08E;  // u8
inline constexpr std::size_t kHChecksumStart = 0x090;
inline constexpr std::size_t kHChecksumInit = 0x092;
inline constexpr std::size_t kHTimeOut = 0x094;
inline constexpr std::size_t kHHelpRef = 0x09E;
inline constexpr std::size_t kHAsciiRef = 0x0B4;
inline constexpr std::size_t kHModeReserved = 0x0B6;
inline constexpr std::size_t kHModeRefs = 0x0B8;  // 9 references
inline constexpr int kModeMessages = 9;
inline constexpr std::size_t kHInstrumentFlags = 0x0CC;
inline constexpr std::size_t kHSecondFlags = 0x0CE;
inline constexpr std::size_t kHSingleName = 0x0D0;  // 12 bytes
inline constexpr std::size_t kHSingleNumber = 0x0DC;
inline constexpr std::size_t kHSingleModuleId = 0x0DD;
inline constexpr std::size_t kHSingleTrackSingle = 0x0DE;
inline constexpr std::size_t kHSingleTrackMulti = 0x0DF;
inline constexpr std::size_t kHParentName = 0x0E2;  // 12 bytes
inline constexpr std::size_t kHParts = 0x0EE;
inline constexpr std::size_t kHPartsReserved = 0x0EF;
inline constexpr std::size_t kHParentModuleId = 0x0F0;
inline constexpr std::size_t kHChildModuleId = 0x0F1;
inline constexpr std::size_t kHParentTrack = 0x0F2;
inline constexpr std::size_t kHSubBankInfoType = 0x0FA;
inline constexpr std::size_t kHPatchInfoType = 0x0FB;
inline constexpr std::size_t kHChannelInfoType = 0x0FC;
inline constexpr std::size_t kHMuteInfoType = 0x0FD;
inline constexpr std::size_t kHSubBankInfoOffset = 0x0FE;
inline constexpr std::size_t kHPatchInfoOffset = 0x100;
inline constexpr std::size_t kHChannelInfoOffset = 0x102;
inline constexpr std::size_t kHMuteInfoOffset = 0x104;
inline constexpr std::size_t kHMuteValue = 0x106;
inline constexpr std::size_t kHNextPartOffset = 0x108;
inline constexpr std::size_t kHMuteBitMask = 0x10A;
inline constexpr std::size_t kHParentListPosition = 0x10B;
inline constexpr std::size_t kHChannelBitStart = 0x10C;
inline constexpr std::size_t kHPartsCountOffset = 0x10E;
inline constexpr std::size_t kHSpecialCode = 0x110;
inline constexpr std::size_t kHSubBankBitMask = 0x112;
inline constexpr std::size_t kHPatchBitMask = 0x114;
inline constexpr std::size_t kHAddToIndex = 0x116;
inline constexpr std::size_t kHMultiplyIndex = 0x118;
inline constexpr std::size_t kHChildSubBankRef = 0x136;
inline constexpr std::size_t kHChildPatchRef = 0x138;
inline constexpr std::size_t kHInstrumentListCount = 0x13A;
inline constexpr std::size_t kHInstrumentList = 0x13C;
inline constexpr std::size_t kMaxInstrumentEntries = 36;
inline constexpr std::size_t kHSecondName = 0x164;  // 12 bytes
inline constexpr std::size_t kHSecondModuleId = 0x171;
inline constexpr std::size_t kHSecondTrackSingle = 0x172;
inline constexpr std::size_t kHSecondTrackMulti = 0x173;
static_assert(kHInstrumentList + kMaxInstrumentEntries + 1 <= kHSecondName);
static_assert(kHSecondTrackMulti < kHeaderSize && kHeaderSize == 0x1E8);

// ---- Module record (offsets from the start of the record) ----
inline constexpr std::size_t kMIndex = 0x00;
inline constexpr std::size_t kMName = 0x02;  // 18 bytes
inline constexpr std::size_t kMHasMacro = 0x14;
inline constexpr std::size_t kMDataConversion = 0x15;
inline constexpr std::size_t kMFlags = 0x16;
inline constexpr std::size_t kMReserved = 0x18;
inline constexpr std::size_t kMDrumChannel = 0x1A;
inline constexpr std::size_t kMDrumModule = 0x1B;
inline constexpr std::size_t kMDumpProtocol = 0x2E;
inline constexpr std::size_t kMPacketFlags = 0x30;
inline constexpr std::size_t kMPacketSize = 0x32;
inline constexpr std::size_t kMTemplateRef = 0x34;
inline constexpr std::size_t kMThree = 0x36;  // always 3
inline constexpr std::size_t kMJokerPosition = 0x38;
inline constexpr std::size_t kMHandshakeCodes = 0x39;  // 5 bytes
inline constexpr std::size_t kMAltAckCodes = 0x3F;  // 3 bytes
inline constexpr std::size_t kMAltErrorCodes = 0x42;  // 4 bytes
inline constexpr std::size_t kMX1Start = 0x46;
inline constexpr std::size_t kMX1Last = 0x48;
inline constexpr std::size_t kMX1Step = 0x4A;
inline constexpr std::size_t kMLoop1Precount = 0x4C;
inline constexpr std::size_t kMX2Start = 0x4E;
inline constexpr std::size_t kMX2Last = 0x50;
inline constexpr std::size_t kMX2Step = 0x52;
inline constexpr std::size_t kMLoop2Precount = 0x54;
inline constexpr std::size_t kMStartAddress = 0x56;  // u32
inline constexpr std::size_t kMAddressOffset = 0x5A;
inline constexpr std::size_t kMRolandPrecount = 0x5C;
inline constexpr std::size_t kMPacketAreaRef = 0x6E;
inline constexpr std::size_t kMStructureFlags = 0x7A;
inline constexpr std::size_t kMStructure = 0x7C;
inline constexpr std::size_t kMChecksumStart = 0x7D;
inline constexpr std::size_t kMDataStart = 0x7E;
inline constexpr std::size_t kMTrailerLength = 0x7F;
inline constexpr std::size_t kMPacketsInBulk = 0x86;
inline constexpr std::size_t kMTotalPatches = 0x88;
inline constexpr std::size_t kMPatchSize = 0x8A;  // u32
inline constexpr std::size_t kMPatchesAboveSize = 0x8E;
inline constexpr std::size_t kMSharedSize = 0x90;
inline constexpr std::size_t kMLargePatches = 0x92;
inline constexpr std::size_t kMPatchesPerSubHeader = 0x94;
inline constexpr std::size_t kMMultiHeader = 0x96;
inline constexpr std::size_t kMPattern1Ref = 0x9C;
inline constexpr std::size_t kMPattern2Ref = 0x9E;
inline constexpr std::size_t kMReceiveFlags = 0xB4;
inline constexpr std::size_t kMReceiveHelpRef = 0xB6;
inline constexpr std::size_t kMReceiveInitRef = 0xB8;
inline constexpr std::size_t kMReceiveInitPause = 0xBA;
inline constexpr std::size_t kMReceivePreRef = 0xBC;
inline constexpr std::size_t kMReceivePrePause = 0xBE;
inline constexpr std::size_t kMRequest1Ref = 0xC0;
inline constexpr std::size_t kMRequest2Ref = 0xC2;
inline constexpr std::size_t kMRequest2Usage = 0xC4;
inline constexpr std::size_t kMPacketsPerRequest = 0xC6;
inline constexpr std::size_t kMTotalReceiveSize = 0xC8;  // u32
inline constexpr std::size_t kMReceiveEndRef = 0xCC;
inline constexpr std::size_t kMReceiveEndPause = 0xCE;
inline constexpr std::size_t kMSendFlags = 0xDA;
inline constexpr std::size_t kMSendHelpRef = 0xDC;
inline constexpr std::size_t kMSendInitRef = 0xDE;
inline constexpr std::size_t kMSendInitPause = 0xE0;
inline constexpr std::size_t kMSendPreRef = 0xE2;
inline constexpr std::size_t kMSendPrePause = 0xE4;
inline constexpr std::size_t kMSendHeader1Ref = 0xE6;
inline constexpr std::size_t kMSendHeader2Ref = 0xE8;
inline constexpr std::size_t kMWriteRequestRef = 0xEA;
inline constexpr std::size_t kMHeader2Usage = 0xEC;
inline constexpr std::size_t kMSendPause = 0xEE;
inline constexpr std::size_t kMSendEndRef = 0xF0;
inline constexpr std::size_t kMSendEndPause = 0xF2;
// Written only for modules that display patch names (module flag 0x0008).
inline constexpr std::size_t kMNamesPart = 0x100;
inline constexpr std::size_t kMNamingFlags = 0x100;
inline constexpr std::size_t kMRows = 0x102;
inline constexpr std::size_t kMColumns = 0x104;
inline constexpr std::size_t kMColumnLabel = 0x106;
inline constexpr std::size_t kMRowLabel = 0x107;
inline constexpr std::size_t kMNameOffset = 0x108;
inline constexpr std::size_t kMNameChars = 0x10A;
inline constexpr std::size_t kMNameBitStart = 0x10C;
inline constexpr std::size_t kMNameBitSize = 0x10D;
inline constexpr std::size_t kMNameBitMask = 0x10E;
inline constexpr std::size_t kMNameLink = 0x110;
inline constexpr std::size_t kMNamedModuleId = 0x112;
inline constexpr std::size_t kMBankIndexType = 0x113;
inline constexpr std::size_t kMPatchIndexType = 0x114;
inline constexpr std::size_t kMBankOffset = 0x116;
inline constexpr std::size_t kMPatchIndexOffset = 0x118;
inline constexpr std::size_t kMSubBankFlags = 0x12A;
inline constexpr std::size_t kMSubBankCount = 0x12C;
inline constexpr std::size_t kMPatchesPerSubBank = 0x12E;
inline constexpr std::size_t kMSubBankSelectRef = 0x130;
inline constexpr std::size_t kMPatchSelectRef = 0x132;
inline constexpr std::size_t kMRomNamesRef = 0x134;
inline constexpr std::size_t kMSubBankRefs = 0x136;  // 16 references
inline constexpr std::size_t kMPatchProtocolFlags = 0x15E;
inline constexpr std::size_t kMPatchZero = 0x160;
inline constexpr std::size_t kMPatchPacketSize = 0x162;
inline constexpr std::size_t kMBufferStart = 0x164;  // u32
inline constexpr std::size_t kMPacketRange = 0x168;
inline constexpr std::size_t kMBufferRange = 0x16A;
inline constexpr std::size_t kMPatchPrecount = 0x16C;
inline constexpr std::size_t kMPatchChecksumStart = 0x16E;  // u8
inline constexpr std::size_t kMPatchPackets = 0x170;
inline constexpr std::size_t kMBufferStartPart1 = 0x172;  // u32
inline constexpr std::size_t kMSendWriteFlags = 0x17A;
inline constexpr std::size_t kMDataSize1 = 0x17C;
inline constexpr std::size_t kMDataSize2 = 0x17E;
inline constexpr std::size_t kMMaxBufferSize = 0x180;
inline constexpr std::size_t kMPatchHeader1Ref = 0x182;
inline constexpr std::size_t kMPatchHeader2Ref = 0x184;
inline constexpr std::size_t kMDumpPause = 0x186;
inline constexpr std::size_t kMWriteMode = 0x188;
inline constexpr std::size_t kMWrite1Ref = 0x18A;
inline constexpr std::size_t kMWrite2Ref = 0x18C;
inline constexpr std::size_t kMWritePause = 0x18E;
inline constexpr std::size_t kMWriteStart = 0x190;  // u32
inline constexpr std::size_t kMAddressGap = 0x194;
inline constexpr std::size_t kMDelta = 0x196;
inline constexpr std::size_t kMOperationCount = 0x1A2;
inline constexpr std::size_t kMFinalSize = 0x1A4;
inline constexpr std::size_t kMOperationsRef = 0x1A8;
// Written only when, in addition, the module has a macro editor.
inline constexpr std::size_t kMMacroReserved = 0x1AA;
inline constexpr std::size_t kMTemplateCount = 0x1AC;
inline constexpr std::size_t kMTemplatesRef = 0x1AE;
inline constexpr std::size_t kMMacrosRef = 0x1B0;
inline constexpr std::size_t kMPatchInfoRef = 0x1B2;
inline constexpr std::size_t kMValueListsRef = 0x1B4;
inline constexpr std::size_t kMMacroFilterRef = 0x1B6;
inline constexpr std::size_t kMReservedBlockRef = 0x1B8;
static_assert(kMReservedBlockRef + 2 <= kModuleRecordSize && kModuleRecordSize == 0x1C0);
static_assert(kMSubBankRefs + 2 * 16 <= kMPatchProtocolFlags);

// ---- Blocks ----
inline constexpr std::size_t kPacketAreaSize = 80;
inline constexpr std::size_t kSubBankRecordSize = 26;
inline constexpr std::size_t kSbName = 0;  // 10 bytes, at most 8 characters
inline constexpr std::size_t kSbFlags = 10;
inline constexpr std::size_t kSbType = 11;
inline constexpr std::size_t kSbOrdinal = 12;
inline constexpr std::size_t kSbUnused = 13;
inline constexpr std::size_t kSbBankCode = 14;
inline constexpr std::size_t kSbExtraBankCode = 16;
inline constexpr std::size_t kSbPatchStart = 18;
inline constexpr std::size_t kPatchInfoHead = 24;  // counts, references, offsets
inline constexpr std::size_t kPatchInfoRow = 16;  // value byte + 15-byte tag
inline constexpr std::size_t kValueListsSize = 1632;
inline constexpr std::size_t kValueListsIndexes = 16;  // u16[8] first-value indexes
inline constexpr std::size_t kValueListsValues = 32;  // u16[800] packed values
}  // namespace drv

enum class CompileError {
    None,
    NoNamedModule,  // the first module has no name
    TooLarge,       // a block would start at or beyond 64 KB, or is longer than 65535 bytes
};

inline constexpr std::string_view kNoNamedModuleMessage = "There is no module with a valid name!";
inline constexpr std::string_view kDriverTooLargeMessage =
    "The driver is too large: its data exceeds 64 KB.";

struct CompileResult {
    std::vector<std::uint8_t> image;  // the finished (big-endian) driver; empty on failure
    CompileError error = CompileError::None;
    bool ok() const { return error == CompileError::None; }
};

// One block of the image as the compiler places it: the reference field
// (offset in the fixed part) and where the block would start, with its data
// length.
struct BlockPlacement {
    std::size_t refField;
    std::size_t start;
    std::size_t length;
};
// The blocks of the driver in the order the compiler appends them, placed as
// if references had no 16-bit limit (so that a driver too large to compile
// shows where and by how much it overflows). Empty without a named module.
std::vector<BlockPlacement> driverBlockLayout(const SourceRecord& source);

// Compiles a driver source. A failure is reported through `prompter` (when
// given) with the stop icon and gives an empty image. The record is only read.
CompileResult compileDriver(const SourceRecord& source, Prompter* prompter = nullptr);

// A message value of a record: its 16-bit units (little-endian, capacity ×
// 2 bytes) and its stored count, which may be anything in a damaged record.
struct MessageView {
    ConstByteSpan units;
    int count = 0;
};
// The message whose units start at `unitsOffset` of the record and whose
// count lies at `countOffset`.
MessageView messageAt(const SourceRecord& r, std::size_t unitsOffset, std::size_t countOffset,
                      int capacity);

// Number of checksum bytes of a checksum type ("Checksum type", 0..6): 0 for
// none, 2 for the two-byte types 3 and 4, 1 for every other value.
std::uint8_t checksumLength(std::uint16_t type);
// Bytes after a module's packet data: 0 for "No structure (save raw data)",
// else the F7 plus, with "Use checksum", the checksum bytes.
std::uint8_t trailerLength(const SourceRecord& r, int module);
// The bytes the host expects at the start of a received packet, made from a
// send header: fixed units as their code (Head stays 0xFD, Joker 0xFE),
// variable tags as 0xFE, up to the last fixed unit.
std::vector<std::uint8_t> receivePattern(const MessageView& header);
// A module's two receive patterns (from send "Header #1" and "Header #2");
// "No structure (save raw data)" expects a lone F0 and no second pattern.
std::array<std::vector<std::uint8_t>, 2> receivePatterns(const SourceRecord& r, int module);

// Accumulates the image: the zeroed fixed part, then the block area. The
// running offset R is the current image size.
class DriverBuilder {
public:
    explicit DriverBuilder(std::size_t fixedSize) : image_(fixedSize, 0), measured_(fixedSize) {}
    // Only records where each block would go; no block area is built.
    void measureInto(std::vector<BlockPlacement>* layout) { layout_ = layout; }

    ByteSpan bytes() { return ByteSpan(image_); }
    std::size_t offset() const { return image_.size(); }
    // True once a block could not be placed (start at or beyond 64 KB, or
    // longer than a 16-bit length); later appends then add nothing.
    bool overflowed() const { return overflowed_; }

    // Adds one block of `data` and stores its offset (little-endian) at
    // `refField` of the image; an empty block stores 0 and adds nothing.
    // Answers false when the block could not be placed (reference 0).
    bool appendBlock(ConstByteSpan data, std::size_t refField);
    // appendBlock of the codes (low bytes) of the message's first `count`
    // units; the count is kept within 0 .. the message's capacity.
    bool appendMessageBlock(const MessageView& message, std::size_t refField);

    std::vector<std::uint8_t> take() { return std::move(image_); }

private:
    std::vector<std::uint8_t> image_;
    bool overflowed_ = false;
    std::vector<BlockPlacement>* layout_ = nullptr;
    std::size_t measured_;
};

// Converts a little-endian image, as the builder leaves it, to the file's
// big-endian order: every 16/32-bit field of the header and module records,
// every block length word, and the numbers inside the packet area, sub-bank
// record, converter, template, macro, packed patch information, packed value
// list and macro filter blocks. Counts and references are read before they
// are exchanged. References that do not lead to a whole block inside the
// image are left alone (their block untouched); the answer is then false.
bool swapDriverByteOrder(ByteSpan image);

}  // namespace sf
