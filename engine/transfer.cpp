#include "transfer.h"

#include <exception>

#include "file_tests.h"
#include "path_rules.h"
#include "platform.h"

namespace tavro {
namespace {

constexpr uint64_t kTicksPerMillisecond = 10'000;

FileTime toMilliseconds(FileTime time) {
    return FileTime{time.ticks - time.ticks % kTicksPerMillisecond};
}

// Whether the installed executable should be kept as the backup: it exists and
// no backup does. A path that fails its checks means no backup is due (one that
// would be too long, say), and the upgrade goes on without one; any other
// failure ends the upgrade, since going on would lose the old executable.
bool backupWanted(Platform& platform, const Text& toName, const Text& reNamed) {
    const Text installed = platform.makeAbsolute(toName);
    const Text backup = platform.makeAbsolute(reNamed);
    try {
        checkExistingFile(platform, installed);
        checkPath(platform, backup);
    } catch (const PathCheckError& failure) {
        if (failure.problem() == PathProblem::Unresolvable) {
            throw;
        }
        return false;
    }
    return !fileExists(platform, backup);
}

// Removes the new copy unless it was swapped in, on every way out.
class FreshCopy {
  public:
    FreshCopy(Platform& platform, Text path) : platform_(platform), path_(std::move(path)) {}
    FreshCopy(const FreshCopy&) = delete;
    FreshCopy& operator=(const FreshCopy&) = delete;
    ~FreshCopy() {
        if (pending_) {
            try {
                platform_.removeFile(path_);
            } catch (const std::exception&) {
                // The next run clears a leftover copy before it writes its own.
            }
        }
    }
    const Text& path() const { return path_; }
    void written() { pending_ = true; }
    void swappedIn() { pending_ = false; }

  private:
    Platform& platform_;
    Text path_;
    bool pending_ = false;
};

// A copy left by a run that was killed or lost power before its swap.
void clearLeftover(Platform& platform, const Text& path) {
    if (platform.attributes(path).error != winerr::kFileNotFound) {
        platform.removeFile(path);
    }
}

// The new file is in place; give it the source's time and check that it holds.
bool stampAndVerify(Platform& platform, const Text& fromName, const Text& toName) {
    checkExistingFile(platform, fromName);
    const FileTime sourceTime = toMilliseconds(platform.creationTime(fromName));
    checkExistingFile(platform, toName);
    try {
        platform.setCreationTime(toName, sourceTime);
    } catch (const PlatformError&) {
        // Verification below reports it.
    }
    if (!fileExists(platform, toName)) {
        return false;
    }
    checkExistingFile(platform, fromName);
    const FileTime expected = toMilliseconds(platform.creationTime(fromName));
    checkExistingFile(platform, toName);
    return toMilliseconds(platform.creationTime(toName)) == expected;
}

bool transfer(const TargetRecord& record, Platform& platform, LogSink& log) {
    const Text fromName = record.FilesPath + record.Product + kPathSeparator + kExecutableName;
    const Text& toName = record.TavroExeName;
    const Text& reNamed = record.TavroRenamed;

    if (!directoryExists(platform, record.WindowsX86FilesPath)) {
        log.addLogLine(kDirectoryMissingLine + record.WindowsX86FilesPath);
        return false;
    }
    bool keepOld = backupWanted(platform, toName, reNamed);

    checkExistingFile(platform, fromName);
    checkPath(platform, toName);
    FreshCopy fresh(platform, folderPart(toName) + kTemporaryName);
    checkPath(platform, fresh.path());
    clearLeftover(platform, fresh.path());
    platform.copyToNew(fromName, fresh.path());
    fresh.written();

    if (keepOld) {
        try {
            platform.keepBackup(toName, reNamed);
        } catch (const PlatformError& failure) {
            // Something already holds the backup's name (a link, say): it is never
            // replaced, just as an existing backup is kept.
            if (failure.code() != winerr::kAlreadyExists && failure.code() != winerr::kFileExists) {
                // Otherwise the backup is the only way back to the old executable:
                // when one is due but cannot be made, the upgrade stops.
                throw;
            }
            keepOld = false;
        }
    }
    try {
        platform.swapIn(fresh.path(), toName);
    } catch (const PlatformError&) {
        if (keepOld) {
            platform.undoBackup(toName, reNamed);
        }
        return false;
    }
    fresh.swappedIn();

    bool durable = true;
    try {
        platform.flushFolder(toName);
    } catch (const PlatformError&) {
        durable = false;
    }
    if (stampAndVerify(platform, fromName, toName) && durable) {
        return true;
    }
    log.addLogLine(kProblemWritingLine + toName);
    return false;
}

}  // namespace

bool TransferNewFiles(const TargetRecord& record, Platform& platform, LogSink& log) {
    try {
        return transfer(record, platform, log);
    } catch (...) {
        // Every failure is a failed upgrade; the caller writes the outcome lines.
        return false;
    }
}

}  // namespace tavro
