#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "creation_time_attr.h"
#include "platform.h"
#include "posix_errors.h"

namespace tavro {
namespace {

std::string native(const Text& path) {
    return toUtf8(path);
}

// Closes on every path; close errors on read-only descriptors carry no news.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    // For descriptors we wrote through: a failed close can mean lost data.
    void closeChecked(const std::string& what) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            throwLastError(what);
        }
    }

  private:
    int fd_;
};

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string trimTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/";
}

// Copies what is left of `in` into `out` through a fixed buffer; for file
// systems where the kernel cannot copy between the two.
void copyByReadWrite(int in, int out) {
    constexpr size_t kChunk = 256 * 1024;
    const auto buffer = std::make_unique<char[]>(kChunk);
    for (;;) {
        const ssize_t got = ::read(in, buffer.get(), kChunk);
        if (got == 0) {
            return;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwLastError("Reading the new executable");
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.get() + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throwLastError("Writing the copy");
            }
            done += put;
        }
    }
}

bool kernelCannotCopy(int err) {
    return err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EBADF ||
           err == EPERM;
}

void copyContents(int in, int out) {
    // A reflink shares the source's blocks: instant, and as safe as a copy.
    if (::ioctl(out, FICLONE, in) == 0) {
        return;
    }
    constexpr size_t kStep = size_t{1} << 30;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kStep, 0);
        if (n > 0) {
            continue;
        }
        if (n == 0) {
            return;
        }
        if (errno == EINTR) {
            continue;
        }
        if (kernelCannotCopy(errno)) {
            copyByReadWrite(in, out);
            return;
        }
        throwLastError("Copying the new executable");
    }
}

