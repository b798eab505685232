#pragma once

#include <array>
#include <cstdint>

#include "platform.h"

namespace tavro {

// Linux keeps a birth time that no call can set, so a creation time we give a
// file lives in this extended attribute: a Windows FILETIME count (100 ns units
// since 1601-01-01 UTC) as 8 bytes, least significant first.
inline constexpr const char* kCreationTimeAttr = "user.tavro.creation_time";
inline constexpr size_t kCreationTimeAttrSize = 8;

// Seconds between 1601-01-01 and 1970-01-01.
inline constexpr int64_t kUnixEpochInFileTimeSeconds = 11644473600;

inline std::array<unsigned char, kCreationTimeAttrSize> encodeCreationTimeAttr(FileTime time) {
    std::array<unsigned char, kCreationTimeAttrSize> raw{};
    for (size_t i = 0; i < raw.size(); ++i) {
        raw[i] = static_cast<unsigned char>(time.ticks >> (8 * i));
    }
    return raw;
}

inline FileTime decodeCreationTimeAttr(
    const std::array<unsigned char, kCreationTimeAttrSize>& raw) {
    uint64_t ticks = 0;
    for (size_t i = 0; i < raw.size(); ++i) {
        ticks |= uint64_t{raw[i]} << (8 * i);
    }
    return FileTime{ticks};
}

// Times before 1601 cannot be expressed and read as unreadable (zero).
inline FileTime fileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
    const int64_t since1601 = seconds + kUnixEpochInFileTimeSeconds;
    if (since1601 < 0) {
        return FileTime{};
    }
    return FileTime{static_cast<uint64_t>(since1601) * 10'000'000u + nanoseconds / 100u};
}

}  // namespace tavro
