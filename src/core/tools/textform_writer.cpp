// Writing a source as text: the rows that differ from a new source, the
// block sections and the bytes that no setting covers.
#include <algorithm>
#include <functional>
#include <memory>

#include "framework/cp1252.h"
#include "source/romnames.h"
#include "source/sourcefile.h"
#include "tools/settingbytes.h"
#include "tools/textform.h"
#include "tools/textform_blocks.h"
#include "tools/textform_values.h"

namespace sf {

using namespace textform;

namespace {

class Writer {
  public:
    explicit Writer(const SourceRecord& c)
        : c_(c), r_(newSource()), scratch_(std::make_unique<SourceRecord>()) {
        scratch_->bytes = c.bytes;
    }

    std::string run();

  private:
    void row(const TreeRow& row);
    void sections(const SettingRef& ref);
    // Emits a section in its line form when reading it back gives the same
    // bytes, else as hex.
    void emitSection(SectionKind kind, const SettingRef& ref, std::string attributes,
                     const std::optional<Block>& block, std::optional<std::string> lines);
    void residual(int module);

    const SourceRecord& c_;
    std::unique_ptr<SourceRecord> r_;
    // The fixed bytes of the source, on which a section's line form is read
    // back (the shape of ROM names depends on them).
    std::unique_ptr<SourceRecord> scratch_;
    std::function<std::string()> path_;  // label path of the current row
    std::string out_;
};

std::string Writer::run() {
    out_ = std::string(kSourceTextHeader) + '\n';
    out_.reserve(1 << 16);
    const auto rows = buildTreeRows(c_);
    // The label path is made only for the rows that are written.
    std::vector<const TreeRow*> ancestors;
    int part = -1;  // -1 the global rows, else the module of the rows
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int module = isModuleSetting(rows[i].ref.id) ? rows[i].ref.index1 : -1;
        if (module != part) {
            residual(part);
            part = module;
        }
        const auto depth = static_cast<std::size_t>(std::max(rows[i].depth, 0));
        ancestors.resize(depth + 1);
        ancestors[depth] = &rows[i];
        path_ = [&ancestors] {
            std::string p;
            for (std::size_t d = 1; d < ancestors.size(); ++d) {
                if (!p.empty()) p += " / ";
                p += rowLabel(ancestors[d]->ref);
            }
            return p;
        };
        row(rows[i]);
    }
    residual(part);
    return std::move(out_);
}

void Writer::row(const TreeRow& row) {
    const SettingRef& ref = row.ref;
    if (ref.item->kind == Kind::DialogItem) {
        sections(ref);
        return;
    }
    const auto b = rowBytes(ref);
    if (!b || sameRowValue(*r_, c_, *b)) return;
    // Only the layout that "Use complex loop" selects is written as values.
    if (isModuleSetting(ref.id) &&
        ((ref.id >= 127 && ref.id <= 130) || (ref.id >= 163 && ref.id <= 173))) {
        const bool complexLoop = c_.modU16(ref.index1, rec::kModPacketFlags) & 0x0002;
        if (complexLoop != (ref.id >= 163)) return;
    }
    const auto text = formatRow(c_, ref, *b);
    if (!text) return;
    if (ref.item->kind == Kind::Message || ref.id == 10 || ref.id == 11) {
        // Reading these back depends on more than the text (the units after
        // the message, the sign kept by the manufacturer ID): store them as
        // the reader will.
        try {
            applyRow(*r_, ref, *b, *text);  // checks the text before it stores anything
        } catch (const std::string&) {
            return;
        }
    } else {
        // Every other notation gives back exactly the value it shows.
        copyRowValue(*r_, c_, *b);
    }
    out_ += "# ";
    out_ += path_();
    out_ += '\n';
    out_ += refText(ref);
    out_ += " = ";
    out_ += *text;
    out_ += '\n';
}

void Writer::sections(const SettingRef& ref) {
    const int m = ref.index1;
    const std::size_t base = rec::moduleBase(m);
    auto block = [&](int slot) -> const std::optional<Block>& { return c_.block(m, slot); };
    if (ref.id == 265) {
        const int k = ref.index2;
        const auto& b = block(rec::kSlotRomNames0 + k);
        if (!b || k >= walkedSubBankCount(c_, m)) return;
        std::optional<std::string> lines;
        const RomNamesShape shape = romNamesShape(c_, m);
        const std::string text = romNamesText(*b, shape);
        if (!text.empty()) {
            lines = std::string();
            for (std::size_t pos = 0; pos < text.size();) {
                const auto end = text.find("\r\n", pos);
                const std::string line = text.substr(pos, end - pos);
                pos = end == std::string::npos ? text.size() : end + 2;
                const std::string utf8 = cp1252ToUtf8(line);
                const bool plain = std::none_of(line.begin(), line.end(), [](char ch) {
                    const auto u = static_cast<unsigned char>(ch);
                    return u < 0x20 || u == 0x7F || cp1252Undefined(u);
                });
                if (!plain || utf8ToCp1252(utf8) != line) {
                    lines.reset();
                    break;
                }
                *lines += (line.empty() ? "|" : "| " + utf8) + '\n';
            }
        }
        emitSection(SectionKind::RomNames, ref, "", b, lines);
        return;
    }
    if (ref.id == 305) {
        const auto& b = block(rec::kSlotConverter);
        const auto count = c_.u16(base + rec::kModConverterCount);
        const auto finalSize = c_.s16(base + rec::kModConverterFinalSize);
        if (!b && count == r_->u16(base + rec::kModConverterCount) &&
            finalSize == r_->s16(base + rec::kModConverterFinalSize))
            return;
        std::string attributes;
        addNumber(attributes, "final-size", finalSize);
        std::optional<std::string> lines = std::string();
        std::size_t records = 0;
        if (b) {
            if (b->size() % kOpSize != 0) {
                lines.reset();
            } else {
                records = b->size() / kOpSize;
                for (std::size_t i = 0; i < records; ++i)
                    *lines += formatOp(ConstByteSpan(*b).subspan(i * kOpSize, kOpSize)) + '\n';
            }
        }
        if (!lines || count != records) addNumber(attributes, "count", count, true);
        emitSection(SectionKind::Converter, ref, attributes, b, lines);
        return;
    }
    if (ref.id != 307) return;
    {
        const auto& b = block(rec::kSlotTemplates);
        const auto count = c_.u16(base + rec::kModTemplateCount);
        if (b || count != r_->u16(base + rec::kModTemplateCount)) {
            std::optional<std::string> lines = std::string();
            std::size_t records = 0;
            if (b) {
                if (b->size() % kTemplateSize != 0) {
                    lines.reset();
                } else {
                    records = b->size() / kTemplateSize;
                    for (std::size_t i = 0; i < records; ++i)
                        *lines += formatTemplate(
                                      ConstByteSpan(*b).subspan(i * kTemplateSize, kTemplateSize)) +
                                  '\n';
                }
            }
            std::string attributes;
            if (!lines || count != records) addNumber(attributes, "count", count, true);
            emitSection(SectionKind::Templates, ref, attributes, b, lines);
        }
    }
    if (const auto& b = block(rec::kSlotMacros))
        emitSection(
            SectionKind::Macros, ref, "", b,
            wellFormedMacros(*b) ? std::optional<std::string>(formatMacros(*b)) : std::nullopt);
    if (const auto& b = block(rec::kSlotPatchInfo))
        emitSection(SectionKind::PatchInfo, ref, "", b,
                    b->size() == kPatchInfoSize ? std::optional<std::string>(formatPatchInfo(*b))
                                                : std::nullopt);
    if (const auto& b = block(rec::kSlotValueLists))
        emitSection(SectionKind::ValueLists, ref, "", b,
                    b->size() == kValueListsSize ? std::optional<std::string>(formatValueLists(*b))
                                                 : std::nullopt);
    if (const auto& b = block(rec::kSlotReserved))
        emitSection(SectionKind::Reserved, ref, "", b, std::nullopt);

    const ConstByteSpan filter =
        slice(c_.data(), base + rec::kModMacroFilter, rec::kMacroFilterSize);
    const ConstByteSpan was = slice(r_->data(), base + rec::kModMacroFilter, rec::kMacroFilterSize);
    if (!std::equal(filter.begin(), filter.end(), was.begin())) {
        const std::string text = refText(ref) + " = filter" + formatFilterHeader(filter) + " {\n" +
                                 formatFilterGroups(filter) + "}\n";
        auto f = slice(r_->data(), base + rec::kModMacroFilter, rec::kMacroFilterSize);
        std::copy(filter.begin(), filter.end(), f.begin());
        out_ += "# " + path_() + " / Filter\n" + text;
    }
}

// Splits a section's text into a Section, as the reader does.
Section sectionOf(SectionKind kind, const SettingRef& ref, const std::string& attributes,
                  const std::string& lines) {
    Section s;
    s.kind = kind;
    s.ref = ref;
    s.attributes = tokenize(attributes);
    for (std::size_t pos = 0; pos < lines.size();) {
        const auto end = lines.find('\n', pos);
        s.lines.push_back(lines.substr(pos, end - pos));
        s.lineNumbers.push_back(0);
        pos = end == std::string::npos ? lines.size() : end + 1;
    }
    return s;
}

void Writer::emitSection(SectionKind kind, const SettingRef& ref, std::string attributes,
                         const std::optional<Block>& block, std::optional<std::string> lines) {
    const int slot = slotOf(kind, ref.index2);
    const std::size_t base = rec::moduleBase(ref.index1);
    // The fixed fields a section carries besides its block.
    FieldRef fixed{0, 0};
    if (kind == SectionKind::Converter) fixed = {base + rec::kModConverter, kConverterFieldsSize};
    if (kind == SectionKind::Templates) fixed = {base + rec::kModTemplateCount, kTemplateCountSize};
    auto sameFixed = [&](const SourceRecord& a) {
        return std::equal(a.bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset),
                          a.bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset + fixed.size),
                          c_.bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset));
    };
    // Every line form but the ROM names' writes each byte of its block; the
    // names are read back to make sure they give the block exactly.
    if (lines && kind == SectionKind::RomNames) {
        try {
            const auto got = readSection(sectionOf(kind, ref, attributes, *lines), *scratch_);
            if (got != block || !sameFixed(*scratch_)) lines.reset();
        } catch (const SourceTextError&) {
            lines.reset();
        } catch (const std::string&) {
            lines.reset();
        }
        std::copy_n(c_.bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset), fixed.size,
                    scratch_->bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset));
    }
    if (!lines) {
        attributes += " hex size=" + std::to_string(block ? block->size() : 0);
        lines = block ? hexLines(*block) : std::string();
    }
    std::copy_n(c_.bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset), fixed.size,
                r_->bytes.begin() + static_cast<std::ptrdiff_t>(fixed.offset));
    if (slot >= 0) r_->block(ref.index1, slot) = block;
    const char* suffix = "";
    switch (kind) {
        case SectionKind::Templates:
            suffix = " / Templates";
            break;
        case SectionKind::Macros:
            suffix = " / Macros";
            break;
        case SectionKind::PatchInfo:
            suffix = " / Patch information";
            break;
        case SectionKind::ValueLists:
            suffix = " / Value lists";
            break;
        case SectionKind::Reserved:
            suffix = " / Reserved block";
            break;
        default:
            break;
    }
    out_ += "# " + path_() + suffix + '\n' + refText(ref) + " = " + sectionWord(kind) + attributes +
            " {\n" + *lines + "}\n";
}

