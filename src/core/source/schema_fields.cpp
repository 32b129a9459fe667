// Where each value lives in a SourceRecord. The storage table gives, per
// setting, the offset inside the header or inside a module record, the field
// width, and for repeated values the index that selects the instance and the
// distance between two instances.
#include <iterator>

#include "source/schema.h"
#include "source/schema_detail.h"

namespace sf {
namespace {

enum class Base : std::uint8_t { Global, Module };
// Which index selects the instance: help line (index1 for the global lines,
// index2 inside a module), packet, loop set or sub-bank (index2).
enum class Index : std::uint8_t { None, Line, Packet, LoopSet, SubBank };

struct Storage {
    std::int16_t id;
    Base base;
    std::uint16_t offset;  // from the record start (Global) or the module start
    std::uint16_t size;    // field bytes; for messages the unit array
    Index index;
    std::uint8_t stride;   // bytes between two instances
    std::uint16_t count;   // messages: offset of the 16-bit count
};

// Settings without storage: groups, dialog items (their blocks live in block
// slots), and the computed sums 131 and 132.
constexpr Storage kStorage[] = {
    {4, Base::Global, 16, 17, Index::None, 0, 0},
    {5, Base::Global, 67, 21, Index::None, 0, 0},
    {6, Base::Global, 33, 17, Index::None, 0, 0},
    {7, Base::Global, 50, 17, Index::None, 0, 0},
    {8, Base::Global, 88, 4, Index::None, 0, 0},
    {9, Base::Global, 10, 2, Index::None, 0, 0},
    {10, Base::Global, 174, 2, Index::None, 0, 0},
    {11, Base::Global, 174, 2, Index::None, 0, 0},
    {12, Base::Global, 176, 2, Index::None, 0, 0},
    {13, Base::Global, 178, 1, Index::None, 0, 0},
    {15, Base::Global, 194, 16, Index::None, 0, 192},
    {16, Base::Global, 210, 2, Index::None, 0, 0},
    {17, Base::Global, 216, 2, Index::None, 0, 0},
    {19, Base::Global, 14, 2, Index::None, 0, 0},
    {20, Base::Global, 188, 2, Index::None, 0, 0},
    {21, Base::Global, 190, 2, Index::None, 0, 0},
    {22, Base::Global, 182, 2, Index::None, 0, 0},
    {23, Base::Global, 184, 2, Index::None, 0, 0},
    {24, Base::Global, 180, 2, Index::None, 0, 0},
    {25, Base::Global, 186, 2, Index::None, 0, 0},
    {27, Base::Global, 212, 2, Index::None, 0, 0},
    {28, Base::Global, 214, 2, Index::None, 0, 0},
    {29, Base::Global, 218, 2, Index::None, 0, 0},
    {31, Base::Global, 238, 51, Index::Line, 51, 0},
    {33, Base::Global, 778, 128, Index::None, 0, 0},
    {35, Base::Global, 908, 80, Index::None, 0, 988},
    {36, Base::Global, 990, 80, Index::None, 0, 1070},
    {37, Base::Global, 1072, 80, Index::None, 0, 1152},
    {38, Base::Global, 1154, 80, Index::None, 0, 1234},
    {39, Base::Global, 1236, 80, Index::None, 0, 1316},
    {40, Base::Global, 1318, 80, Index::None, 0, 1398},
    {41, Base::Global, 1400, 80, Index::None, 0, 1480},
    {42, Base::Global, 1482, 80, Index::None, 0, 1562},
    {43, Base::Global, 1564, 80, Index::None, 0, 1644},
    {46, Base::Global, 2056, 2, Index::None, 0, 0},
    {47, Base::Global, 2072, 2, Index::None, 0, 0},
    {48, Base::Global, 2060, 11, Index::None, 0, 0},
    {49, Base::Global, 2074, 2, Index::None, 0, 0},
    {50, Base::Global, 2076, 2, Index::None, 0, 0},
    {51, Base::Global, 2056, 2, Index::None, 0, 0},
    {52, Base::Global, 2078, 1, Index::None, 0, 0},
    {54, Base::Global, 2058, 2, Index::None, 0, 0},
    {55, Base::Global, 2340, 12, Index::None, 0, 0},
    {56, Base::Global, 2352, 2, Index::None, 0, 0},
    {57, Base::Global, 2354, 1, Index::None, 0, 0},
    {58, Base::Global, 2058, 2, Index::None, 0, 0},
    {59, Base::Global, 2355, 1, Index::None, 0, 0},
    {61, Base::Global, 2056, 2, Index::None, 0, 0},
    {62, Base::Global, 2082, 11, Index::None, 0, 0},
    {63, Base::Global, 2098, 2, Index::None, 0, 0},
    {64, Base::Global, 2102, 2, Index::None, 0, 0},
    {65, Base::Global, 2094, 2, Index::None, 0, 0},
    {66, Base::Global, 2056, 2, Index::None, 0, 0},
    {68, Base::Global, 2134, 2, Index::None, 0, 0},
    {67, Base::Global, 2056, 2, Index::None, 0, 0},
    {69, Base::Global, 2100, 2, Index::None, 0, 0},
    {70, Base::Global, 2056, 2, Index::None, 0, 0},
    {71, Base::Global, 2056, 2, Index::None, 0, 0},
    {75, Base::Global, 2112, 2, Index::None, 0, 0},
    {74, Base::Global, 2110, 2, Index::None, 0, 0},
    {76, Base::Global, 2140, 2, Index::None, 0, 0},
    {77, Base::Global, 2144, 2, Index::None, 0, 0},
    {78, Base::Global, 2146, 2, Index::None, 0, 0},
    {79, Base::Global, 2056, 2, Index::None, 0, 0},
    {82, Base::Global, 2116, 2, Index::None, 0, 0},
    {81, Base::Global, 2114, 2, Index::None, 0, 0},
    {83, Base::Global, 2138, 2, Index::None, 0, 0},
    {84, Base::Global, 2142, 2, Index::None, 0, 0},
    {85, Base::Global, 2056, 2, Index::None, 0, 0},
    {88, Base::Global, 2120, 2, Index::None, 0, 0},
    {87, Base::Global, 2118, 2, Index::None, 0, 0},
    {90, Base::Global, 2136, 2, Index::None, 0, 0},
    {89, Base::Global, 2056, 2, Index::None, 0, 0},
    {93, Base::Global, 2124, 2, Index::None, 0, 0},
    {92, Base::Global, 2122, 2, Index::None, 0, 0},
    {94, Base::Global, 2126, 2, Index::None, 0, 0},
    {95, Base::Global, 2130, 2, Index::None, 0, 0},
    {96, Base::Global, 2056, 2, Index::None, 0, 0},
    {97, Base::Global, 2128, 2, Index::None, 0, 0},
    {99, Base::Global, 2056, 2, Index::None, 0, 0},
    {100, Base::Global, 2056, 2, Index::None, 0, 0},
    {101, Base::Global, 2176, 80, Index::None, 0, 2256},
    {102, Base::Global, 2258, 80, Index::None, 0, 2338},
    {103, Base::Global, 12, 2, Index::None, 0, 0},
    {107, Base::Module, 0, 17, Index::None, 0, 0},
    {108, Base::Module, 18, 2, Index::None, 0, 0},
    {109, Base::Module, 18, 2, Index::None, 0, 0},
    {110, Base::Module, 18, 2, Index::None, 0, 0},
    {111, Base::Module, 18, 2, Index::None, 0, 0},
    {112, Base::Module, 30, 2, Index::None, 0, 0},
    {113, Base::Module, 28, 2, Index::None, 0, 0},
    {115, Base::Module, 18, 2, Index::None, 0, 0},
    {114, Base::Module, 22, 2, Index::None, 0, 0},
    {116, Base::Module, 18, 2, Index::None, 0, 0},
    {117, Base::Module, 24, 2, Index::None, 0, 0},
    {118, Base::Module, 18, 2, Index::None, 0, 0},
    {121, Base::Module, 58, 2, Index::None, 0, 0},
    {123, Base::Module, 60, 2, Index::None, 0, 0},
    {124, Base::Module, 62, 2, Index::None, 0, 0},
    {125, Base::Module, 60, 2, Index::None, 0, 0},
    {128, Base::Module, 214, 2, Index::Packet, 8, 0},
    {129, Base::Module, 216, 2, Index::Packet, 8, 0},
    {130, Base::Module, 212, 2, Index::Packet, 8, 0},
    {134, Base::Module, 64, 80, Index::None, 0, 144},
    {135, Base::Module, 146, 2, Index::None, 0, 0},
    {136, Base::Module, 148, 2, Index::None, 0, 0},
    {137, Base::Module, 150, 2, Index::None, 0, 0},
    {138, Base::Module, 152, 2, Index::None, 0, 0},
    {139, Base::Module, 154, 2, Index::None, 0, 0},
    {140, Base::Module, 158, 2, Index::None, 0, 0},
    {141, Base::Module, 160, 2, Index::None, 0, 0},
    {142, Base::Module, 162, 2, Index::None, 0, 0},
    {143, Base::Module, 164, 2, Index::None, 0, 0},
    {144, Base::Module, 166, 2, Index::None, 0, 0},
    {145, Base::Module, 168, 2, Index::None, 0, 0},
    {146, Base::Module, 170, 2, Index::None, 0, 0},
    {149, Base::Module, 172, 2, Index::None, 0, 0},
    {150, Base::Module, 174, 2, Index::None, 0, 0},
    {151, Base::Module, 176, 2, Index::None, 0, 0},
    {152, Base::Module, 192, 2, Index::None, 0, 0},
    {154, Base::Module, 178, 2, Index::None, 0, 0},
    {155, Base::Module, 180, 2, Index::None, 0, 0},
    {156, Base::Module, 182, 2, Index::None, 0, 0},
    {157, Base::Module, 194, 2, Index::None, 0, 0},
    {158, Base::Module, 184, 4, Index::None, 0, 0},
    {159, Base::Module, 188, 2, Index::None, 0, 0},
    {160, Base::Module, 190, 2, Index::None, 0, 0},
    {161, Base::Module, 60, 2, Index::None, 0, 0},
    {165, Base::Module, 212, 1, Index::LoopSet, 10, 0},
    {166, Base::Module, 216, 2, Index::LoopSet, 10, 0},
    {167, Base::Module, 215, 1, Index::LoopSet, 10, 0},
    {168, Base::Module, 218, 2, Index::LoopSet, 10, 0},
    {169, Base::Module, 215, 1, Index::LoopSet, 10, 0},
    {171, Base::Module, 213, 1, Index::LoopSet, 10, 0},
    {172, Base::Module, 220, 2, Index::LoopSet, 10, 0},
    {173, Base::Module, 215, 1, Index::LoopSet, 10, 0},
    {176, Base::Module, 324, 2, Index::None, 0, 0},
    {177, Base::Module, 330, 2, Index::None, 0, 0},
    {178, Base::Module, 326, 2, Index::None, 0, 0},
    {180, Base::Module, 342, 2, Index::None, 0, 0},
    {181, Base::Module, 344, 2, Index::None, 0, 0},
    {182, Base::Module, 346, 4, Index::None, 0, 0},
    {183, Base::Module, 350, 2, Index::None, 0, 0},
    {184, Base::Module, 352, 2, Index::None, 0, 0},
    {185, Base::Module, 352, 2, Index::None, 0, 0},
    {187, Base::Module, 354, 2, Index::None, 0, 0},
    {188, Base::Module, 322, 2, Index::None, 0, 0},
    {186, Base::Module, 352, 2, Index::None, 0, 0},
    {189, Base::Module, 322, 2, Index::None, 0, 0},
    {190, Base::Module, 358, 2, Index::None, 0, 0},
    {191, Base::Module, 356, 2, Index::None, 0, 0},
    {194, Base::Module, 1080, 120, Index::None, 0, 1200},
    {195, Base::Module, 1202, 2, Index::None, 0, 0},
    {196, Base::Module, 568, 2, Index::None, 0, 0},
    {197, Base::Module, 568, 2, Index::None, 0, 0},
    {199, Base::Module, 570, 51, Index::Line, 51, 0},
    {200, Base::Module, 568, 2, Index::None, 0, 0},
    {202, Base::Module, 1204, 80, Index::None, 0, 1284},
    {203, Base::Module, 568, 2, Index::None, 0, 0},
    {204, Base::Module, 1286, 2, Index::None, 0, 0},
    {205, Base::Module, 1288, 80, Index::None, 0, 1368},
    {206, Base::Module, 1370, 80, Index::None, 0, 1450},
    {207, Base::Module, 1452, 2, Index::None, 0, 0},
    {208, Base::Module, 1454, 2, Index::None, 0, 0},
    {209, Base::Module, 1456, 4, Index::None, 0, 0},
    {210, Base::Module, 1460, 120, Index::None, 0, 1580},
    {211, Base::Module, 1582, 2, Index::None, 0, 0},
    {213, Base::Module, 2124, 120, Index::None, 0, 2244},
    {214, Base::Module, 2246, 2, Index::None, 0, 0},
    {215, Base::Module, 1612, 2, Index::None, 0, 0},
    {216, Base::Module, 1612, 2, Index::None, 0, 0},
    {218, Base::Module, 1614, 51, Index::Line, 51, 0},
    {219, Base::Module, 1612, 2, Index::None, 0, 0},
    {221, Base::Module, 2248, 80, Index::None, 0, 2328},
    {222, Base::Module, 1612, 2, Index::None, 0, 0},
    {223, Base::Module, 2330, 2, Index::None, 0, 0},
    {224, Base::Module, 2332, 80, Index::None, 0, 2412},
    {225, Base::Module, 2414, 80, Index::None, 0, 2494},
    {226, Base::Module, 2578, 2, Index::None, 0, 0},
    {227, Base::Module, 2496, 80, Index::None, 0, 2576},
    {228, Base::Module, 2580, 2, Index::None, 0, 0},
    {229, Base::Module, 2582, 120, Index::None, 0, 2702},
    {230, Base::Module, 2704, 2, Index::None, 0, 0},
    {233, Base::Module, 2738, 2, Index::None, 0, 0},
    {234, Base::Module, 2740, 2, Index::None, 0, 0},
    {235, Base::Module, 2736, 2, Index::None, 0, 0},
    {236, Base::Module, 2742, 2, Index::None, 0, 0},
    {237, Base::Module, 2734, 2, Index::None, 0, 0},
    {238, Base::Module, 2746, 2, Index::None, 0, 0},
    {239, Base::Module, 2744, 2, Index::None, 0, 0},
    {240, Base::Module, 2766, 2, Index::None, 0, 0},
    {242, Base::Module, 2762, 2, Index::None, 0, 0},
    {243, Base::Module, 2764, 2, Index::None, 0, 0},
    {244, Base::Module, 2734, 2, Index::None, 0, 0},
    {245, Base::Module, 2734, 2, Index::None, 0, 0},
    {246, Base::Module, 2734, 2, Index::None, 0, 0},
    {247, Base::Module, 2734, 2, Index::None, 0, 0},
    {248, Base::Module, 2734, 2, Index::None, 0, 0},
    {250, Base::Module, 2748, 2, Index::None, 0, 0},
    {251, Base::Module, 2750, 2, Index::None, 0, 0},
    {252, Base::Module, 2752, 2, Index::None, 0, 0},
    {253, Base::Module, 2754, 2, Index::None, 0, 0},
    {254, Base::Module, 2756, 2, Index::None, 0, 0},
    {256, Base::Module, 2788, 2, Index::None, 0, 0},
    {257, Base::Module, 2790, 2, Index::None, 0, 0},
    {258, Base::Module, 2792, 80, Index::None, 0, 2872},
    {259, Base::Module, 2874, 80, Index::None, 0, 2954},
    {261, Base::Module, 2970, 2, Index::SubBank, 40, 0},
    {262, Base::Module, 2958, 9, Index::SubBank, 40, 0},
    {263, Base::Module, 2988, 2, Index::SubBank, 40, 0},
    {264, Base::Module, 2968, 2, Index::SubBank, 40, 0},
    {267, Base::Module, 2968, 2, Index::SubBank, 40, 0},
    {268, Base::Module, 2972, 2, Index::SubBank, 40, 0},
    {269, Base::Module, 2976, 2, Index::SubBank, 40, 0},
    {270, Base::Module, 2968, 2, Index::SubBank, 40, 0},
    {271, Base::Module, 2974, 2, Index::SubBank, 40, 0},
    {274, Base::Module, 3620, 2, Index::None, 0, 0},
    {275, Base::Module, 3634, 2, Index::None, 0, 0},
    {277, Base::Module, 3618, 2, Index::None, 0, 0},
    {280, Base::Module, 3622, 2, Index::None, 0, 0},
    {279, Base::Module, 3638, 2, Index::None, 0, 0},
    {278, Base::Module, 3618, 2, Index::None, 0, 0},
    {282, Base::Module, 3624, 4, Index::None, 0, 0},
    {283, Base::Module, 3640, 4, Index::None, 0, 0},
    {284, Base::Module, 3628, 2, Index::None, 0, 0},
    {285, Base::Module, 3630, 2, Index::None, 0, 0},
    {286, Base::Module, 3632, 2, Index::None, 0, 0},
    {288, Base::Module, 3676, 2, Index::None, 0, 0},
    {289, Base::Module, 3678, 2, Index::None, 0, 0},
    {290, Base::Module, 3680, 2, Index::None, 0, 0},
    {291, Base::Module, 3682, 2, Index::None, 0, 0},
    {292, Base::Module, 3684, 80, Index::None, 0, 3764},
    {293, Base::Module, 3766, 80, Index::None, 0, 3846},
    {294, Base::Module, 3848, 2, Index::None, 0, 0},
    {296, Base::Module, 3850, 2, Index::None, 0, 0},
    {297, Base::Module, 3852, 80, Index::None, 0, 3932},
    {298, Base::Module, 3934, 80, Index::None, 0, 4014},
    {299, Base::Module, 4018, 4, Index::None, 0, 0},
    {300, Base::Module, 4022, 2, Index::None, 0, 0},
    {301, Base::Module, 4024, 2, Index::None, 0, 0},
    {302, Base::Module, 4016, 2, Index::None, 0, 0},
    {303, Base::Module, 3676, 2, Index::None, 0, 0},
};

// Blocks covered by the copyable groups (drag and drop copies them whole).
struct GroupArea {
    std::int16_t id;
    Base base;
    std::uint16_t offset;
    std::uint16_t size;
};
constexpr GroupArea kGroupBlocks[] = {
    {2, Base::Global, 10, 768},     {30, Base::Global, 238, 510},   {32, Base::Global, 778, 128},
    {34, Base::Global, 906, 1150},  {44, Base::Global, 2056, 476},  {120, Base::Module, 58, 264},
    {174, Base::Module, 322, 246},  {193, Base::Module, 568, 1044}, {198, Base::Module, 570, 510},
    {212, Base::Module, 1612, 1122}, {217, Base::Module, 1614, 510}, {231, Base::Module, 2734, 52},
    {273, Base::Module, 3618, 38},  {287, Base::Module, 3676, 362},
};
// The Help/Info groups whose text field is the whole ten-line block.
constexpr int kLineBlockGroups[] = {30, 198, 217};

const Storage* findStorage(int id) {
    for (const Storage& s : kStorage)
        if (s.id == id) return &s;
    return nullptr;
}

int instanceCount(Index i) {
    switch (i) {
        case Index::Line:
        case Index::Packet:
            return 10;
        case Index::LoopSet:
            return 8;
        case Index::SubBank:
            return rec::kSubBanks;
        case Index::None:
            break;
    }
    return 1;
}

bool validModule(int m) { return m >= 0 && m < rec::kModules; }

// Start of the area a base refers to, or nothing for a bad module index.
std::optional<std::size_t> baseOffset(Base base, const SettingRef& ref) {
    if (base == Base::Global) return 0;
    if (!validModule(ref.index1)) return std::nullopt;
    return rec::moduleBase(ref.index1);
}

std::optional<std::size_t> locate(const Storage& s, const SettingRef& ref) {
    const auto base = baseOffset(s.base, ref);
    if (!base) return std::nullopt;
    std::size_t off = *base + s.offset;
    if (s.index != Index::None) {
        const int i = (s.base == Base::Global) ? ref.index1 : ref.index2;
        if (i < 0 || i >= instanceCount(s.index)) return std::nullopt;
        off += static_cast<std::size_t>(s.stride) * static_cast<std::size_t>(i);
    }
    return off;
}

// The storage of a setting of the given kind, or null.
const Storage* storageOf(const SettingRef& ref, Kind kind) {
    const SettingItem* item = findSettingItem(ref.id);
    if (item == nullptr || item->kind != kind) return nullptr;
    return findStorage(ref.id);
}

std::optional<FieldRef> groupArea(const SettingRef& ref) {
    for (const GroupArea& g : kGroupBlocks) {
        if (g.id != ref.id) continue;
        const auto base = baseOffset(g.base, ref);
        if (!base) return std::nullopt;
        return FieldRef{*base + g.offset, g.size};
    }
    return std::nullopt;
}

std::optional<std::size_t> numberField(const SettingRef& ref, Kind kind) {
    const Storage* s = storageOf(ref, kind);
    if (s == nullptr) return std::nullopt;
    return locate(*s, ref);
}

}  // namespace

SettingRef makeRef(int id, int index1, int index2) {
    SettingRef ref;
    ref.id = id;
    ref.index1 = index1;
    ref.index2 = index2;
    ref.item = findSettingItem(id);
    return ref;
}

bool isModuleSetting(int id) { return id >= 104 && id <= 309; }

std::optional<FieldRef> textField(const SourceRecord&, const SettingRef& ref) {
    for (int g : kLineBlockGroups)
        if (g == ref.id) return groupArea(ref);
    const SettingItem* item = findSettingItem(ref.id);
    if (item == nullptr || (item->kind != Kind::Text && item->kind != Kind::CharTable)) return std::nullopt;
    const Storage* s = findStorage(ref.id);
    if (s == nullptr) return std::nullopt;
    const auto off = locate(*s, ref);
    if (!off) return std::nullopt;
    return FieldRef{*off, s->size};
}

std::optional<std::size_t> byteField(const SourceRecord&, const SettingRef& ref) {
    return numberField(ref, Kind::Byte);
}

std::optional<std::size_t> wordField(const SourceRecord&, const SettingRef& ref) {
    return numberField(ref, Kind::Word);
}

std::optional<std::size_t> longField(const SourceRecord&, const SettingRef& ref) {
    return numberField(ref, Kind::Long);
}

std::optional<MessageFieldRef> messageField(const SourceRecord&, const SettingRef& ref) {
    const Storage* s = storageOf(ref, Kind::Message);
    if (s == nullptr) return std::nullopt;
    const auto base = baseOffset(s->base, ref);
    if (!base) return std::nullopt;
    const SettingItem* item = findSettingItem(ref.id);
    return MessageFieldRef{*base + s->offset, *base + s->count, item->max};
}

std::optional<FieldRef> groupBlock(const SourceRecord&, const SettingRef& ref) { return groupArea(ref); }

}  // namespace sf
