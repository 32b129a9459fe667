#include "framework/batchread.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#if defined(__linux__) && __has_include(<linux/io_uring.h>)
#include <linux/io_uring.h>
#define SF_HAVE_RINGS 1
#endif

namespace sf {

#ifdef SF_HAVE_RINGS

namespace {

// Three entries per file: open, read, close.
constexpr unsigned kEntries = 64;
static_assert(3 * FileBatchReader::kMaxFiles <= kEntries);

enum Step : std::uint64_t { kOpen = 0, kRead = 1, kClose = 2 };

std::uint64_t tag(std::size_t file, Step step) {
    return static_cast<std::uint64_t>(file) << 2 | step;
}

int setupRing(unsigned entries, io_uring_params* p) {
    return static_cast<int>(::syscall(__NR_io_uring_setup, entries, p));
}
int enterRing(int fd, unsigned submit, unsigned wait) {
    return static_cast<int>(
        ::syscall(__NR_io_uring_enter, fd, submit, wait, IORING_ENTER_GETEVENTS, nullptr, 0));
}
int registerOnRing(int fd, unsigned op, void* arg, unsigned count) {
    return static_cast<int>(::syscall(__NR_io_uring_register, fd, op, arg, count));
}

template <typename T>
T* at(void* base, std::uint32_t offset) {
    return reinterpret_cast<T*>(static_cast<char*>(base) + offset);
}

}  // namespace

// The rings shared with the kernel: submissions go in at the tail of the
// submission ring, completions come out at the head of the completion ring.
struct FileBatchReader::Ring {
    int fd = -1;
    void* rings = MAP_FAILED;
    std::size_t ringsSize = 0;
    void* completions = MAP_FAILED;  // its own mapping on kernels before 5.4
    std::size_t completionsSize = 0;
    io_uring_sqe* entries = nullptr;
    std::size_t entriesSize = 0;
    unsigned* sqTail = nullptr;
    unsigned sqMask = 0;
    unsigned* cqHead = nullptr;
    unsigned* cqTail = nullptr;
    unsigned cqMask = 0;
    io_uring_cqe* cqes = nullptr;

    ~Ring() {
        if (entries) ::munmap(entries, entriesSize);
        if (completions != MAP_FAILED) ::munmap(completions, completionsSize);
        if (rings != MAP_FAILED) ::munmap(rings, ringsSize);
        if (fd >= 0) ::close(fd);
    }

    bool open() {
        // Plain rings: any thread may submit to them, one at a time.
        io_uring_params p{};
        fd = setupRing(kEntries, &p);
        if (fd < 0) return false;
        const std::size_t sqSize = p.sq_off.array + p.sq_entries * sizeof(unsigned);
        const std::size_t cqSize = p.cq_off.cqes + p.cq_entries * sizeof(io_uring_cqe);
        const bool single = (p.features & IORING_FEAT_SINGLE_MMAP) != 0;
        ringsSize = single ? std::max(sqSize, cqSize) : sqSize;
        rings = ::mmap(nullptr, ringsSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd,
                       IORING_OFF_SQ_RING);
        if (rings == MAP_FAILED) return false;
        void* cq = rings;
        if (!single) {
            completionsSize = cqSize;
            completions = ::mmap(nullptr, cqSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE,
                                 fd, IORING_OFF_CQ_RING);
            if (completions == MAP_FAILED) return false;
            cq = completions;
        }
        entriesSize = p.sq_entries * sizeof(io_uring_sqe);
        void* e = ::mmap(nullptr, entriesSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE,
                         fd, IORING_OFF_SQES);
        if (e == MAP_FAILED) return false;
        entries = static_cast<io_uring_sqe*>(e);
        sqTail = at<unsigned>(rings, p.sq_off.tail);
        sqMask = *at<unsigned>(rings, p.sq_off.ring_mask);
        // Entry i of the ring is submission entry i, once and for all.
        unsigned* order = at<unsigned>(rings, p.sq_off.array);
        for (unsigned i = 0; i < p.sq_entries; ++i) order[i] = i;
        cqHead = at<unsigned>(cq, p.cq_off.head);
        cqTail = at<unsigned>(cq, p.cq_off.tail);
        cqMask = *at<unsigned>(cq, p.cq_off.ring_mask);
        cqes = at<io_uring_cqe>(cq, p.cq_off.cqes);

        // A table of files held inside the ring, one place per file of a
        // batch: an open puts its file there, the read and the close that
        // follow it name the place. (Sparse tables came with Linux 5.19,
        // together with everything else used here.)
        io_uring_rsrc_register files{};
        files.nr = FileBatchReader::kMaxFiles;
        files.flags = IORING_RSRC_REGISTER_SPARSE;
        return registerOnRing(fd, IORING_REGISTER_FILES2, &files, sizeof files) == 0;
    }

