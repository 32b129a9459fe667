// Reading a source from its text: every line checked, the modules and
// sub-banks in use checked against what the lines address.
#include <map>
#include <memory>
#include <new>
#include <set>
#include <tuple>

#include "source/romnames.h"
#include "source/sourcefile.h"
#include "tools/settingbytes.h"
#include "tools/textform.h"
#include "tools/textform_blocks.h"
#include "tools/textform_values.h"

namespace sf {

using namespace textform;

SourceTextError::SourceTextError(int line, const std::string& message)
    : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + message : message),
      line_(line),
      message_(message) {}

namespace {

struct RawTarget {
    int module = -1;
    std::size_t offset = 0;
};

RawTarget parseRawTarget(std::string_view s) {
    RawTarget t;
    if (s.substr(0, 3) == "@G+") {
        s.remove_prefix(3);
    } else if (s.substr(0, 2) == "@M") {
        const auto plus = s.find('+');
        if (plus == std::string_view::npos)
            throw std::string("@G+OFFSET or @M<module>+OFFSET expected");
        t.module = static_cast<int>(
            numberIn(std::string(s.substr(2, plus - 2)), 0, rec::kModules - 1, "module"));
        s.remove_prefix(plus + 1);
    } else {
        throw std::string("@G+OFFSET or @M<module>+OFFSET expected");
    }
    const std::int64_t size = t.module < 0 ? rec::kHeaderSize : rec::kModuleSize;
    t.offset = static_cast<std::size_t>(numberIn(std::string(s), 0, size - 1, "offset"));
    return t;
}

class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text), r_(newSource()) {}
    std::unique_ptr<SourceRecord> run();
    // The line being read: the current line, or the first line of the block
    // being read.
    int line() const { return sectionLine_ > 0 ? sectionLine_ : lineNo_; }

  private:
    bool nextLine(std::string_view& line);
    void settingLine(std::string_view line);
    void rawLine(std::string_view line);
    void sectionLine(const SettingRef& ref, std::string_view value);
    void useModule(int module) {
        if (module >= 0 && !moduleLine_.count(module)) moduleLine_[module] = lineNo_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int lineNo_ = 0;
    std::unique_ptr<SourceRecord> r_;
    std::vector<Section> sections_;
    std::map<int, int> moduleLine_;  // first line that uses each module
    int moduleCountLine_ = 0;
    int sectionLine_ = 0;
};

bool Reader::nextLine(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const auto end = text_.find('\n', pos_);
    line = text_.substr(pos_, end == std::string_view::npos ? std::string_view::npos : end - pos_);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
    ++lineNo_;
    // Trailing blanks and the CR of CR LF line ends carry nothing.
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    return true;
}

