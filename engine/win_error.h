#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tavro {

// The engine reasons about failures in Windows error numbers on every platform;
// each platform layer maps its native errors to these once, at its boundary.
namespace winerr {
inline constexpr uint32_t kSuccess = 0;
inline constexpr uint32_t kInvalidFunction = 1;
inline constexpr uint32_t kFileNotFound = 2;
inline constexpr uint32_t kPathNotFound = 3;
inline constexpr uint32_t kTooManyOpenFiles = 4;
inline constexpr uint32_t kAccessDenied = 5;
inline constexpr uint32_t kInvalidHandle = 6;
inline constexpr uint32_t kNotEnoughMemory = 8;
inline constexpr uint32_t kNotSameDevice = 17;
inline constexpr uint32_t kWriteProtect = 19;
inline constexpr uint32_t kNotReady = 21;
inline constexpr uint32_t kGenFailure = 31;
inline constexpr uint32_t kSharingViolation = 32;
inline constexpr uint32_t kHandleDiskFull = 39;
inline constexpr uint32_t kNotSupported = 50;
inline constexpr uint32_t kBadNetPath = 53;
inline constexpr uint32_t kBadNetName = 67;
inline constexpr uint32_t kFileExists = 80;
inline constexpr uint32_t kInvalidParameter = 87;
inline constexpr uint32_t kDiskFull = 112;
inline constexpr uint32_t kInsufficientBuffer = 122;
inline constexpr uint32_t kInvalidName = 123;
inline constexpr uint32_t kBadPathName = 161;
inline constexpr uint32_t kBusy = 170;
inline constexpr uint32_t kAlreadyExists = 183;
inline constexpr uint32_t kFilenameExcedRange = 206;
inline constexpr uint32_t kFileTooLarge = 223;
inline constexpr uint32_t kDirectory = 267;
inline constexpr uint32_t kIoDevice = 1117;
inline constexpr uint32_t kCantResolveFilename = 1921;
}  // namespace winerr

// A failed operating-system call, carrying its Windows error number. Its message
// is UTF-8 and is what a user sees when such a failure reaches a message box.
class PlatformError : public std::runtime_error {
  public:
    PlatformError(uint32_t code, const std::string& operation);
    uint32_t code() const noexcept { return code_; }

  private:
    uint32_t code_;
};

}  // namespace tavro
