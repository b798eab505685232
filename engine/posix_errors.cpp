#include "posix_errors.h"

#include <cerrno>

#include "win_error.h"

namespace tavro {

uint32_t winErrorFromErrno(int err) noexcept {
    switch (err) {
        case 0:
            return winerr::kSuccess;
        case ENOENT:
        case ENXIO:
            return winerr::kFileNotFound;
        case ENOTDIR:
            return winerr::kPathNotFound;
        case ENAMETOOLONG:
            return winerr::kFilenameExcedRange;
        case EACCES:
        case EPERM:
        case EISDIR:
            return winerr::kAccessDenied;
        case EMFILE:
        case ENFILE:
            return winerr::kTooManyOpenFiles;
        case EBADF:
            return winerr::kInvalidHandle;
        case ENOMEM:
            return winerr::kNotEnoughMemory;
        case EXDEV:
            return winerr::kNotSameDevice;
        case EROFS:
            return winerr::kWriteProtect;
        case ENOMEDIUM:
            return winerr::kNotReady;
        case ETXTBSY:
            return winerr::kSharingViolation;
        case EBUSY:
            return winerr::kBusy;
        case ENOTSUP:
        case ENOSYS:
            return winerr::kNotSupported;
        case EEXIST:
        case ENOTEMPTY:
            return winerr::kAlreadyExists;
        case EINVAL:
            return winerr::kInvalidParameter;
        case ENOSPC:
        case EDQUOT:
            return winerr::kDiskFull;
        case EFBIG:
            return winerr::kFileTooLarge;
        case EIO:
            return winerr::kIoDevice;
        case ELOOP:
            return winerr::kCantResolveFilename;
        case EILSEQ:
            return winerr::kInvalidName;
        default:
            return winerr::kGenFailure;
    }
}

void throwLastError(const std::string& operation) {
    throw PlatformError(winErrorFromErrno(errno), operation);
}

}  // namespace tavro
