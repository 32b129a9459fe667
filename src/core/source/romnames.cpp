#include "source/romnames.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <system_error>
#include <vector>

namespace sf {

namespace {

// Settings that shape the block.
constexpr std::size_t kModNameChars = 2746;   // "Number of characters in a patch name"
constexpr std::uint16_t kHasParentBit = 0x4;  // "Device has Parent instrument"
constexpr std::size_t kParentParts = 2094;    // "Number of parts"
constexpr std::size_t kParentModule = 2098;   // parent "Module ID", 0-based

constexpr std::size_t kEntrySize = 4;
constexpr std::uint8_t kEntryFromText = 0x01;
constexpr std::uint8_t kEntryFirstZero = 0x02;
constexpr std::size_t kNamesFileHeader = 12;

constexpr std::string_view kChildSeparators = ",;) \t";

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Lines end at CR LF or at LF alone; a final line end does not open another line.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        if (nl != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (nl == std::string_view::npos) break;
        text.remove_prefix(nl + 1);
    }
    return lines;
}

std::vector<std::string_view> splitFields(std::string_view s) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < s.size()) {
        if (kChildSeparators.find(s[i]) != std::string_view::npos) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < s.size() && kChildSeparators.find(s[j]) == std::string_view::npos) ++j;
        fields.push_back(s.substr(i, j - i));
        i = j;
    }
    return fields;
}

// A decimal number up to the first character that does not belong to it;
// saturates instead of overflowing.
long long readDecimal(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > 1'000'000'000LL) v = 1'000'000'000LL;
    }
    return negative ? -v : v;
}

std::uint8_t clampByte(long long v, long long hi) {
    return static_cast<std::uint8_t>(std::clamp<long long>(v, 0, hi));
}

void setFreshRecord(ByteSpan rec, const RomNamesShape& shape) {
    std::fill(rec.begin(), rec.begin() + shape.chars, std::uint8_t{' '});
    for (int k = 0; k < shape.parts; ++k) {
        const std::size_t e = static_cast<std::size_t>(shape.chars) + kEntrySize * k;
        put8(rec, e + 0, kEntryFromText | kEntryFirstZero);
        put8(rec, e + 1, 0);
        put8(rec, e + 2, 0);
        put8(rec, e + 3, static_cast<std::uint8_t>(k));
    }
}

// Guards the arithmetic only; whether the block can be stored is fits().
constexpr int kRomMaxPatches = 32767;

RomNamesShape clampedShape(int patches, int chars, int parts) {
    return {std::clamp(patches, 0, kRomMaxPatches), std::clamp(chars, 0, kRomMaxChars),
            std::clamp(parts, 0, kRomMaxParts)};
}

}  // namespace

std::size_t RomNamesShape::recordSize() const {
    return static_cast<std::size_t>(std::max(chars, 0)) +
           kEntrySize * static_cast<std::size_t>(std::max(parts, 0));
}

std::size_t RomNamesShape::blockSize() const {
    return static_cast<std::size_t>(std::max(patches, 0)) * recordSize();
}

RomNamesShape romNamesShape(const SourceRecord& r, int module) {
    const int patches = r.modS16(module, rec::kModPatchesPerSubBank);
    const int chars = r.modS16(module, kModNameChars);
    int parts = 0;
    const bool hasParent = (r.u16(rec::kInstrumentFlags) & kHasParentBit) != 0;
    if (hasParent && r.s16(kParentModule) == module) parts = r.s16(kParentParts);
    return clampedShape(patches, chars, parts);
}

std::string romNamesTooLarge(const RomNamesShape& shape) {
    const RomNamesShape s = clampedShape(shape.patches, shape.chars, shape.parts);
    if (s.fits()) return {};
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "Too many ROM patch names: %d names of %zu bytes need %zu bytes, more than the "
                  "%zu bytes a sub-bank can hold. Nothing was stored.\n",
                  s.patches, s.recordSize(), s.blockSize(), kRomMaxBlockSize);
    return buf;
}