void Writer::residual(int module) {
    const std::size_t first = module < 0 ? 0 : rec::moduleBase(module);
    const std::size_t size = module < 0 ? rec::kHeaderSize : rec::kModuleSize;
    const std::string name = module < 0 ? "@G+" : "@M" + std::to_string(module) + "+";
    bool header = false;
    for (std::size_t i = 0; i < size;) {
        if (c_.bytes[first + i] == r_->bytes[first + i]) {
            ++i;
            continue;
        }
        // A run of differing bytes (short equal gaps included), 16 at most.
        std::size_t end = i + 1, last = i;
        while (end < size && end - i < 16) {
            if (c_.bytes[first + end] != r_->bytes[first + end])
                last = end;
            else if (end - last > 2)
                break;
            ++end;
        }
        if (!header) {
            out_ += module < 0
                        ? "# Bytes without a setting\n"
                        : "# Module " + std::to_string(module + 1) + " / Bytes without a setting\n";
            header = true;
        }
        out_ += name + std::to_string(i) + " =";
        for (std::size_t k = i; k <= last; ++k) {
            out_ += ' ' + hexByte(c_.bytes[first + k]);
            r_->bytes[first + k] = c_.bytes[first + k];
        }
        out_ += '\n';
        i = last + 1;
    }
}

}  // namespace

std::optional<std::string> exportSourceText(const SourceRecord& record, std::string* why) {
    // The text describes what the file keeps: build the file image and read
    // it back.
    const auto image = buildFileImage(record);
    if (!image) {
        if (why)
            *why = validModuleCount(record) == 0 ? kMsgNoValidModule
                                                 : "A block is too large to be stored.";
        return std::nullopt;
    }
    auto canonical = readSourceImage(*image);
    if (!canonical) {
        if (why) *why = canonical.error().text;
        return std::nullopt;
    }
    HexPrefixGuard prefix;
    return Writer(*canonical).run();
}

}  // namespace sf
