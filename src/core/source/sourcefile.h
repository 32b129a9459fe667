// The driver source file ("*.d"): the source record cut after the last module
// in use, in big-endian byte order, followed by the variable blocks of the
// modules. Reading checks every count, size and offset it is given; a damaged
// file is refused with "Wrong or damaged file!" and never read out of bounds.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/batchread.h"
#include "framework/bytes.h"
#include "source/blockswap.h"
#include "source/record.h"

namespace sf {

class Prompter;

inline constexpr const char* kMsgWrongOrDamaged = "Wrong or damaged file!";
inline constexpr const char* kMsgNoValidModule = "There is no memory module with a valid name!";
inline constexpr const char* kMsgErrorWhileSaving = "Error while saving!";

// Why a source could not be read.
struct SourceReadError {
    enum class Kind { Damaged, FileAccess };
    Kind kind = Kind::Damaged;
    std::string text;       // what the user is shown
    int messageNumber = 0;  // file-layer message number for FileAccess
    int errorCode = 0;      // errno for FileAccess
};

// Either a record or the reason why there is none.
class SourceReadResult {
  public:
    SourceReadResult(std::unique_ptr<SourceRecord> r) : record_(std::move(r)) {}
    SourceReadResult(SourceReadError e) : error_(std::move(e)) {}

    explicit operator bool() const { return record_ != nullptr; }
    SourceRecord& operator*() { return *record_; }
    const SourceRecord& operator*() const { return *record_; }
    SourceRecord* operator->() { return record_.get(); }
    std::unique_ptr<SourceRecord> take() { return std::move(record_); }
    // Meaningful only when there is no record.
    const SourceReadError& error() const { return error_; }

  private:
    std::unique_ptr<SourceRecord> record_;
    SourceReadError error_;
};

// The bytes of a source file for `record`, or nothing when no module has a
// valid name (reported through `prompter`) or a block is too large to be
// stored (65536 bytes or more).
std::optional<std::vector<std::uint8_t>> buildFileImage(const SourceRecord& record,
                                                        Prompter* prompter = nullptr);

// Reads a source from file bytes. When `prompter` is given the reason of a
// failure is also shown there (stop icon).
SourceReadResult readSourceImage(ConstByteSpan file, Prompter* prompter = nullptr);
SourceReadResult readSourceFile(const std::filesystem::path& path, Prompter* prompter = nullptr);

// Parses many files one after the other into one reused record, so that a
// walk over a driver library neither allocates nor clears a whole record per
// file. The answered record stays valid until the next call.
class SourceImageReader {
  public:
    // The record read from `file`, or null when the file is damaged.
    const SourceRecord* read(ConstByteSpan file);

  private:
    std::unique_ptr<SourceRecord> record_;
    std::size_t zeroFrom_ = 0;  // record bytes from here on are zero
};

// A driver source file read only as far as one question about it needs, for
// walks over a whole library. The verdict on every file is readSourceFile's,
// but what is read is the header and the module records in the file and, of
// the blocks, only the macro lists (their structure can make a file
// damaged). The first read is sized for the module count of the previous
// file: one read for most files of a library, at the price of a few module
// records' worth read in vain after a larger source. Numbers stay in the
// file's byte order and are converted as they are asked for; the answers are
// those of the record readSourceFile gives. One probe serves many files one
// after the other; each thread needs its own.
class SourceFileProbe {
  public:
    // Whether readAhead reads in batches: never; once a few batches have
    // come (setting up the kernel's side costs more than it saves on a few
    // files), or at once with a reader an earlier probe gave back; or from
    // the first one on.
    enum class Batches { Never, AfterAFew, Always };
    explicit SourceFileProbe(Batches batches = Batches::AfterAFew);
    ~SourceFileProbe();
    SourceFileProbe(const SourceFileProbe&) = delete;
    SourceFileProbe& operator=(const SourceFileProbe&) = delete;
    // Reads the file at `path` (the system's form of a path): false when it
    // cannot be read or is damaged.
    bool read(const std::string& path);