std::unique_ptr<SourceRecord> Reader::run() {
    std::string_view line;
    // The first line names the form; a byte order mark before it is allowed.
    bool header = false;
    while (!header && nextLine(line)) {
        if (lineNo_ == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
        if (trim(line).empty()) continue;
        if (trim(line) != kSourceTextHeader)
            throw SourceTextError(lineNo_, "not a driver source text (the first line must be \"" +
                                               std::string(kSourceTextHeader) + "\")");
        header = true;
    }
    if (!header) throw SourceTextError(0, "the text is empty");

    while (nextLine(line)) {
        const std::string_view t = trim(line);
        if (t.empty() || t.front() == '#') continue;
        try {
            if (t.front() == '@')
                rawLine(t);
            else
                settingLine(t);
        } catch (const std::string& m) {
            throw SourceTextError(lineNo_, m);
        }
    }

    // Everything must lie in the modules and sub-banks in use: the file keeps
    // nothing else.
    const int modules = r_->s16(rec::kModuleCount);
    for (const auto& [module, at] : moduleLine_)
        if (module >= modules)
            throw SourceTextError(at, "Module " + std::to_string(module + 1) +
                                          " is not in use (Number of modules is " +
                                          std::to_string(modules) + ")");
    if (validModuleCount(*r_) != modules)
        throw SourceTextError(moduleCountLine_, "Module " +
                                                    std::to_string(validModuleCount(*r_) + 1) +
                                                    " has no name; every module in use needs one");

    std::set<std::tuple<int, int, int, int>> seen;
    for (const Section& s : sections_) {
        sectionLine_ = s.line;
        if (!seen.insert({static_cast<int>(s.kind), s.ref.id, s.ref.index1, s.ref.index2}).second)
            throw SourceTextError(
                s.line, std::string("the ") + sectionWord(s.kind) + " block is given twice");
        const int m = s.ref.index1;
        if (s.kind == SectionKind::RomNames && s.ref.index2 >= walkedSubBankCount(*r_, m))
            throw SourceTextError(s.line, "Sub-bank #" + std::to_string(s.ref.index2 + 1) +
                                              " is not in use (see \"Number of sub-banks\")");
        auto data = readSection(s, *r_);
        const int slot = slotOf(s.kind, s.ref.index2);
        if (slot < 0) continue;
        if (data && slot >= rec::kSlotTemplates && !hasMacroEditor(*r_, m))
            throw SourceTextError(
                s.line, "Module " + std::to_string(m + 1) +
                            " keeps no macro editor blocks (\"Has a Macro editor\" is not Yes)");
        r_->block(m, slot) = std::move(data);
    }
    if (!buildFileImage(*r_))
        throw SourceTextError(0, "the source cannot be stored: a block is too large");
    return std::move(r_);
}

void Reader::rawLine(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) throw std::string("expected @PLACE = BYTES");
    const RawTarget t = parseRawTarget(trim(line.substr(0, eq)));
    useModule(t.module);
    const std::size_t base = t.module < 0 ? 0 : rec::moduleBase(t.module);
    const std::size_t size = t.module < 0 ? rec::kHeaderSize : rec::kModuleSize;
    std::size_t at = t.offset;
    std::string_view rest = trim(line.substr(eq + 1));
    while (!rest.empty()) {
        const auto sp = rest.find_first_of(" \t");
        const std::string piece(rest.substr(0, sp));
        const auto v = hexPair(piece);
        if (!v) throw std::string("\"" + piece + "\" is not a hex byte");
        if (at >= size) throw std::string("the bytes run past the end of the record part");
        r_->bytes[base + at++] = static_cast<std::uint8_t>(*v);
        rest = sp == std::string_view::npos ? std::string_view() : trim(rest.substr(sp));
    }
}

void Reader::settingLine(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) throw std::string("expected REF = VALUE");
    const std::string refPart(trim(line.substr(0, eq)));
    const auto ref = parseRefText(refPart);
    if (!ref)
        throw std::string("\"" + refPart +
                          "\" is not a setting of the tree (REF is ID[:INDEX1[:INDEX2]])");
    if (isModuleSetting(ref->id)) useModule(ref->index1);
    const std::string_view value = trim(line.substr(eq + 1));
    if (ref->item->kind == Kind::DialogItem) {
        sectionLine(*ref, value);
        return;
    }
    const auto b = rowBytes(*ref);
    if (!b)
        throw std::string("setting " + std::to_string(ref->id) + " (" + rowLabel(*ref) +
                          ") has no value to set");
    if (ref->id == 103) moduleCountLine_ = lineNo_;
    applyRow(*r_, *ref, *b, std::string(value));
}

void Reader::sectionLine(const SettingRef& ref, std::string_view value) {
    if (value.empty() || value.back() != '{') throw std::string("a block line ends with \"{\"");
    value = trim(value.substr(0, value.size() - 1));
    const auto sp = value.find_first_of(" \t");
    const std::string word(value.substr(0, sp));
    Section s;
    s.ref = ref;
    s.line = lineNo_;
    bool known = false;
    for (const auto& n : kSectionNames)
        if (word == n.word) {
            s.kind = n.kind;
            known = true;
        }
    const bool fits = known && ((ref.id == 265) == (s.kind == SectionKind::RomNames)) &&
                      ((ref.id == 305) == (s.kind == SectionKind::Converter));
    if (!fits)
        throw std::string("\"" + word + "\" is not a block of setting " + std::to_string(ref.id));
    s.attributes = tokenize(sp == std::string_view::npos ? std::string_view() : value.substr(sp));
    std::string_view line;
    while (nextLine(line)) {
        if (trim(line) == "}") {
            sections_.push_back(std::move(s));
            return;
        }
        s.lines.emplace_back(line);
        s.lineNumbers.push_back(lineNo_);
    }
    throw SourceTextError(s.line, "block not closed: the line \"}\" is missing");
}

}  // namespace

std::unique_ptr<SourceRecord> importSourceText(std::string_view text) {
    HexPrefixGuard prefix;
    Reader reader(text);
    // The parts of the reader report plain messages and leave the line to
    // their callers; whatever escapes them still gets its line here.
    try {
        return reader.run();
    } catch (const SourceTextError&) {
        throw;
    } catch (const std::string& message) {
        throw SourceTextError(reader.line(), message);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw SourceTextError(reader.line(), e.what());
    }
}

}  // namespace sf
