#include "source/search.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <thread>

#include "framework/helperthread.h"
#include "source/sourcefile.h"

namespace sf {
namespace fs = std::filesystem;

namespace {

// Settings of a module: the search tries each module of the other driver.
constexpr int kFirstModuleSetting = 105;
constexpr int kLastModuleSetting = 308;
constexpr int kConverterGroup = 304, kConverterItem = 305;
constexpr int kMacroGroup = 306, kMacroItem = 307;

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

// The other driver as the match test sees it: a record held in memory (a
// driver open in the editor), or a SourceFileProbe, a file read only as far
// as the test needs.
struct RecordValues {
    const SourceRecord& r;
    int modules() const { return walkedModuleCount(r); }
    std::uint32_t number(std::size_t off, std::size_t width) const {
        return width == 1 ? r.u8(off) : width == 2 ? r.u16(off) : r.u32(off);
    }
    std::string_view text(std::size_t off, std::size_t size) const { return r.text(off, size); }
    bool hasBlock(int module, int slot) const {
        if (module < 0 || module >= rec::kModules) return false;
        const auto& b = r.block(module, slot);
        return b.has_value() && !b->empty();
    }
};

std::size_t widthOf(Kind kind) {
    return kind == Kind::Byte ? 1 : kind == Kind::Word ? 2 : 4;
}

// Where a number setting lies. Places depend on the ref alone: `layout` is
// only asked for them.
std::optional<std::size_t> numberPlace(const SourceRecord& layout, const SettingRef& ref,
                                       Kind kind) {
    if (kind == Kind::Byte) return byteField(layout, ref);
    if (kind == Kind::Word) return wordField(layout, ref);
    if (kind == Kind::Long) return longField(layout, ref);
    return std::nullopt;
}

// Where the values of a setting lie, looked up for each question.
struct Places {
    const SourceRecord& layout;
    std::optional<FieldRef> text(const SettingRef& ref) const { return textField(layout, ref); }
    std::optional<std::size_t> number(const SettingRef& ref, Kind kind) const {
        return numberPlace(layout, ref, kind);
    }
    std::optional<MessageFieldRef> message(const SettingRef& ref) const {
        return messageField(layout, ref);
    }
};

// The places a search asks about, looked up once rather than for every
// file: its setting at every module index (-1 too, for the settings
// outside the modules). Other refs are looked up as they come.
class SearchPlaces {
  public:
    SearchPlaces(const SourceRecord& layout, const SettingRef& ref)
        : direct_{layout}, id_(ref.id), index2_(ref.index2) {
        const SettingItem* item = itemOf(ref);
        if (!item) return;
        for (int i = -1; i < rec::kModules; ++i) {
            SettingRef at = ref;
            at.item = item;
            at.index1 = i;
            Slot& slot = slots_[static_cast<std::size_t>(i + 1)];
            slot.text = direct_.text(at);
            slot.number = direct_.number(at, item->kind);
            slot.message = direct_.message(at);
        }
        kind_ = item->kind;
        known_ = true;
    }
    std::optional<FieldRef> text(const SettingRef& ref) const {
        const Slot* s = slotOf(ref);
        return s ? s->text : direct_.text(ref);
    }
    std::optional<std::size_t> number(const SettingRef& ref, Kind kind) const {
        const Slot* s = slotOf(ref);
        return s && kind == kind_ ? s->number : direct_.number(ref, kind);
    }
    std::optional<MessageFieldRef> message(const SettingRef& ref) const {
        const Slot* s = slotOf(ref);
        return s ? s->message : direct_.message(ref);
    }

  private:
    struct Slot {
        std::optional<FieldRef> text;
        std::optional<std::size_t> number;
        std::optional<MessageFieldRef> message;
    };
    const Slot* slotOf(const SettingRef& ref) const {
        if (!known_ || ref.id != id_ || ref.index2 != index2_ || ref.index1 < -1 ||
            ref.index1 >= rec::kModules)
            return nullptr;
        return &slots_[static_cast<std::size_t>(ref.index1 + 1)];
    }

