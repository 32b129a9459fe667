#include "source/record.h"

#include <algorithm>
#include <cstring>

namespace sf {

void SourceRecord::setText(std::size_t off, std::size_t size, std::string_view t) {
    auto f = slice(data(), off, size);
    std::fill(f.begin(), f.end(), std::uint8_t{0});
    if (size == 0) return;
    const std::size_t n = std::min(t.size(), size - 1);
    std::memcpy(f.data(), t.data(), n);
}

int walkedModuleCount(const SourceRecord& r) {
    return std::clamp<int>(r.s16(rec::kModuleCount), 0, rec::kModules);
}

int walkedSubBankCount(const SourceRecord& r, int module) {
    return std::clamp<int>(r.modS16(module, rec::kModSubBankCount), 0, rec::kSubBanks);
}

bool hasMacroEditor(const SourceRecord& r, int module) {
    return r.modU16(module, rec::kModHasMacro) == 1;
}

namespace {

// The 768-byte default of the "General settings" block (record offsets 10..777).
void writeGeneralDefaults(SourceRecord& r) {
    r.setU16(rec::kDriverVersion, 100);  // "Driver version"
    r.setU16(192, 1);                    // "Common header": one unit,
    r.setU16(194, 0x00F0);               //   F0
    r.setU16(210, 127);                  // "Values over 127": None
    r.setU16(216, 1000);                 // "MIDI time out"
    r.setU16(188, 2);                    // "Sysex ID offset in header"
    r.setU16(190, 0x0F);                 // "Sysex ID bit mask"
    r.setU16(184, 15);                   // "Max sysex ID"
}

void writeAsciiDefaults(SourceRecord& r) {
    for (int c = 0; c < 128; ++c) r.setU8(rec::kAsciiTable + c, static_cast<std::uint8_t>(c));
    r.setU8(rec::kAsciiTable + 0, 0x20);
    r.setU8(rec::kAsciiTable + 64, 0xDD);
}

void writeInstrumentDefaults(SourceRecord& r) {
    r.setU16(rec::kInstrumentFlags, 0x000A);  // single instrument, modulo bank size
    r.setU16(2072, 1);                        // single "Number"
    r.setU16(2098, 1);                        // parent "Module ID" (shown 2)
    r.setU16(2094, 16);                       // "Number of parts"
}

}  // namespace

std::unique_ptr<SourceRecord> newSource() {
    auto r = std::make_unique<SourceRecord>();
    std::memcpy(r->bytes.data(), "DEV_SRCE", rec::kMagicSize);
    r->setU16(rec::kFormatVersion, 100);
    writeGeneralDefaults(*r);
    writeAsciiDefaults(*r);
    writeInstrumentDefaults(*r);
    r->setU16(rec::kModuleCount, 1);
    r->setText(rec::moduleBase(0) + rec::kModName, rec::kModNameSize, "Module");
    r->setModU16(0, rec::kModMacroFilter, 0xFFFF);  // no reference template
    return r;
}

std::unique_ptr<SourceRecord> copyRecord(const SourceRecord& r) {
    return std::make_unique<SourceRecord>(r);
}

namespace {

// Clears the 10 bytes of every block slot: they carry no meaning in memory.
void clearSlotBytes(SourceRecord& r) {
    for (int m = 0; m < rec::kModules; ++m)
        for (int s = 0; s < rec::kSlotsPerModule; ++s) {
            auto f = slice(r.data(), rec::moduleBase(m) + rec::slotOffset(s), rec::kSlotSize);
            std::fill(f.begin(), f.end(), std::uint8_t{0});
        }
}

bool slotBytesClear(const SourceRecord& r) {
    for (int m = 0; m < rec::kModules; ++m)
        for (int s = 0; s < rec::kSlotsPerModule; ++s) {
            auto f = slice(r.data(), rec::moduleBase(m) + rec::slotOffset(s), rec::kSlotSize);
            if (std::any_of(f.begin(), f.end(), [](std::uint8_t b) { return b != 0; })) return false;
        }
    return true;
}

}  // namespace

bool sameRecord(const SourceRecord& a, const SourceRecord& b) {
    if (slotBytesClear(a) && slotBytesClear(b)) {
        if (a.bytes != b.bytes) return false;
    } else {
        SourceRecord ca = a, cb = b;
        clearSlotBytes(ca);
        clearSlotBytes(cb);
        if (ca.bytes != cb.bytes) return false;
    }
    // The byte images are equal, so both records walk the same slots.
    bool same = true;
    forEachWalkedSlot(a, [&](int m, int s) {
        if (!same) return;
        const auto& x = a.block(m, s);
        const auto& y = b.block(m, s);
        if (x.has_value() != y.has_value() || (x && *x != *y)) same = false;
    });
    return same;
}

int validModuleCount(const SourceRecord& r) {
    int n = 0;
    while (n < rec::kModules && r.u8(rec::moduleBase(n) + rec::kModName) != 0) ++n;
    return n;
}

void normaliseStructure(SourceRecord& r, int module) {
    const std::size_t base = rec::moduleBase(module);
    const int s = r.s16(base + rec::kModStructure);
    const bool queue = (r.u16(base + rec::kModStructureFlags) & 0x1) != 0;
    const auto get = [&](std::size_t off) { return r.u16(base + off); };
    const auto set = [&](std::size_t off, std::uint16_t v) { r.setU16(base + off, v); };

    if (s != 1 && s != 4 && s != 5 && s != 6 && !queue) set(rec::kModSharedSize, 0);
    if (s != 4) set(rec::kModPatchesAboveSize, get(rec::kModTotalPatches));
    if (s != 1 && s != 4) {
        if (s < 5) set(rec::kModLargePatches, 0);
        if (s == 7) {
            set(rec::kModLargePatches, 0);
            set(rec::kModDataStart, 0);
            set(rec::kModTotalPatches, 1);
            set(rec::kModPatchesAboveSize, 1);
        }
        if (s > 7) set(rec::kModLargePatches, 0);
    }
    if (s == 1 || s == 5 || s == 6) set(rec::kModLargePatches, get(rec::kModPatchesAboveSize));
}

}  // namespace sf
