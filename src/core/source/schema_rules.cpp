// Enabled state of the settings rows. Each conditional setting names a rule;
// a rule is a small predicate over the values of the same module (or of the
// global part) that the row's ref addresses.
#include <string_view>

#include "source/schema.h"
#include "source/schema_detail.h"

namespace sf {

ModuleUse moduleUse(const SourceRecord& r, int module) {
    // A slot outside the record reads as an all-zero flag word.
    if (module < 0 || module >= rec::kModules) return ModuleUse::DumpOnly;
    const std::uint16_t w = r.modU16(module, rec::kModFlags);
    // Without the dump bit the module only dumps, whatever the names bit says.
    if ((w & 0x08) == 0) return ModuleUse::DumpOnly;
    return (w & 0x40) != 0 ? ModuleUse::NamesOnly : ModuleUse::DumpAndNames;
}

namespace {

// Values of choice settings that the rules test.
namespace v {
inline constexpr int ChecksumNone = 0;       // 27
inline constexpr int SubBankNoInfo = 2;      // 75
inline constexpr int PatchInfoSpecial = 4;   // 82
inline constexpr int ChannelByte = 0;        // 88
inline constexpr int MuteByte = 0;           // 93
inline constexpr int NeverMuted = 3;         // 93
inline constexpr int DontWaitAnswer = 0;     // 121
inline constexpr int OnePatchPerPacket = 0;  // 176
inline constexpr int TwoMainPackets = 1;
inline constexpr int XFromYPackets = 2;
inline constexpr int TwoSizes = 4;
inline constexpr int TwoDifferentPackets = 5;
inline constexpr int TwoSeries = 6;
inline constexpr int NoStructure = 7;
inline constexpr int RomSubBank = 2;          // 261
inline constexpr int WriteRequest = 0;        // 296
inline constexpr int WriteDirect = 1;
inline constexpr int WriteWholeBank = 3;
inline constexpr int MacroEditorYes = 1;      // 114
}  // namespace v

// Bits of the shared flag words whose choices are not plain values.
inline constexpr std::uint16_t kSelectionBits = 0x0300;        // 100 in G+2056
inline constexpr std::uint16_t kPatchSelectionBits = 0x0120;   // 109 in M+18

struct Ctx {
    const SourceRecord& r;
    const SettingRef& ref;
};

SettingRef sibling(const Ctx& c, int id) { return makeRef(id, c.ref.index1, c.ref.index2); }

// Raw number of a setting next to the row (same module, same instance).
std::int32_t value(const Ctx& c, int id) {
    const SettingRef ref = sibling(c, id);
    if (auto off = wordField(c.r, ref)) return c.r.s16(*off);
    if (auto off = byteField(c.r, ref)) return c.r.u8(*off);
    if (auto off = longField(c.r, ref)) return c.r.s32(*off);
    return 0;
}

std::uint32_t rawBits(const Ctx& c, int id) {
    const SettingRef ref = sibling(c, id);
    if (auto off = wordField(c.r, ref)) return c.r.u16(*off);
    if (auto off = byteField(c.r, ref)) return c.r.u8(*off);
    return 0;
}

// True when the setting shows "Yes": a flag whose shown entry reads "Yes"
// (lists with "Yes" on the clear bit included), a choice whose value's entry
// reads "Yes", or a non-zero yes/no value.
bool yes(const Ctx& c, int id) {
    const SettingItem* item = findSettingItem(id);
    if (item == nullptr) return false;
    if (item->editor == Editor::YesNo) return value(c, id) != 0;
    if (item->choices == nullptr) return false;
    if (item->editor == Editor::Flag) {
        const bool set = (rawBits(c, id) & item->mask) != 0;
        const char* text = item->choices[set ? 1 : 0].text;
        return text != nullptr && std::string_view(text) == "Yes";
    }
    const std::int32_t val = value(c, id);
    for (const ChoiceEntry* e = item->choices; e->text != nullptr; ++e)
        if (e->value == val) return std::string_view(e->text) == "Yes";
    return false;
}

bool flagSet(const Ctx& c, int id) {
    const SettingItem* item = findSettingItem(id);
    return item != nullptr && (rawBits(c, id) & item->mask) != 0;
}

bool messageEmpty(const Ctx& c, int id) {
    const auto f = messageField(c.r, sibling(c, id));
    return !f || c.r.s16(f->count) <= 0;
}

ModuleUse use(const Ctx& c) { return moduleUse(c.r, c.ref.index1); }
bool notD(const Ctx& c) { return use(c) != ModuleUse::DumpOnly; }
bool notN(const Ctx& c) { return use(c) != ModuleUse::NamesOnly; }
bool isDN(const Ctx& c) { return use(c) == ModuleUse::DumpAndNames; }
int structure(const Ctx& c) { return value(c, 176); }

// Global part.
bool sysexIdTyped(const Ctx& c) { return !flagSet(c, 19); }  // first entry: "Sysex ID"
bool checksumUsed(const Ctx& c) { return value(c, 27) != v::ChecksumNone; }
bool hasSingle(const Ctx& c) { return yes(c, 46); }
bool singleInMulti(const Ctx& c) { return yes(c, 46) && yes(c, 51); }
bool hasSecondSingle(const Ctx& c) { return yes(c, 54); }
bool secondSingleInMulti(const Ctx& c) { return yes(c, 54) && yes(c, 58); }
bool hasParent(const Ctx& c) { return yes(c, 61); }
bool variableChildren(const Ctx& c) { return hasParent(c) && yes(c, 66); }
bool childrenSelectable(const Ctx& c) { return hasParent(c) && yes(c, 67); }
bool childEditable(const Ctx& c) { return childrenSelectable(c) && yes(c, 70); }
bool subBankInfo(const Ctx& c) { return hasParent(c) && value(c, 75) != v::SubBankNoInfo; }
bool patchInfoSpecial(const Ctx& c) { return hasParent(c) && value(c, 82) == v::PatchInfoSpecial; }
bool channelInfoByte(const Ctx& c) { return hasParent(c) && value(c, 88) == v::ChannelByte; }
bool muteInfo(const Ctx& c) { return hasParent(c) && value(c, 93) != v::NeverMuted; }
bool muteInfoByte(const Ctx& c) { return hasParent(c) && value(c, 93) == v::MuteByte; }
bool childSelection(const Ctx& c) { return hasParent(c) && yes(c, 99); }
bool childSelectionCustom(const Ctx& c) {
    // "Use Custom Message" is the selection with neither bit of 100 set.
    return childSelection(c) && (rawBits(c, 100) & kSelectionBits) == 0;
}

// Module global settings.
bool showsNames(const Ctx& c) { return notD(c); }
bool drumPart(const Ctx& c) { return notD(c) && yes(c, 111); }
bool dumpsAndNames(const Ctx& c) { return isDN(c); }
bool dumps(const Ctx& c) { return notN(c); }
bool macroEditor(const Ctx& c) { return isDN(c) && value(c, 114) == v::MacroEditorYes; }

// Bank sysex protocol.
bool packets(const Ctx& c) { return notN(c) && yes(c, 123); }
bool fixedPackets(const Ctx& c) { return packets(c) && !yes(c, 125); }
bool packetSequence(const Ctx& c) { return packets(c) && yes(c, 125); }
bool protocolAnswers(const Ctx& c) { return notN(c) && value(c, 121) != v::DontWaitAnswer; }
bool simpleLoop(const Ctx& c) { return notN(c) && !yes(c, 161); }
bool complexLoop(const Ctx& c) { return notN(c) && yes(c, 161); }

// Data structure.
bool structured(const Ctx& c) { return notN(c) && structure(c) != v::NoStructure; }
bool structuredChecksum(const Ctx& c) { return structured(c) && yes(c, 116); }
bool twoSizes(const Ctx& c) { return notN(c) && structure(c) == v::TwoSizes; }
bool patchComplement(const Ctx& c) {
    const int s = structure(c);
    return notN(c) && (s == v::TwoMainPackets || s == v::TwoDifferentPackets || s == v::TwoSeries);
}
bool queueStructure(const Ctx& c) {
    const int s = structure(c);
    return notN(c) && (s == v::OnePatchPerPacket || s == v::XFromYPackets);
}
bool queueSize(const Ctx& c) { return queueStructure(c) && yes(c, 188); }
bool multiHeaders(const Ctx& c) { return structured(c) && yes(c, 189); }

// Receive and send processes. The modes' second entry is "Manual start".
bool receiveManual(const Ctx& c) { return notN(c) && flagSet(c, 196); }
bool secondRequest(const Ctx& c) { return notN(c) && !messageEmpty(c, 206); }
bool sendManual(const Ctx& c) { return notN(c) && flagSet(c, 215); }
bool secondHeader(const Ctx& c) { return notN(c) && !messageEmpty(c, 225); }

// Display.
bool named(const Ctx& c) { return notD(c) && yes(c, 237); }
bool indirectName(const Ctx& c) { return named(c) && yes(c, 248); }

// Sub-bank definitions. The sub-bank count is checked for every sub-bank row
// by isEnabled itself.
bool specialSelection(const Ctx& c) {
    // "Special" is the patch selection with neither bit of 109 set.
    return notD(c) && (rawBits(c, 109) & kPatchSelectionBits) == 0;
}
bool subBank(const Ctx& c) { return notD(c); }
bool romSubBank(const Ctx& c) { return subBank(c) && value(c, 261) == v::RomSubBank; }
bool selectableSubBank(const Ctx& c) { return subBank(c) && yes(c, 267); }
bool extraBankCode(const Ctx& c) { return subBank(c) && yes(c, 270); }

// Patch handling.
bool patchPackets(const Ctx& c) { return isDN(c) && yes(c, 277); }
bool patchFixedPackets(const Ctx& c) { return patchPackets(c) && !yes(c, 278); }
bool twoPartPatch(const Ctx& c) {
    const int s = structure(c);
    return isDN(c) && (s == v::TwoDifferentPackets || s == v::TwoSeries);
}
bool patchBuffer(const Ctx& c) { return isDN(c) && yes(c, 288); }
bool twoPartBuffer(const Ctx& c) { return twoPartPatch(c) && yes(c, 288); }
bool writeMode(const Ctx& c, int a, int b) {
    const int m = value(c, 296);
    return m == a || m == b;
}
bool writeRequest(const Ctx& c) { return isDN(c) && writeMode(c, v::WriteRequest, v::WriteDirect); }
bool twoPartWriteRequest(const Ctx& c) {
    return twoPartPatch(c) && writeMode(c, v::WriteRequest, v::WriteDirect);
}
bool programChangeAfter(const Ctx& c) {
    return isDN(c) && writeMode(c, v::WriteDirect, v::WriteWholeBank);
}

using Rule = bool (*)(const Ctx&);
struct RuleEntry {
    std::int16_t id;
    Rule rule;
};

// The rule of every conditional setting. Conditional settings missing here
// have no rule and stay enabled.
constexpr RuleEntry kRules[] = {
    {22, sysexIdTyped}, {23, sysexIdTyped}, {24, sysexIdTyped}, {25, sysexIdTyped}, {28, checksumUsed},
    {29, checksumUsed}, {47, hasSingle}, {48, hasSingle}, {49, hasSingle}, {50, hasSingle},
    {51, hasSingle}, {52, singleInMulti}, {55, hasSecondSingle}, {56, hasSecondSingle}, {57, hasSecondSingle},
    {58, hasSecondSingle}, {59, secondSingleInMulti}, {62, hasParent}, {63, hasParent}, {64, hasParent},
    {65, hasParent}, {66, hasParent}, {68, variableChildren}, {67, hasParent}, {69, hasParent},
    {70, childrenSelectable}, {71, childEditable}, {72, hasParent}, {73, hasParent}, {75, hasParent},
    {74, subBankInfo}, {76, subBankInfo}, {77, subBankInfo}, {78, subBankInfo}, {79, subBankInfo},
    {80, hasParent}, {82, hasParent}, {81, hasParent}, {83, patchInfoSpecial}, {84, hasParent},
    {85, hasParent}, {86, hasParent}, {88, hasParent}, {87, channelInfoByte}, {90, channelInfoByte},
    {89, channelInfoByte}, {91, hasParent}, {93, hasParent}, {92, muteInfo}, {94, muteInfo},
    {95, muteInfoByte}, {96, muteInfo}, {97, hasParent}, {99, muteInfoByte}, {100, childSelection},
    {101, childSelectionCustom}, {102, childSelectionCustom}, {109, showsNames}, {110, showsNames}, {111, showsNames},
    {112, drumPart}, {113, drumPart}, {115, dumpsAndNames}, {114, dumpsAndNames}, {116, dumps},
    {117, dumps}, {118, dumps}, {121, dumps}, {122, dumps}, {123, dumps},
    {124, fixedPackets}, {125, packets}, {126, packetSequence}, {127, packetSequence}, {128, packetSequence},
    {129, packetSequence}, {130, packetSequence}, {131, packetSequence}, {132, packetSequence}, {133, protocolAnswers},
    {134, protocolAnswers}, {135, protocolAnswers}, {136, protocolAnswers}, {137, protocolAnswers}, {138, protocolAnswers},
    {139, protocolAnswers}, {140, protocolAnswers}, {141, protocolAnswers}, {142, protocolAnswers}, {143, protocolAnswers},
    {144, protocolAnswers}, {145, protocolAnswers}, {146, protocolAnswers}, {147, dumps}, {148, simpleLoop},
    {149, simpleLoop}, {150, simpleLoop}, {151, simpleLoop}, {152, simpleLoop}, {153, simpleLoop},
    {154, simpleLoop}, {155, simpleLoop}, {156, simpleLoop}, {157, simpleLoop}, {161, dumps},
    {162, complexLoop}, {163, complexLoop}, {164, complexLoop}, {165, complexLoop}, {166, complexLoop},
    {167, complexLoop}, {168, complexLoop}, {169, complexLoop}, {170, complexLoop}, {171, complexLoop},
    {172, complexLoop}, {173, complexLoop}, {174, dumps}, {176, dumps}, {177, structured},
    {178, structuredChecksum}, {179, structured}, {180, structured}, {181, structured}, {182, structured},
    {183, twoSizes}, {184, patchComplement}, {185, twoSizes}, {187, twoSizes}, {188, queueStructure},
    {186, queueSize}, {189, structured}, {190, multiHeaders}, {191, multiHeaders}, {193, dumps},
    {194, dumps}, {195, dumps}, {196, dumps}, {197, receiveManual}, {198, dumps},
    {199, dumps}, {200, dumps}, {201, dumps}, {202, dumps}, {203, dumps},
    {204, dumps}, {205, dumps}, {206, dumps}, {207, secondRequest}, {208, dumps},
    {209, dumps}, {210, dumps}, {211, dumps}, {212, dumps}, {213, dumps},
    {214, dumps}, {215, dumps}, {216, sendManual}, {217, dumps}, {218, dumps},
    {219, dumps}, {220, dumps}, {221, dumps}, {222, dumps}, {223, dumps},
    {224, dumps}, {225, dumps}, {226, secondHeader}, {227, dumps}, {228, dumps},
    {229, dumps}, {230, dumps}, {231, showsNames}, {232, showsNames}, {233, showsNames},
    {234, showsNames}, {235, showsNames}, {236, showsNames}, {237, showsNames}, {238, showsNames},
    {239, named}, {240, named}, {241, named}, {242, named}, {243, named},
    {244, named}, {245, named}, {246, named}, {247, named}, {248, named},
    {249, indirectName}, {250, indirectName}, {251, indirectName}, {252, indirectName}, {253, indirectName},
    {254, indirectName}, {255, showsNames}, {256, showsNames}, {257, showsNames}, {258, specialSelection},
    {259, specialSelection}, {260, subBank}, {261, subBank}, {262, subBank}, {263, subBank},
    {264, romSubBank}, {265, romSubBank}, {266, subBank}, {267, subBank}, {268, selectableSubBank},
    {269, selectableSubBank}, {270, subBank}, {271, extraBankCode}, {272, dumpsAndNames}, {273, dumpsAndNames},
    {274, dumpsAndNames}, {275, dumpsAndNames}, {276, dumpsAndNames}, {277, dumpsAndNames}, {280, patchFixedPackets},
    {279, patchPackets}, {278, patchPackets}, {281, dumpsAndNames}, {282, dumpsAndNames}, {283, dumpsAndNames},
    {284, patchFixedPackets}, {285, dumpsAndNames}, {286, dumpsAndNames}, {287, dumpsAndNames}, {288, dumpsAndNames},
    {289, dumpsAndNames}, {290, twoPartPatch}, {291, dumpsAndNames}, {292, patchBuffer}, {293, twoPartBuffer},
    {294, patchBuffer}, {295, dumpsAndNames}, {296, dumpsAndNames}, {297, writeRequest}, {298, twoPartWriteRequest},
    {299, writeRequest}, {300, writeRequest}, {301, writeRequest}, {302, writeRequest}, {303, programChangeAfter},
    {304, dumpsAndNames}, {305, dumpsAndNames}, {306, macroEditor}, {307, macroEditor},
};

Rule ruleOf(int id) {
    for (const RuleEntry& e : kRules)
        if (e.id == id) return e.rule;
    return nullptr;
}

}  // namespace

bool isEnabled(const SourceRecord& r, const SettingRef& ref) {
    const SettingItem* item = findSettingItem(ref.id);
    if (item == nullptr) return false;
    if (!item->has(setting_flag::Conditional)) return true;
    if (isModuleSetting(ref.id) && (ref.index1 < 0 || ref.index1 >= rec::kModules)) return false;
    if (schema_detail::innerRepeat(*item) == Repeat::SubBanks16) {
        if (ref.index2 < 0 || ref.index2 >= rec::kSubBanks) return false;
        if (ref.index2 >= r.modS16(ref.index1, rec::kModSubBankCount)) return false;
    }
    const Rule rule = ruleOf(ref.id);
    return rule == nullptr || rule(Ctx{r, ref});
}

}  // namespace sf
