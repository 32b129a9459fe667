#include "source/search.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "source/sourcefile.h"

namespace sf {
namespace fs = std::filesystem;

namespace {

// Settings of a module: the search tries each module of the other driver.
constexpr int kFirstModuleSetting = 105;
constexpr int kLastModuleSetting = 308;
constexpr int kConverterGroup = 304, kConverterItem = 305;
constexpr int kMacroGroup = 306, kMacroItem = 307;

// A driver source is far below this; anything larger is not one of ours and
// is not worth reading into memory.
constexpr std::size_t kMaxSourceFileSize = 64u * 1024 * 1024;

const SettingItem* itemOf(const SettingRef& ref) {
    return ref.item ? ref.item : findSettingItem(ref.id);
}

bool comparesNumbers(Editor e) {
    switch (e) {
        case Editor::Decimal:
        case Editor::Unsigned:
        case Editor::Hex:
        case Editor::YesNo:
        case Editor::Choice:
        case Editor::Roland7:
        case Editor::Flag:
            return true;
        default:
            return false;
    }
}

std::optional<std::uint32_t> numberAt(const SourceRecord& r, const SettingRef& ref, Kind kind) {
    if (kind == Kind::Byte) {
        if (auto off = byteField(r, ref)) return r.u8(*off);
    } else if (kind == Kind::Word) {
        if (auto off = wordField(r, ref)) return r.u16(*off);
    } else if (kind == Kind::Long) {
        if (auto off = longField(r, ref)) return r.u32(*off);
    }
    return std::nullopt;
}

std::optional<std::string_view> textAt(const SourceRecord& r, const SettingRef& ref) {
    if (auto f = textField(r, ref)) return r.text(f->offset, f->size);
    return std::nullopt;
}

enum class Comparison { Equal, Differ, None };

Comparison compareValue(const SettingItem& item, const SourceRecord& a, const SettingRef& aRef,
                        const SourceRecord& b, const SettingRef& bRef) {
    if (item.kind == Kind::Text) {
        auto x = textAt(a, aRef), y = textAt(b, bRef);
        if (!x || !y) return Comparison::None;
        return *x == *y ? Comparison::Equal : Comparison::Differ;
    }
    if (item.kind == Kind::Byte || item.kind == Kind::Word || item.kind == Kind::Long) {
        if (!comparesNumbers(item.editor)) return Comparison::None;
        auto x = numberAt(a, aRef, item.kind), y = numberAt(b, bRef, item.kind);
        if (!x || !y) return Comparison::None;
        // A Flag, and a Choice over some bits of a flags word (100, 108,
        // 109), own only their mask: the other bits belong to other settings.
        const bool masked =
            item.editor == Editor::Flag || (item.editor == Editor::Choice && item.mask != 0);
        const std::uint32_t mask = masked ? item.mask : 0xFFFFFFFFu;
        return (*x & mask) == (*y & mask) ? Comparison::Equal : Comparison::Differ;
    }
    return Comparison::None;
}

bool blockPresent(const SourceRecord& r, int module, int slot) {
    if (module < 0 || module >= rec::kModules) return false;
    const auto& b = r.block(module, slot);
    return b.has_value() && !b->empty();
}

// True when one of the 51-byte lines of a help block holds a visible
// character (above the blank) before its terminator.
bool anyLineHasText(const SourceRecord& r, const FieldRef& f) {
    const std::size_t lineSize = f.size % rec::kHelpLineSize == 0 ? rec::kHelpLineSize : f.size;
    for (std::size_t line = 0; line + lineSize <= f.size; line += lineSize) {
        for (unsigned char c : r.text(f.offset + line, lineSize))
            if (c > ' ') return true;
    }
    return false;
}

bool isNonEmpty(const SettingItem& item, const SourceRecord& r, const SettingRef& ref) {
    if (item.id == kConverterGroup || item.id == kConverterItem)
        return blockPresent(r, ref.index1, rec::kSlotConverter);
    if (item.id == kMacroGroup || item.id == kMacroItem)
        return ref.index1 >= 0 && ref.index1 < rec::kModules && hasMacroEditor(r, ref.index1) &&
               blockPresent(r, ref.index1, rec::kSlotMacros);
    switch (item.kind) {
        case Kind::Text: {
            auto t = textAt(r, ref);
            return t && !t->empty();
        }
        case Kind::Message: {
            auto m = messageField(r, ref);
            return m && r.s16(m->count) != 0;
        }
        case Kind::Group:
        case Kind::DialogItem: {
            if (!item.has(setting_flag::AnyTextTarget)) return false;
            auto f = textField(r, ref);
            return f && anyLineHasText(r, *f);
        }
        default:
            return false;
    }
}

bool matchesAt(const SettingItem& item, const SourceRecord& current, const SettingRef& ref,
               SearchMode mode, const SourceRecord& other, const SettingRef& at) {
    if (mode == SearchMode::NonEmpty) return isNonEmpty(item, other, at);
    const Comparison c = compareValue(item, current, ref, other, at);
    return mode == SearchMode::SameValue ? c == Comparison::Equal : c == Comparison::Differ;
}

// Reads a whole file in one go into `buffer` (reused between files so that
// a library walk allocates once). False when the file cannot be read.
bool readFileInto(const fs::path& path, std::vector<std::uint8_t>& buffer) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
              static_cast<std::uint64_t>(st.st_size) <= kMaxSourceFileSize;
    if (ok) {
        // One extra byte lets a file that grew since fstat be noticed.
        buffer.resize(static_cast<std::size_t>(st.st_size) + 1);
        std::size_t got = 0;
        while (got < buffer.size()) {
            const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
            if (n < 0) {
                if (errno == EINTR) continue;
                ok = false;
                break;
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
            // A regular file answers short only at its end: no second call
            // just to read the end of file.
            if (got < buffer.size()) break;
        }
        if (got > kMaxSourceFileSize) ok = false;
        buffer.resize(got);
    }
    ::close(fd);
    return ok;
}

}  // namespace

bool searchEnabled(SearchMode mode, const SettingItem* item) {
    if (!item) return false;
    if (mode != SearchMode::NonEmpty) return item->kind != Kind::Group && item->kind != Kind::Message;
    if (item->kind == Kind::Text || item->kind == Kind::Message) return true;
    if (item->kind == Kind::Group || item->kind == Kind::DialogItem)
        return item->has(setting_flag::AnyTextTarget) ||
               (item->id >= kConverterGroup && item->id <= kMacroItem);
    return false;
}

std::optional<SettingRef> matchDriver(const SourceRecord& current, const SettingRef& ref,
                                      SearchMode mode, const SourceRecord& other) {
    const SettingItem* item = itemOf(ref);
    if (!item) return std::nullopt;
    SettingRef at = ref;
    at.item = item;
    if (ref.id < kFirstModuleSetting || ref.id > kLastModuleSetting)
        return matchesAt(*item, current, at, mode, other, at) ? std::optional(at) : std::nullopt;

    SettingRef cur = at;
    const int modules = walkedModuleCount(other);
    for (int m = 0; m < modules; ++m) {
        at.index1 = m;
        if (matchesAt(*item, current, cur, mode, other, at)) return at;
    }
    return std::nullopt;
}

SearchResult searchDrivers(const SourceRecord& current, const SettingRef& ref, SearchMode mode,
                           const std::vector<fs::path>& paths, const SearchCallbacks& callbacks) {
    SearchResult result;
    result.total = static_cast<int>(paths.size());
    std::vector<std::uint8_t> buffer;
    SourceImageReader reader;
    for (const fs::path& path : paths) {
        if (callbacks.progress && !callbacks.progress(result.examined, result.total, path)) {
            result.cancelled = true;
            break;
        }
        ++result.examined;

        const SourceRecord* other = callbacks.openRecord ? callbacks.openRecord(path) : nullptr;
        if (!other) {
            if (!readFileInto(path, buffer)) continue;
            other = reader.read(ConstByteSpan(buffer));
            if (!other) continue;
        }
        if (auto hit = matchDriver(current, ref, mode, *other)) {
            result.matches.push_back({path, *hit});
            if (callbacks.match) callbacks.match(result.matches.back(), result.examined);
        }
    }
    return result;
}

}  // namespace sf