    io_uring_sqe* next(unsigned& tail) {
        io_uring_sqe* e = &entries[tail++ & sqMask];
        std::memset(e, 0, sizeof *e);
        return e;
    }
};

std::unique_ptr<FileBatchReader> FileBatchReader::create(std::size_t capacity) {
    if (capacity == 0 || capacity > 0x7FFFF000u) return nullptr;  // one read's limit
    auto ring = std::make_unique<Ring>();
    if (!ring->open()) return nullptr;
    return std::unique_ptr<FileBatchReader>(new FileBatchReader(std::move(ring), capacity));
}

bool FileBatchReader::read(std::span<const File> files, std::span<std::ptrdiff_t> results) {
    if (broken_ || files.size() > kMaxFiles || results.size() < files.size()) return false;
    if (files.empty()) return true;
    Ring& r = *ring_;
    unsigned tail = std::atomic_ref(*r.sqTail).load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < files.size(); ++i) {
        results[i] = -ECANCELED;
        // The read waits for the open; the close follows the read whatever
        // became of it (a hard link), so that no file stays open in the ring.
        // Files held in the ring take no O_CLOEXEC: they have no descriptor.
        io_uring_sqe* e = r.next(tail);
        e->opcode = IORING_OP_OPENAT;
        e->fd = files[i].folderFd;
        e->addr = reinterpret_cast<std::uintptr_t>(files[i].name);
        e->open_flags = O_RDONLY | O_NONBLOCK | O_NOCTTY;
        e->file_index = static_cast<std::uint32_t>(i + 1);
        e->flags = IOSQE_IO_LINK;
        e->user_data = tag(i, kOpen);

        e = r.next(tail);
        e->opcode = IORING_OP_READ;
        e->fd = static_cast<std::int32_t>(i);
        e->flags = IOSQE_FIXED_FILE | IOSQE_IO_HARDLINK;
        e->addr = reinterpret_cast<std::uintptr_t>(data(i));
        e->len = static_cast<std::uint32_t>(capacity_);
        e->off = 0;
        e->user_data = tag(i, kRead);

        e = r.next(tail);
        e->opcode = IORING_OP_CLOSE;
        e->file_index = static_cast<std::uint32_t>(i + 1);
        e->user_data = tag(i, kClose);
    }
    std::atomic_ref(*r.sqTail).store(tail, std::memory_order_release);

    const auto want = static_cast<unsigned>(3 * files.size());
    unsigned submitted = 0, done = 0;
    int failures = 0;
    while (done < want) {
        // Submits what is left, then waits for every completion (the kernel
        // does not wait when it could not take all the submissions).
        const int got = enterRing(r.fd, want - submitted, want - done);
        // The kernel takes none of the submissions placed in this ring only
        // when the descriptor no longer names it: waiting would never end,
        // and the file now behind that number is not ours to close.
        const bool foreign = got == 0 && submitted < want;
        if (got > 0) {
            submitted += static_cast<unsigned>(got);
        } else if (foreign || (got < 0 && errno != EINTR && (submitted == 0 || ++failures > 3))) {
            // Nothing more runs on this ring. Reads still under way would
            // land in the buffers later: those are let go rather than freed.
            broken_ = true;
            if (foreign) r.fd = -1;
            if (submitted > done) (void)buffers_.release();
            return false;
        }
        unsigned head = std::atomic_ref(*r.cqHead).load(std::memory_order_relaxed);
        const unsigned end = std::atomic_ref(*r.cqTail).load(std::memory_order_acquire);
        for (; head != end; ++head, ++done) {
            const io_uring_cqe& c = r.cqes[head & r.cqMask];
            const auto file = static_cast<std::size_t>(c.user_data >> 2);
            const auto step = static_cast<Step>(c.user_data & 3);
            if (file >= files.size()) continue;
            // A failed open fails the read after it with ECANCELED.
            if (step == kOpen && c.res < 0)
                results[file] = c.res;
            else if (step == kRead && results[file] == -ECANCELED)
                results[file] = c.res;
        }
        std::atomic_ref(*r.cqHead).store(head, std::memory_order_release);
    }
    return true;
}

#else  // no rings on this system

struct FileBatchReader::Ring {};

std::unique_ptr<FileBatchReader> FileBatchReader::create(std::size_t) {
    return nullptr;
}

bool FileBatchReader::read(std::span<const File>, std::span<std::ptrdiff_t>) {
    return false;
}

#endif

FileBatchReader::FileBatchReader(std::unique_ptr<Ring> ring, std::size_t capacity)
    : ring_(std::move(ring)),
      capacity_(capacity),
      // Left uninitialised: a page of it costs nothing until a read fills it.
      buffers_(std::make_unique_for_overwrite<std::uint8_t[]>(capacity * kMaxFiles)) {}

FileBatchReader::~FileBatchReader() = default;

namespace {

// Readers kept for the next walk: the rings and the buffers a search set up
// serve the next one, and a process that ends after its search leaves them
// to the system, which takes them down on its own time. Never destroyed,
// for the same reason.
struct Spares {
    static constexpr std::size_t kKept = 4;
    std::mutex mutex;
    std::vector<std::unique_ptr<FileBatchReader>> readers;
};
Spares& spares() {
    static auto* s = new Spares;
    return *s;
}

}  // namespace

std::unique_ptr<FileBatchReader> FileBatchReader::spare(std::size_t capacity) {
    Spares& s = spares();
    std::lock_guard lock(s.mutex);
    for (auto it = s.readers.begin(); it != s.readers.end(); ++it)
        if ((*it)->capacity() == capacity) {
            auto reader = std::move(*it);
            s.readers.erase(it);
            return reader;
        }
    return nullptr;
}

void FileBatchReader::giveBack(std::unique_ptr<FileBatchReader> reader) {
    if (!reader || reader->broken_) return;
    Spares& s = spares();
    std::lock_guard lock(s.mutex);
    if (s.readers.size() < Spares::kKept) s.readers.push_back(std::move(reader));
}

}  // namespace sf