    // The same for files taken in batches: readAhead opens, reads and closes
    // up to kBatch files together where the system can do that in one call
    // into the kernel, and select(i) then makes file i of them the one the
    // probe answers for, with read()'s verdict. Where a batch cannot tell,
    // select reads the file the ordinary way. A batch reads each file whole
    // up to a size that takes in every header and module records: copying
    // the rest costs less than asking for the parts. The paths must stay
    // valid until the next readAhead.
    static constexpr std::size_t kBatch = FileBatchReader::kMaxFiles;
    // Each file's room in a batch: enough for the largest header and module
    // records, and the blocks of most sources after them.
    static constexpr std::size_t kBatchCapacity = rec::kRecordSize + 18 * 1024;
    void readAhead(std::span<const std::string* const> paths);
    bool select(std::size_t i);

    // After a successful read:
    // "Number of modules" of the file, 1..16.
    int modules() const { return modules_; }
    // The `width`-byte number (1, 2 or 4) at a record offset, unsigned.
    std::uint32_t number(std::size_t offset, std::size_t width) const;
    // The zero-terminated text of the fixed field at a record offset.
    std::string_view text(std::size_t offset, std::size_t size) const;
    // Whether the record holds a block in this slot.
    bool hasBlock(int module, int slot) const;

  private:
    int openFile(const std::string& path);
    int folderOf(const std::string& path, std::size_t slash);
    bool readOpen(int fd);
    bool readBatched(std::uint8_t* bytes, std::size_t size);
    template <typename FileSize, typename ReadBlock>
    bool accept(std::uint8_t* bytes, int modules, FileSize&& fileSize, ReadBlock&& readBlock);
    std::uint8_t hostByte(std::size_t offset) const;

    std::unique_ptr<std::uint8_t[]> image_;  // header and module records as stored
    const std::uint8_t* bytes_ = nullptr;    // the file's: image_ or a batch's buffer
    std::size_t used_ = 0;                   // bytes of the file at bytes_
    int modules_ = 0;
    int expected_ = 1;                                   // module count of the previous file
    std::array<std::uint8_t, rec::kModules> layout_{};   // per module: which byte-order map
    std::array<std::uint32_t, rec::kModules> blocks_{};  // per module: a bit per slot with a block
    std::vector<std::uint8_t> scratch_;                  // a macro list being checked
    mutable std::string text_;                           // a text that needed converting
    std::string folder_;  // the folder of the last file, open as folderFd_
    int folderFd_ = -1;

    Batches batches_;
    std::unique_ptr<FileBatchReader> reader_;  // made for the first batch read as one
    int batchesSeen_ = 0;
    std::array<const std::string*, kBatch> batch_{};
    std::array<std::ptrdiff_t, kBatch> got_{};  // per file of the batch; kNotRead: read() it
    std::array<std::size_t, kBatch> place_{};   // per file: its buffer in the reader
};

// Where a source saved under `path` is written: the last extension replaced
// by "d" (synth.dev -> synth.d, MY.SYNTH.D -> MY.SYNTH.d), a name without an
// extension getting ".d". Every save goes there, so that the compiled driver
// written beside it ("dev") never lands on the source.
std::filesystem::path sourceFilePath(const std::filesystem::path& path);

// Saves `record` to sourceFilePath(`path`), keeping the previous file as
// "<name>.bak", and writes `driverImage` (when given) beside it with the
// extension "dev". A symbolic link is saved through: the file it leads to is
// replaced in its own folder, with its backup there. A write-protected
// source or driver file refuses the save. Everything is first written to
// temporary files in the same folder; the previous file, the previous backup
// and the previous compiled driver are only replaced once all new content is
// safely on disk. On failure nothing is changed, the reason and "Error while
// saving!" are reported through `prompter` and false is answered.
bool saveSourceFile(const std::filesystem::path& path, const SourceRecord& record,
                    const std::vector<std::uint8_t>* driverImage, Prompter* prompter);

// Byte-order pass over the fixed part of a file image holding `modules`
// module records. ToBigEndian reads the flags that choose a layout before
// exchanging, FromBigEndian after. Exposed for the tests and the compiler.
void swapImageFields(ByteSpan image, int modules, SwapDirection dir);

}  // namespace sf
