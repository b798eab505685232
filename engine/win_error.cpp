#include "win_error.h"

namespace tavro {
namespace {

std::string describe(uint32_t code) {
    switch (code) {
        case winerr::kFileNotFound:
            return "The system cannot find the file specified";
        case winerr::kPathNotFound:
            return "The system cannot find the path specified";
        case winerr::kAccessDenied:
            return "Access is denied";
        case winerr::kNotEnoughMemory:
            return "Not enough memory resources are available to process this command";
        case winerr::kSharingViolation:
            return "The process cannot access the file because it is being used by another "
                   "process";
        case winerr::kDiskFull:
            return "There is not enough space on the disk";
        case winerr::kAlreadyExists:
            return "Cannot create a file when that file already exists";
        case winerr::kIoDevice:
            return "The request could not be performed because of an I/O device error";
        default:
            return "System error";
    }
}

}  // namespace

PlatformError::PlatformError(uint32_t code, const std::string& operation)
    : std::runtime_error(operation + ": " + describe(code) + " (code " + std::to_string(code) +
                         ")"),
      code_(code) {}

}  // namespace tavro