void flushFolderOf(const std::string& path) {
    Fd dir(::open(parentOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        throwLastError("Opening the install folder");
    }
    if (::fsync(dir.get()) != 0) {
        throwLastError("Flushing the install folder");
    }
}

// In a sticky folder only the owner of an entry or of the folder may replace or
// remove it. Then the swap is bound to fail, and a backup link made first could
// not be taken back: it would outlive the failed run.
bool stickyFolderProtects(const std::string& path) {
    struct stat folder {};
    struct stat entry {};
    if (::stat(parentOf(path).c_str(), &folder) != 0 || ::lstat(path.c_str(), &entry) != 0) {
        return false;
    }
    const uid_t user = ::geteuid();
    return (folder.st_mode & S_ISVTX) != 0 && user != 0 && user != folder.st_uid &&
           user != entry.st_uid;
}

class PosixPlatform final : public Platform {
  public:
    Text programFilesX86() override {
        std::string prefix;
        if (const char* wine = std::getenv("WINEPREFIX"); wine != nullptr && *wine != '\0') {
            prefix = wine;
        } else {
            prefix = homeFolder() + "/.wine";
        }
        prefix = trimTrailingSlashes(prefix);
        if (prefix == "/") {
            prefix.clear();
        }
        return fromUtf8(prefix + "/drive_c/Program Files (x86)");
    }

    Text ownExecutablePath() override {
        std::vector<char> buffer(4096);
        for (;;) {
            const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
            if (n < 0) {
                throwLastError("Reading the program's own path");
            }
            if (static_cast<size_t>(n) < buffer.size()) {
                return fromUtf8(std::string_view(buffer.data(), static_cast<size_t>(n)));
            }
            buffer.resize(buffer.size() * 2);
        }
    }

    PathAttributes attributes(const Text& path) override {
        const std::string p = native(path);
        PathAttributes result;
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0) {
            result.error = winErrorFromErrno(errno);
            return result;
        }
        if (S_ISLNK(st.st_mode)) {
            result.link = true;
            struct stat target {};
            result.directory = ::stat(p.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
        } else {
            result.directory = S_ISDIR(st.st_mode);
        }
        return result;
    }

    bool linkTargetOpens(const Text& path, bool asDirectory) override {
        const int flags =
            O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (asDirectory ? O_DIRECTORY : 0);
        Fd fd(::open(native(path).c_str(), flags));
        if (fd.get() < 0) {
            return false;
        }
        struct stat st {};
        return ::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode) == asDirectory;
    }

    bool searchFindsFile(const Text& path) override {
        const std::string p = trimTrailingSlashes(native(path));
        const auto slash = p.find_last_of('/');
        const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(parentOf(p).c_str()), ::closedir);
        if (!dir) {
            return false;
        }
        while (const dirent* entry = ::readdir(dir.get())) {
            if (name == entry->d_name) {
                return entry->d_type != DT_DIR;
            }
        }
        return false;
    }

    Text makeAbsolute(const Text& path) override {
        std::string p = native(path);
        if (p.empty() || p.front() != '/') {
            std::vector<char> cwd(4096);
            while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
                if (errno != ERANGE) {
                    throwLastError("Reading the current folder");
                }
                cwd.resize(cwd.size() * 2);
            }
            p = std::string(cwd.data()) + "/" + p;
        }
        std::vector<std::string> parts;
        size_t start = 0;
        while (start <= p.size()) {
            const size_t end = std::min(p.find('/', start), p.size());
            const std::string part = p.substr(start, end - start);
            if (part == "..") {
                if (!parts.empty()) {
                    parts.pop_back();
                }
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            start = end + 1;
        }
        std::string out;
        for (const auto& part : parts) {
            out += "/" + part;
        }
        return fromUtf8(out.empty() ? "/" : out);
    }

    void copyToNew(const Text& source, const Text& destination) override {
        const std::string dst = native(destination);
        // Non-blocking, or a source that is a FIFO would hang the upgrade in open
        // before the check below can refuse it; regular files ignore the flag.
        Fd in(::open(native(source).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (in.get() < 0) {
            throwLastError("Opening the new executable");
        }
        struct stat st {};
        if (::fstat(in.get(), &st) != 0) {
            throwLastError("Reading the new executable");
        }
        if (!S_ISREG(st.st_mode)) {
            throw PlatformError(winerr::kAccessDenied, "Opening the new executable");
        }
        Fd out(::open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      st.st_mode & 0777));
        if (out.get() < 0) {
            throwLastError("Creating the copy");
        }
        try {
            copyContents(in.get(), out.get());
            if (::fsync(out.get()) != 0) {
                throwLastError("Flushing the copy");
            }
            out.closeChecked("Closing the copy");
        } catch (...) {
            ::unlink(dst.c_str());
            throw;
        }
    }

    void keepBackup(const Text& installed, const Text& backup) override {
        const std::string from = native(installed);
        const std::string to = native(backup);
        if (stickyFolderProtects(from)) {
            throw PlatformError(winerr::kAccessDenied, "Keeping the backup");
        }
        // A second name for the installed file keeps "Tavro.exe" in place until
        // the swap replaces it in one step.
        if (::link(from.c_str(), to.c_str()) == 0) {
            return;
        }
        if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) {
            throwLastError("Keeping the backup");
        }
        // No second name to be had (a file system without hard links, or a file
        // the kernel protects from users who may not write it): a copy keeps
        // "Tavro.exe" in place too. It is finished under another name, since a
        // partial backup left by a kill would never be replaced.
        const std::string staging = to + ".part";
        if (::unlink(staging.c_str()) != 0 && errno != ENOENT) {
            throwLastError("Keeping the backup");
        }
        copyToNew(installed, fromUtf8(staging));
        try {
            setCreationTime(fromUtf8(staging), creationTime(installed));
        } catch (const PlatformError&) {
            // The backup's time is a courtesy; its content is what counts.
        }
        if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
            const int error = errno;
            ::unlink(staging.c_str());
            errno = error;
            throwLastError("Keeping the backup");
        }
    }

    void undoBackup(const Text& installed, const Text& backup) override {
        const std::string from = native(installed);
        const std::string to = native(backup);
        // A second name or a copy: the installed file is still in place.
        struct stat st {};
        if (::lstat(from.c_str(), &st) == 0) {
            if (::unlink(to.c_str()) != 0) {
                throwLastError("Removing the backup");
            }
            return;
        }
        if (::renameat2(AT_FDCWD, to.c_str(), AT_FDCWD, from.c_str(), RENAME_NOREPLACE) != 0) {
            throwLastError("Restoring the installed executable");
        }
    }

    void swapIn(const Text& fresh, const Text& installed) override {
        const std::string to = native(installed);
        if (::rename(native(fresh).c_str(), to.c_str()) != 0) {
            throwLastError("Replacing the installed executable");
        }
    }

    void flushFolder(const Text& path) override { flushFolderOf(native(path)); }

    void removeFile(const Text& path) override {
        if (::unlink(native(path).c_str()) != 0) {
            throwLastError("Removing a file");
        }
    }

    FileTime creationTime(const Text& path) override {
        const std::string p = native(path);
        std::array<unsigned char, kCreationTimeAttrSize> raw{};
        if (::getxattr(p.c_str(), kCreationTimeAttr, raw.data(), raw.size()) ==
            static_cast<ssize_t>(raw.size())) {
            return decodeCreationTimeAttr(raw);
        }
        struct statx sx {};
        if (::statx(AT_FDCWD, p.c_str(), 0, STATX_BTIME, &sx) == 0 &&
            (sx.stx_mask & STATX_BTIME) != 0) {
            return fileTimeFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
        }
        return FileTime{};
    }

    void setCreationTime(const Text& path, FileTime time) override {
        // Permission to change the attribute is checked on the file itself, so a
        // read-only descriptor is enough and a running executable can be marked.
        Fd fd(::open(native(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (fd.get() < 0) {
            throwLastError("Opening the copy");
        }
        const auto raw = encodeCreationTimeAttr(time);
        if (::fsetxattr(fd.get(), kCreationTimeAttr, raw.data(), raw.size(), 0) != 0) {
            throwLastError("Setting the creation time");
        }
    }
};

}  // namespace

Platform& systemPlatform() {
    static PosixPlatform platform;
    return platform;
}

}  // namespace tavro
