#pragma once

#include <cstdint>

#include "text.h"
#include "win_error.h"

namespace tavro {

#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// A creation time in UTC: 100-nanosecond units since 1601-01-01, as Windows
// counts it. Zero stands for a time that could not be read.
struct FileTime {
    uint64_t ticks = 0;
    friend bool operator==(FileTime, FileTime) = default;
};

// What reading a path's own attributes tells, without following a final link.
struct PathAttributes {
    uint32_t error = winerr::kSuccess;  // why they could not be read, else kSuccess
    bool directory = false;             // a link carries this when it leads to a directory
    bool link = false;                  // symbolic link, junction or other reparse point
};

// The operating-system services the engine needs, task by task. Failures are
// thrown as PlatformError with a Windows error number; the engine decides what
// each number means. Paths are whole paths in the platform's own form.
class Platform {
  public:
    virtual ~Platform() = default;

    // The 32-bit Program Files folder, without a trailing separator.
    virtual Text programFilesX86() = 0;
    // Full path of the running executable.
    virtual Text ownExecutablePath() = 0;

    virtual PathAttributes attributes(const Text& path) = 0;
    // Follows the link at `path` and tells whether its target can be opened, as a
    // directory or as a file. A file held open by another process counts as opened.
    virtual bool linkTargetOpens(const Text& path, bool asDirectory) = 0;
    // Searches the folder of `path` for its name; true when found and not a directory.
    virtual bool searchFindsFile(const Text& path) = 0;
    // The absolute, normalised form of `path` (no file-system access needed).
    virtual Text makeAbsolute(const Text& path) = 0;

    // Creates `destination`, which must not exist, as a whole copy of `source`
    // flushed to stable storage. Follows a link at `source`, never at
    // `destination`. On failure no `destination` is left behind.
    virtual void copyToNew(const Text& source, const Text& destination) = 0;
    // Makes the installed file reachable as `backup`, failing when anything
    // already exists there. The installed name may stay in place or become free,
    // as the platform requires; `swapIn` works in both cases.
    virtual void keepBackup(const Text& installed, const Text& backup) = 0;
    // Reverses `keepBackup` when the swap could not follow it.
    virtual void undoBackup(const Text& installed, const Text& backup) = 0;
    // Moves `fresh` to `installed` in one step, replacing whatever entry (never a
    // link's target) is there.
    virtual void swapIn(const Text& fresh, const Text& installed) = 0;
    // Makes the entries of the folder holding `path` durable.
    virtual void flushFolder(const Text& path) = 0;
    // Removes the entry at `path`: a file, or a link itself.
    virtual void removeFile(const Text& path) = 0;

    // The creation time of the file at `path`, links followed; zero when unreadable.
    virtual FileTime creationTime(const Text& path) = 0;
    // Sets only the creation time of the existing file at `path`.
    virtual void setCreationTime(const Text& path, FileTime time) = 0;
};

// The platform this build runs on.
Platform& systemPlatform();

}  // namespace tavro
