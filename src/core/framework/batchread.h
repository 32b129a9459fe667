// Reading many small files with few calls into the kernel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace sf {

// Opens, reads and closes a batch of files in one call into the kernel,
// through Linux's submission rings (io_uring): on a walk over thousands of
// small files the three calls per file weigh as much as the copying. Where
// the system offers no such rings (an older kernel, a sandbox that forbids
// them), create() answers null and the caller reads the ordinary way.
//
// Each file is opened read-only and non-blocking (a pipe named like one of
// the files must not hold the batch up) and read from its start into a
// buffer of its own. A read on a non-blocking file may stop early at a page
// the system does not hold in memory yet: only a read that stops short of
// a page boundary, or of the capacity, ends at the end of the file for sure
// (endsAtEndOfFile).
class FileBatchReader {
  public:
    static constexpr std::size_t kMaxFiles = 16;

    // A file named relative to an open folder (AT_FDCWD for the current
    // folder or an absolute name). The name must stay valid during read().
    struct File {
        int folderFd;
        const char* name;
    };

    // A reader for up to `capacity` bytes of each file; null where batches
    // cannot be run here.
    static std::unique_ptr<FileBatchReader> create(std::size_t capacity);
    // One of the readers given back, null when there is none: setting a
    // reader up, and taking it down, costs as much as reading a few dozen
    // files. Whoever takes a reader has it to themselves.
    static std::unique_ptr<FileBatchReader> spare(std::size_t capacity);
    static void giveBack(std::unique_ptr<FileBatchReader> reader);
    ~FileBatchReader();
    FileBatchReader(const FileBatchReader&) = delete;
    FileBatchReader& operator=(const FileBatchReader&) = delete;

    // Reads up to kMaxFiles files: results[i] is the number of bytes of
    // files[i] now in data(i), or a negative errno. False when the batch
    // could not be run at all; the results then mean nothing.
    bool read(std::span<const File> files, std::span<std::ptrdiff_t> results);

    std::uint8_t* data(std::size_t i) { return buffers_.get() + i * capacity_; }
    std::size_t capacity() const { return capacity_; }

    // Whether a read of `got` bytes is known to hold the whole file.
    bool endsAtEndOfFile(std::ptrdiff_t got) const {
        return got > 0 && static_cast<std::size_t>(got) < capacity_ && got % 4096 != 0;
    }

  private:
    struct Ring;
    FileBatchReader(std::unique_ptr<Ring> ring, std::size_t capacity);

    std::unique_ptr<Ring> ring_;
    std::size_t capacity_;
    std::unique_ptr<std::uint8_t[]> buffers_;
    bool broken_ = false;  // a batch failed half-way: no more batches
};

}  // namespace sf
