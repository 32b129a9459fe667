// File-layer errors. A failure of a file operation is raised as an Exception
// that carries the number of its message, the message text already filled in
// with the path or partition concerned, and the platform error code (errno).
// The operation that catches it decides what the user sees.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace sf {

// Message numbers of the file layer.
namespace filemsg {
inline constexpr int kOpenFailed = 18000;      // "%s": the path
inline constexpr int kDeleteFailed = 18001;
inline constexpr int kReadFailed = 18002;      // "%s": the path
inline constexpr int kWriteFailed = 18003;
inline constexpr int kSeekFailed = 18004;
inline constexpr int kResizeFailed = 18005;
inline constexpr int kCopyFailed = 18006;
inline constexpr int kMoveFailed = 18007;
inline constexpr int kBadDirectory = 18008;
inline constexpr int kInUseOverwrite = 18009;
inline constexpr int kAskBackup = 18010;       // question; "%s": the path
inline constexpr int kBackupFailed = 18011;
inline constexpr int kFileError = 18012;
inline constexpr int kRenameFailed = 18013;
inline constexpr int kPartitionAccess = 18014;
inline constexpr int kLabelFailed = 18015;
inline constexpr int kCreateFailed = 18016;    // "%s": the path
inline constexpr int kAttributesFailed = 18017;
inline constexpr int kMkdirFailed = 18018;
inline constexpr int kDiskFull = 18019;        // "%s": the partition
inline constexpr int kUncompressFailed = 18020;
inline constexpr int kMappingFailed = 18021;
inline constexpr int kDatabaseSerious = 18022;
inline constexpr int kDatabaseFull = 18023;
inline constexpr int kWrongType = 18024;
inline constexpr int kInUse = 18025;           // "%s": the path
inline constexpr int kVirtualMemory = 18026;
}  // namespace filemsg

// The raw text of a message number (with its "%s" unfilled); empty for a
// number the table does not hold.
std::string_view fileMessageText(int number);
// The text with its "%s" (if any) replaced by `fill`.
std::string formatFileMessage(int number, std::string_view fill = {});

// Abstract base of the program's errors: a text a user may be shown.
class AException : public std::exception {
public:
    ~AException() override = default;
    const char* what() const noexcept override { return text_.c_str(); }
    const std::string& text() const noexcept { return text_; }

protected:
    explicit AException(std::string text) : text_(std::move(text)) {}

private:
    std::string text_;
};

class Exception : public AException {
public:
    // `fill` replaces the "%s" of the message; `errorCode` is the errno that
    // caused the failure (0 when none).
    Exception(int messageNumber, std::string_view fill = {}, int errorCode = 0)
        : AException(formatFileMessage(messageNumber, fill)),
          number_(messageNumber),
          errorCode_(errorCode) {}

    int messageNumber() const noexcept { return number_; }
    int errorCode() const noexcept { return errorCode_; }

private:
    int number_;
    int errorCode_;
};

}  // namespace sf
