#include "file_tests.h"

#include <algorithm>
#include <array>

#include "platform.h"

namespace tavro {
namespace {

constexpr std::array kDirectoryAbsentReasons{
    winerr::kFileNotFound, winerr::kPathNotFound, winerr::kNotReady,    winerr::kBadNetPath,
    winerr::kBadNetName,   winerr::kInvalidName,  winerr::kBadPathName,
};

constexpr std::array kFileAbsentReasons{
    winerr::kFileNotFound,
    winerr::kPathNotFound,
    winerr::kInvalidName,
};

template <size_t N>
bool contains(const std::array<uint32_t, N>& reasons, uint32_t code) {
    return std::find(reasons.begin(), reasons.end(), code) != reasons.end();
}

}  // namespace

bool directoryExists(Platform& platform, const Text& path) {
    const PathAttributes attrs = platform.attributes(path);
    if (attrs.error != winerr::kSuccess) {
        return !contains(kDirectoryAbsentReasons, attrs.error);
    }
    if (!attrs.directory) {
        return false;
    }
    return !attrs.link || platform.linkTargetOpens(path, true);
}

bool fileExists(Platform& platform, const Text& path) {
    const PathAttributes attrs = platform.attributes(path);
    if (attrs.error != winerr::kSuccess) {
        return !contains(kFileAbsentReasons, attrs.error) && platform.searchFindsFile(path);
    }
    if (attrs.directory) {
        return false;
    }
    return !attrs.link || platform.linkTargetOpens(path, false);
}

}  // namespace tavro