Block freshRomNames(const RomNamesShape& shape) {
    const RomNamesShape s = clampedShape(shape.patches, shape.chars, shape.parts);
    if (!s.fits()) return {};
    Block block(s.blockSize());
    const std::size_t size = s.recordSize();
    for (int p = 0; p < s.patches; ++p)
        setFreshRecord(slice(ByteSpan(block), size * static_cast<std::size_t>(p), size), s);
    return block;
}

std::string romNamesText(ConstByteSpan block, const RomNamesShape& shape) {
    const RomNamesShape s = clampedShape(shape.patches, shape.chars, shape.parts);
    if (!s.fits() || block.size() != s.blockSize()) return {};
    std::string text;
    const std::size_t size = s.recordSize();
    for (int p = 0; p < s.patches; ++p) {
        const ConstByteSpan rec = slice(block, size * static_cast<std::size_t>(p), size);
        // A zero byte ends the name: it would cut the edit box's text short.
        text += trimRight(fieldText(rec, 0, static_cast<std::size_t>(s.chars)));
        for (int k = 0; k < s.parts; ++k) {
            const std::size_t e = static_cast<std::size_t>(s.chars) + kEntrySize * k;
            char buf[64];
            std::snprintf(buf, sizeof buf, " (%d,%d,%d,%d)",
                          (get8(rec, e) & kEntryFirstZero) ? 0 : 1, get8(rec, e + 1),
                          get8(rec, e + 2), get8(rec, e + 3) + 1);
            text += buf;
        }
        text += "\r\n";
    }
    return text;
}

RomNamesResult parseRomNames(std::string_view text, const RomNamesShape& shape, bool check) {
    return parseRomNames(text, shape.patches, shape.chars, shape.parts, check);
}

RomNamesResult parseRomNames(std::string_view text, int patches, int chars, int parts, bool check) {
    const RomNamesShape s = clampedShape(patches, chars, parts);
    if (!s.fits()) return {std::nullopt, romNamesTooLarge(s)};
    Block block = freshRomNames(s);
    const std::size_t size = s.recordSize();
    const std::vector<std::string_view> lines = splitLines(text);

    std::optional<std::string> tooLong;
    std::optional<int> malformed;
    const std::size_t used = std::min(lines.size(), static_cast<std::size_t>(s.patches));
    for (std::size_t i = 0; i < used; ++i) {
        const std::string_view line = lines[i];
        const ByteSpan rec = slice(ByteSpan(block), size * i, size);
        std::string_view name = line;
        std::vector<std::string_view> groups;

        if (s.parts > 0) {
            // The K-th "(" counted from the end starts the child entries.
            std::size_t pos = line.size();
            int found = 0;
            while (found < s.parts && pos > 0) {
                --pos;
                if (line[pos] == '(') ++found;
            }
            if (found < s.parts) {
                malformed = static_cast<int>(i);
            } else {
                name = trimRight(line.substr(0, pos));
                std::string_view rest = line.substr(pos + 1);
                for (int k = 0; k < s.parts; ++k) {
                    const std::size_t next = rest.find('(');
                    groups.push_back(rest.substr(0, next));
                    rest =
                        next == std::string_view::npos ? std::string_view{} : rest.substr(next + 1);
                }
            }
        }

        // Blanks and tabs that end the kept part are not stored: the text of
        // the block never shows them, so a tab would hide in the driver.
        const std::string_view kept =
            trimRight(name.substr(0, std::min(name.size(), static_cast<std::size_t>(s.chars))));
        std::copy(kept.begin(), kept.end(), rec.begin());
        if (name.size() > static_cast<std::size_t>(s.chars)) tooLong = std::string(name);

        for (std::size_t k = 0; k < groups.size(); ++k) {
            const std::vector<std::string_view> f = splitFields(groups[k]);
            if (f.size() != 4) continue;
            const std::size_t e = static_cast<std::size_t>(s.chars) + kEntrySize * k;
            put8(rec, e + 0,
                 static_cast<std::uint8_t>(kEntryFromText | (f[0] == "0" ? kEntryFirstZero : 0)));
            put8(rec, e + 1, clampByte(readDecimal(f[1]), 255));
            put8(rec, e + 2, clampByte(readDecimal(f[2]), 255));
            put8(rec, e + 3, clampByte(readDecimal(f[3]) - 1, 15));
        }
    }

    RomNamesResult result;
    if (!check) {
        result.block = std::move(block);
        return result;
    }
    char buf[96];
    if (lines.size() != static_cast<std::size_t>(s.patches)) {
        std::snprintf(buf, sizeof buf, "Wrong number of names (%d expected).\n", s.patches);
        result.report += buf;
    }
    if (tooLong)
        result.report += "The following name is too long and was truncated: " + *tooLong + "\n";
    if (malformed) {
        std::snprintf(buf, sizeof buf, "The child info is not properly formatted at line %d\n",
                      *malformed);
        result.report += buf;
    }
    return result;
}