    Places direct_;
    int id_, index2_;
    Kind kind_ = Kind::Group;
    bool known_ = false;
    std::array<Slot, rec::kModules + 1> slots_{};
};

enum class Comparison { Equal, Differ, None };

// Compares the current driver's value at `aRef` with the other's at `bRef`.
template <typename Where, typename Other>
Comparison compareValue(const SettingItem& item, const SourceRecord& a, const Where& where,
                        const SettingRef& aRef, const Other& b, const SettingRef& bRef) {
    if (item.kind == Kind::Text) {
        auto x = where.text(aRef), y = where.text(bRef);
        if (!x || !y) return Comparison::None;
        return a.text(x->offset, x->size) == b.text(y->offset, y->size) ? Comparison::Equal
                                                                        : Comparison::Differ;
    }
    if (item.kind == Kind::Byte || item.kind == Kind::Word || item.kind == Kind::Long) {
        if (!comparesNumbers(item.editor)) return Comparison::None;
        auto x = where.number(aRef, item.kind), y = where.number(bRef, item.kind);
        if (!x || !y) return Comparison::None;
        const std::size_t width = widthOf(item.kind);
        // A Flag, and a Choice over some bits of a flags word (100, 108,
        // 109), own only their mask: the other bits belong to other settings.
        const bool masked =
            item.editor == Editor::Flag || (item.editor == Editor::Choice && item.mask != 0);
        const std::uint32_t mask = masked ? item.mask : 0xFFFFFFFFu;
        return (RecordValues{a}.number(*x, width) & mask) == (b.number(*y, width) & mask)
                   ? Comparison::Equal
                   : Comparison::Differ;
    }
    return Comparison::None;
}

// True when one of the 51-byte lines of a help block holds a visible
// character (above the blank) before its terminator.
template <typename Other>
bool anyLineHasText(const Other& r, const FieldRef& f) {
    const std::size_t lineSize = f.size % rec::kHelpLineSize == 0 ? rec::kHelpLineSize : f.size;
    for (std::size_t line = 0; line + lineSize <= f.size; line += lineSize) {
        for (unsigned char c : r.text(f.offset + line, lineSize))
            if (c > ' ') return true;
    }
    return false;
}

template <typename Where, typename Other>
bool isNonEmpty(const SettingItem& item, const Where& where, const Other& r,
                const SettingRef& ref) {
    if (item.id == kConverterGroup || item.id == kConverterItem)
        return r.hasBlock(ref.index1, rec::kSlotConverter);
    if (item.id == kMacroGroup || item.id == kMacroItem)
        return ref.index1 >= 0 && ref.index1 < rec::kModules &&
               r.number(rec::moduleBase(ref.index1) + rec::kModHasMacro, 2) == 1 &&
               r.hasBlock(ref.index1, rec::kSlotMacros);
    switch (item.kind) {
        case Kind::Text: {
            auto f = where.text(ref);
            return f && !r.text(f->offset, f->size).empty();
        }
        case Kind::Message: {
            auto m = where.message(ref);
            return m && r.number(m->count, 2) != 0;
        }
        case Kind::Group:
        case Kind::DialogItem: {
            if (!item.has(setting_flag::AnyTextTarget)) return false;
            auto f = where.text(ref);
            return f && anyLineHasText(r, *f);
        }
        default:
            return false;
    }
}

template <typename Where, typename Other>
bool matchesAt(const SettingItem& item, const SourceRecord& current, const Where& where,
               const SettingRef& ref, SearchMode mode, const Other& other, const SettingRef& at) {
    if (mode == SearchMode::NonEmpty) return isNonEmpty(item, where, other, at);
    const Comparison c = compareValue(item, current, where, ref, other, at);
    return mode == SearchMode::SameValue ? c == Comparison::Equal : c == Comparison::Differ;
}

template <typename Where, typename Other>
std::optional<SettingRef> matchValues(const SourceRecord& current, const Where& where,
                                      const SettingRef& ref, SearchMode mode, const Other& other) {
    const SettingItem* item = itemOf(ref);
    if (!item) return std::nullopt;
    SettingRef at = ref;
    at.item = item;
    if (ref.id < kFirstModuleSetting || ref.id > kLastModuleSetting)
        return matchesAt(*item, current, where, at, mode, other, at) ? std::optional(at)
                                                                     : std::nullopt;

    SettingRef cur = at;
    const int modules = other.modules();
    for (int m = 0; m < modules; ++m) {
        at.index1 = m;
        if (matchesAt(*item, current, where, cur, mode, other, at)) return at;
    }
    return std::nullopt;
}

// What became of one file: not known yet, no match (or not readable), or a
// match with index1 = code - kMatch - 1 (-1 for a global setting).
constexpr int kPending = 0, kNoMatch = 1, kMatch = 2;

// The files of one search in their order, and what became of each. Only the
// calling thread appends (as the walk finds them); the readers take them in
// order under the lock. A deque keeps every file in its place while more are
// appended, so a reader works on its file without the lock.
struct FileQueue {
    struct File {
        File(const std::string* p, const fs::path* g) : path(p), given(g) {}
        const std::string* path;
        const fs::path* given;  // the path given in a list, null for a walk
        std::atomic<int> outcome{kPending};
        // Calls fn with the path as the callbacks want it.
        template <typename Fn>
        auto withPath(Fn&& fn) const {
            return given ? fn(*given) : fn(fs::path(*path));
        }
    };
    std::mutex mutex;
    std::condition_variable more;  // a file was added, or no more will come
    std::deque<File> files;
    std::deque<std::string> owned;  // the paths a walk handed over
    std::size_t next = 0;           // the first file no reader has taken
    int waiting = 0;                // readers asleep on `more`
    bool ended = false;             // no file will be added
    bool stop = false;              // no file will be taken

