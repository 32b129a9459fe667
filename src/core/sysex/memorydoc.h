// A binary document: a block of bytes held in memory, read from a whole file
// or handed over by the MIDI bulk capture, and saved back byte for byte.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/bytes.h"

namespace sf {

class Prompter;

// The document type of binary files.
struct MemoryDocFactory {
    static constexpr const char* kTypeName = "Memory";
    static constexpr const char* kDescription = "Memory";
    static constexpr const char* kFilter = "All files (*.*)|*.*|";
    static constexpr const char* kBackupExtension = "bak";
};

class MemoryDoc {
  public:
    // Takes over a block (the MIDI bulk capture): untitled, and modified
    // when asked, so that closing it asks whether to save it.
    explicit MemoryDoc(std::vector<std::uint8_t> data, bool modified = false);
    // Reads the whole file; the file layer's message is shown through
    // `prompter` (when given) and null answered when it cannot be read.
    static std::unique_ptr<MemoryDoc> open(const std::filesystem::path& path,
                                           Prompter* prompter = nullptr);

    ConstByteSpan bytes() const { return data_; }
    const std::vector<std::uint8_t>& data() const { return data_; }
    std::size_t size() const { return data_.size(); }

    const std::filesystem::path& path() const { return path_; }  // empty: untitled
    bool isUntitled() const { return path_.empty(); }
    bool isModified() const { return modified_; }

    // Writes every byte to the document's file (false when untitled).
    bool save(Prompter* prompter);
    // Writes every byte to `path`, which becomes the document's file. An
    // existing file there is kept as "NAME.bak" (an older one replaced); the
    // new file is complete on disk before the previous one is moved away.
    // On failure the file layer's message is shown, the files stay as they
    // were and the document keeps its name and modified state. A symbolic
    // link is saved through: the linked file is replaced in its own folder,
    // its backup beside it, and the link stays.
    bool saveAs(const std::filesystem::path& path, Prompter* prompter);
    // Reads the document's file again; on failure nothing changes.
    bool revert(Prompter* prompter);

  private:
    std::vector<std::uint8_t> data_;
    std::filesystem::path path_;
    bool modified_ = false;
};

}  // namespace sf