void storeRomNames(SourceRecord& r, int module, int subBank, Block block) {
    if (module < 0 || module >= rec::kModules || subBank < 0 || subBank >= rec::kSubBanks)
        throw std::out_of_range("ROM names slot out of range");
    r.block(module, rec::kSlotRomNames0 + subBank) = std::move(block);
}

RomNamesImport importRomNamesFile(const std::filesystem::path& path, const RomNamesShape& shape) {
    const std::string name = path.filename().string();
    const RomNamesShape s = clampedShape(shape.patches, shape.chars, shape.parts);
    if (!s.fits()) return {std::nullopt, romNamesTooLarge(s)};
    std::error_code ec;
    const std::uintmax_t fileSize = std::filesystem::file_size(path, ec);
    if (ec || !std::filesystem::is_regular_file(path, ec))
        return {std::nullopt, "The file " + name + " could not be read."};
    const std::uintmax_t expected = kNamesFileHeader + s.blockSize();
    if (fileSize != expected) {
        char buf[400];
        std::snprintf(buf, sizeof buf,
                      "The size of %s does not fit the names of this sub-bank: the file has %ju "
                      "bytes, but %d patches of %d characters with %d child entries need %ju "
                      "bytes (12 bytes of header and %zu bytes per name).",
                      name.c_str(), fileSize, s.patches, s.chars, s.parts, expected,
                      s.recordSize());
        return {std::nullopt, buf};
    }
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(kNamesFileHeader));
    Block block(s.blockSize());
    in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
    if (!in || static_cast<std::size_t>(in.gcount()) != block.size())
        return {std::nullopt, "The file " + name + " could not be read."};
    return {romNamesText(block, s), {}};
}

PatchNameEditor::PatchNameEditor(const SourceRecord& r, int module, int subBank, Prompter& prompter)
    : shape_(romNamesShape(r, module)), module_(module), subBank_(subBank), prompter_(prompter) {
    const auto& block = r.block(module, rec::kSlotRomNames0 + subBank);
    if (block) text = romNamesText(*block, shape_);
}

void PatchNameEditor::check() {
    const RomNamesResult res = parseRomNames(text, shape_, true);
    if (res.report.empty())
        prompter_.message("No problem found", MessageIcon::Information);
    else
        prompter_.message(res.report, MessageIcon::Stop);
}

PatchNameEditor::OkOutcome PatchNameEditor::ok() {
    OkOutcome outcome;
    if (!shape_.fits()) {
        prompter_.message(romNamesTooLarge(shape_), MessageIcon::Stop);
        return outcome;
    }
    const RomNamesResult res = parseRomNames(text, shape_, true);
    if (!res.report.empty()) {
        outcome.question = res.report + "\nDo you want to close anyway?";
        if (prompter_.ask(outcome.question, Buttons::YesNo) != Answer::Yes) return outcome;
    }
    outcome.close = true;
    result_ = parseRomNames(text, shape_, false).block;
    return outcome;
}

bool PatchNameEditor::apply(SourceRecord& r) const {
    if (!result_) return false;
    storeRomNames(r, module_, subBank_, *result_);
    return true;
}

bool PatchNameEditor::import(const std::filesystem::path& path) {
    RomNamesImport imported = importRomNamesFile(path, shape_);
    if (!imported.text) {
        prompter_.message(imported.problem, MessageIcon::Stop);
        return false;
    }
    text = std::move(*imported.text);
    return true;
}

}  // namespace sf