    // A reader asleep is woken for a batch of files rather than for each:
    // woken file by file, it would take each one as soon as it is added and
    // sleep again, a switch of threads per file.
    static constexpr std::size_t kWakeBatch = 16;
    // Before it sleeps, a reader watches the queue for this long: the walk
    // reads a folder in about that time, and a thread put to sleep is woken
    // late once its core has gone idle (a millisecond and more on a virtual
    // machine), which would leave the other reader alone for that time.
    static constexpr auto kWatch = std::chrono::microseconds(250);
    std::atomic<std::size_t> added{0};  // files.size(), for a reader watching
    std::atomic<bool> over{false};      // ended || stop, likewise

    void add(const std::string* path) {
        std::lock_guard lock(mutex);
        files.emplace_back(path, nullptr);
        added.store(files.size(), std::memory_order_release);
        if (waiting > 0 && files.size() - next >= kWakeBatch) more.notify_one();
    }
    void end(bool stopping) {
        std::lock_guard lock(mutex);
        ended = true;
        stop = stop || stopping;
        over.store(true, std::memory_order_release);
        more.notify_all();
    }
    // The next files to read, in a row, as many as are there up to the size
    // of `into`: none when there is none (`wait`: once the walk has ended)
    // or the search stops.
    std::span<File*> take(bool wait, std::span<File*> into) {
        std::unique_lock lock(mutex);
        if (wait && !stop && !ended && next == files.size()) {
            const std::size_t seen = next;
            lock.unlock();
            const auto until = std::chrono::steady_clock::now() + kWatch;
            while (added.load(std::memory_order_acquire) == seen &&
                   !over.load(std::memory_order_acquire) &&
                   std::chrono::steady_clock::now() < until)
                std::this_thread::yield();
            lock.lock();
        }
        while (wait && !stop && !ended && next == files.size()) {
            ++waiting;
            more.wait(lock);
            --waiting;
        }
        if (stop) return {};
        std::size_t n = 0;
        for (; n < into.size() && next < files.size(); ++n) into[n] = &files[next++];
        return into.first(n);
    }
};

// One search over the files that `fill` adds to the queue on the calling
// thread (a walk, or a list given at once), while the helper reads.
SearchResult runSearch(const SourceRecord& current, const SettingRef& ref, SearchMode mode,
                       const std::function<bool(FileQueue&, const std::function<bool()>&)>& fill,
                       const SearchCallbacks& callbacks, bool helperWanted) {
    SearchResult result;
    FileQueue queue;
    const SearchPlaces places(current, ref);
    // The files a reader takes are read together (SourceFileProbe::readAhead);
    // a driver open in the editor is taken as it is held there instead.
    auto readNext = [&](SourceFileProbe& probe, bool wait) {
        std::array<FileQueue::File*, SourceFileProbe::kBatch> taken;
        const std::span<FileQueue::File*> files = queue.take(wait, taken);
        if (files.empty()) return false;
        constexpr std::size_t kSkip = SIZE_MAX;  // a file whose question threw
        std::array<const SourceRecord*, SourceFileProbe::kBatch> open{};
        std::array<const std::string*, SourceFileProbe::kBatch> paths;
        std::array<std::size_t, SourceFileProbe::kBatch> place{};
        std::size_t toRead = 0;
        for (std::size_t i = 0; i < files.size(); ++i) {
            try {
                if (callbacks.openRecord) open[i] = files[i]->withPath(callbacks.openRecord);
            } catch (...) {
                place[i] = kSkip;
                continue;
            }
            if (!open[i]) {
                place[i] = toRead;
                paths[toRead++] = files[i]->path;
            }
        }
        if (toRead > 0) probe.readAhead(std::span(paths.data(), toRead));
        for (std::size_t i = 0; i < files.size(); ++i) {
            int outcome = kNoMatch;
            try {
                std::optional<SettingRef> hit;
                if (open[i])
                    hit = matchValues(current, places, ref, mode, RecordValues{*open[i]});
                else if (place[i] != kSkip && probe.select(place[i]))
                    hit = matchValues(current, places, ref, mode, probe);
                if (hit) outcome = kMatch + 1 + hit->index1;
            } catch (...) {
                // skipped like a file that cannot be read
            }
            files[i]->outcome.store(outcome, std::memory_order_release);
        }
        return true;
    };

    SettingRef found = ref;
    found.item = itemOf(ref);
    std::size_t delivered = 0;
    // Hands on the outcomes known so far, in file order; false once the
    // search is cancelled. Only this thread appends to the queue, so it
    // looks at the files without the lock.
    auto deliver = [&] {
        for (; delivered < queue.files.size(); ++delivered) {
            const FileQueue::File& file = queue.files[delivered];
            const int code = file.outcome.load(std::memory_order_acquire);
            if (code == kPending) return true;
            if (callbacks.progress && !file.withPath([&](const fs::path& path) {
                    return callbacks.progress(result.examined, result.total, path);
                })) {
                result.cancelled = true;
                return false;
            }
            ++result.examined;
            if (code >= kMatch) {
                found.index1 = code - kMatch - 1;
                result.matches.push_back({*file.path, found});
                if (callbacks.match) callbacks.match(result.matches.back(), result.examined);
            }
        }
        return true;
    };

    // The helper is stopped and joined on every way out, a walk or a
    // callback that throws included: the queue ends before the thread is
    // joined. Its probe goes after it, on this thread, once the helper has
    // stopped: memory given back while another thread works costs an
    // interrupt of that thread's core (to forget the pages), about four
    // times the cost of giving it back alone.
    std::optional<SourceFileProbe> helperProbe;
    std::optional<HelperThread> helper;
    struct End {
        FileQueue& queue;
        ~End() { queue.end(true); }
    } end{queue};
    if (helperWanted) {
        helperProbe.emplace();
        helper.emplace([&] {
            while (readNext(*helperProbe, true)) {
            }
        });
    }
    const bool walked = fill(queue, [&] {
        result.total = static_cast<int>(queue.files.size());
        return deliver();
    });
    result.total = static_cast<int>(queue.files.size());
    queue.end(!walked);
    SourceFileProbe probe;
    if (walked) {
        while (readNext(probe, false))
            if (!deliver()) break;
    }
    if (result.cancelled) queue.end(true);
    if (helper) helper->join();        // its last file
    if (!result.cancelled) deliver();  // every outcome is known now
    return result;
}

}  // namespace

bool searchEnabled(SearchMode mode, const SettingItem* item) {
    if (!item) return false;
    if (mode != SearchMode::NonEmpty)
        return item->kind != Kind::Group && item->kind != Kind::Message;
    if (item->kind == Kind::Text || item->kind == Kind::Message) return true;
    if (item->kind == Kind::Group || item->kind == Kind::DialogItem)
        return item->has(setting_flag::AnyTextTarget) ||
               (item->id >= kConverterGroup && item->id <= kMacroItem);
    return false;
}

std::optional<SettingRef> matchDriver(const SourceRecord& current, const SettingRef& ref,
                                      SearchMode mode, const SourceRecord& other) {
    return matchValues(current, Places{current}, ref, mode, RecordValues{other});
}

SearchResult searchDrivers(const SourceRecord& current, const SettingRef& ref, SearchMode mode,
                           const std::vector<fs::path>& paths, const SearchCallbacks& callbacks,
                           int readers) {
    auto fill = [&paths](FileQueue& queue, const std::function<bool()>&) {
        std::lock_guard lock(queue.mutex);
        for (const fs::path& p : paths) queue.files.emplace_back(&p.native(), &p);
        queue.added.store(queue.files.size(), std::memory_order_release);
        queue.more.notify_all();
        return true;
    };
    return runSearch(current, ref, mode, fill, callbacks, readers > 1 && paths.size() > 1);
}

SearchResult searchDrivers(const SourceRecord& current, const SettingRef& ref, SearchMode mode,
                           const DriverWalk& walk, const SearchCallbacks& callbacks, int readers) {
    auto fill = [&walk](FileQueue& queue, const std::function<bool()>& added) {
        bool going = true;
        walk([&](std::string&& path) {
            queue.owned.push_back(std::move(path));
            queue.add(&queue.owned.back());
            going = added();
            return going;
        });
        return going;
    };
    return runSearch(current, ref, mode, fill, callbacks, readers > 1);
}

}  // namespace sf
