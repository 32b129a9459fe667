#include "driver/compiler_limits.h"

#include <algorithm>

namespace sf {

using namespace drv;

SettingRef blockSetting(std::size_t refField, int& module) {
    module = -1;
    if (refField < kHeaderSize) {
        if (refField == kHAsciiRef) return makeRef(33);
        if (refField == kHHelpRef) return makeRef(30);
        if (refField == kHChildSubBankRef) return makeRef(101);
        if (refField == kHChildPatchRef) return makeRef(102);
        return makeRef(35 + static_cast<int>((refField - kHModeRefs) / 2));
    }
    module = static_cast<int>((refField - kHeaderSize) / kModuleRecordSize);
    const std::size_t f = refField - moduleRecord(static_cast<std::size_t>(module));
    struct Place {
        std::size_t field;
        int id;
    };
    static constexpr Place kPlaces[] = {
        {kMTemplateRef, 134},     {kMPacketAreaRef, 126},  {kMPattern1Ref, 224},
        {kMPattern2Ref, 225},     {kMReceiveHelpRef, 198}, {kMReceiveInitRef, 194},
        {kMReceivePreRef, 202},   {kMRequest1Ref, 205},    {kMRequest2Ref, 206},
        {kMReceiveEndRef, 210},   {kMSendHelpRef, 217},    {kMSendInitRef, 213},
        {kMSendPreRef, 221},      {kMSendHeader1Ref, 224}, {kMSendHeader2Ref, 225},
        {kMWriteRequestRef, 227}, {kMSendEndRef, 229},     {kMSubBankSelectRef, 258},
        {kMPatchSelectRef, 259},  {kMRomNamesRef, 255},    {kMPatchHeader1Ref, 292},
        {kMPatchHeader2Ref, 293}, {kMWrite1Ref, 297},      {kMWrite2Ref, 298},
        {kMOperationsRef, 305},
    };
    for (const auto& p : kPlaces)
        if (p.field == f) return makeRef(p.id, module);
    if (f >= kMSubBankRefs && f < kMSubBankRefs + 32)
        return makeRef(260, module, static_cast<int>((f - kMSubBankRefs) / 2));
    return makeRef(307, module);
}

std::optional<DriverOverflow> driverOverflow(const SourceRecord& source) {
    for (const BlockPlacement& b : driverBlockLayout(source)) {
        const bool tooLong = b.length > kMaxBlockLength;
        if (!tooLong && b.start < kBlockStartLimit) continue;
        DriverOverflow o;
        o.block = b;
        o.setting = blockSetting(b.refField, o.module);
        o.tooLong = tooLong;
        o.excess = tooLong ? b.length - kMaxBlockLength : b.start - (kBlockStartLimit - 1);
        return o;
    }
    return std::nullopt;
}

std::string overflowText(const DriverOverflow& o) {
    std::string where = o.module >= 0 ? "Module " + std::to_string(o.module + 1) + ", block \""
                                      : std::string("Block \"");
    where += rowLabel(o.setting) + "\"";
    if (o.tooLong)
        return where + " is " + std::to_string(o.block.length) + " bytes long, " +
               std::to_string(o.excess) + " bytes more than the 65535 a block can hold.";
    return where + " would start at byte " + std::to_string(o.block.start) + ", " +
           std::to_string(o.excess) + " bytes past 65535, where no 16-bit reference can reach it.";
}

std::optional<long> driverRoom(const SourceRecord& source) {
    const int modules = validModuleCount(source);
    if (modules == 0) return std::nullopt;
    const std::vector<BlockPlacement> layout = driverBlockLayout(source);
    // Every block after a grown one moves up: the last block's start must
    // stay within reach, and no block may outgrow a 16-bit length.
    const std::size_t last =
        layout.empty() ? moduleRecord(static_cast<std::size_t>(modules)) : layout.back().start;
    long room = static_cast<long>(kBlockStartLimit - 1) - static_cast<long>(last);
    for (const BlockPlacement& b : layout)
        room = std::min(room, static_cast<long>(kMaxBlockLength) - static_cast<long>(b.length));
    return room;
}

std::string driverRoomText(const SourceRecord& candidate) {
    const std::optional<long> room = driverRoom(candidate);
    if (!room) return {};
    if (*room >= 0) return "Room left in the driver: " + std::to_string(*room) + " bytes";
    return "The driver is " + std::to_string(-*room) + " bytes too large to compile";
}

std::string driverRoomQuestion(const SourceRecord& candidate) {
    const std::optional<DriverOverflow> o = driverOverflow(candidate);
    if (!o) return {};
    return "With this change the driver can no longer be compiled:\n" + overflowText(*o) +
           "\nThe source will still be saved, but no driver file. Keep the change?";
}

}  // namespace sf
