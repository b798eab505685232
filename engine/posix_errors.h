#pragma once

#include <cstdint>
#include <string>

namespace tavro {

// The one place where POSIX errno values become the Windows error numbers the
// engine reasons about.
uint32_t winErrorFromErrno(int err) noexcept;

// Throws PlatformError for the current errno.
[[noreturn]] void throwLastError(const std::string& operation);

}  // namespace tavro
