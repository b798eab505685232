#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/xattr.h>

#include <cerrno>
#include <filesystem>

#include "creation_time_attr.h"
#include "platform.h"
#include "posix_errors.h"
#include "temp_dir.h"

namespace tavro::testing {
namespace {

namespace fs = std::filesystem;

TEST(ErrnoMapping, EachNativeErrorHasOneWindowsReason) {
    const std::vector<std::pair<int, uint32_t>> cases = {
        {ENOENT, 2},     {ENOTDIR, 3},  {ENAMETOOLONG, 206}, {EACCES, 5},   {EPERM, 5},
        {EISDIR, 5},     {EMFILE, 4},   {ENOMEM, 8},         {EXDEV, 17},   {EROFS, 19},
        {ENOMEDIUM, 21}, {ETXTBSY, 32}, {EBUSY, 170},        {EEXIST, 183}, {ENOTEMPTY, 183},
        {EINVAL, 87},    {ENOSPC, 112}, {EDQUOT, 112},       {EFBIG, 223},  {EIO, 1117},
        {ELOOP, 1921},   {EILSEQ, 123}, {ENOTSUP, 50},       {EPROTO, 31},
    };
    for (const auto& [err, code] : cases) {
        EXPECT_EQ(winErrorFromErrno(err), code) << "errno " << err;
    }
}

class EnvGuard {
  public:
    explicit EnvGuard(const char* name) : name_(name) {
        if (const char* v = std::getenv(name)) {
            saved_ = v;
            had_ = true;
        }
    }
    ~EnvGuard() {
        if (had_) {
            ::setenv(name_, saved_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::string saved_;
    bool had_ = false;
};

TEST(ProgramFilesX86, FollowsTheWinePrefix) {
    EnvGuard prefix("WINEPREFIX");
    EnvGuard home("HOME");
    ::setenv("HOME", "/home/tester", 1);
    Platform& platform = systemPlatform();

    ::setenv("WINEPREFIX", "/srv/wine prefix", 1);
    EXPECT_EQ(platform.programFilesX86(), u"/srv/wine prefix/drive_c/Program Files (x86)");
    ::setenv("WINEPREFIX", "/srv/wp//", 1);
    EXPECT_EQ(platform.programFilesX86(), u"/srv/wp/drive_c/Program Files (x86)");
    ::setenv("WINEPREFIX", "", 1);
    EXPECT_EQ(platform.programFilesX86(), u"/home/tester/.wine/drive_c/Program Files (x86)");
    ::unsetenv("WINEPREFIX");
    EXPECT_EQ(platform.programFilesX86(), u"/home/tester/.wine/drive_c/Program Files (x86)");
}

TEST(OwnExecutablePath, IsThisTestProgram) {
    const Text own = systemPlatform().ownExecutablePath();
    EXPECT_EQ(toUtf8(own), fs::canonical("/proc/self/exe").string());
}

TEST(Utf8, RoundTripsEveryFileName) {
    const std::vector<std::string> names = {
        "Tavro.exe",          "Ostrel Indüstries", "日本語",       "emoji \xF0\x9F\x98\x80",
        "bad \xFF\xFE bytes", "overlong \xC0\xAF", "cut \xE6\x97",
    };
    for (const auto& name : names) {
        EXPECT_EQ(toUtf8(fromUtf8(name)), name);
    }
    EXPECT_EQ(fromUtf8("\xC3\xBC"), u"ü");
    EXPECT_EQ(fromUtf8("\xF0\x9F\x98\x80").size(), 2u) << "a surrogate pair";
}

TEST(CreationTime, AttributeIsLittleEndianFileTime) {
    const FileTime t{0x0102030405060708ULL};
    const auto raw = encodeCreationTimeAttr(t);
    EXPECT_EQ(raw[0], 0x08);
    EXPECT_EQ(raw[7], 0x01);
    EXPECT_EQ(decodeCreationTimeAttr(raw), t);
    EXPECT_EQ(fileTimeFromUnix(0, 0).ticks, 116444736000000000ULL);
    EXPECT_EQ(fileTimeFromUnix(1, 999'999'999).ticks, 116444736000000000ULL + 19'999'999);
    EXPECT_EQ(fileTimeFromUnix(-kUnixEpochInFileTimeSeconds - 1, 0).ticks, 0u);
}

TEST(CreationTime, SetWritesTheAttributeAndReadPrefersIt) {
    TempDir tmp;
    const fs::path file = tmp / "Tavro.exe";
    writeFile(file, "MZ");
    Platform& platform = systemPlatform();
    const Text path = fromUtf8(file.string());

    const FileTime birth = platform.creationTime(path);
    EXPECT_NE(birth.ticks, 0u) << "ext4 reports a birth time";

    const FileTime chosen{132'000'000'000'000'000ULL + 1234567};
    platform.setCreationTime(path, chosen);
    EXPECT_EQ(platform.creationTime(path), chosen);

    unsigned char raw[8];
    ASSERT_EQ(::getxattr(file.c_str(), "user.tavro.creation_time", raw, sizeof raw), 8);

    // A malformed attribute is not trusted.
    ASSERT_EQ(::setxattr(file.c_str(), "user.tavro.creation_time", "x", 1, 0), 0);
    EXPECT_EQ(platform.creationTime(path), birth);

    EXPECT_EQ(platform.creationTime(fromUtf8((tmp / "missing").string())).ticks, 0u);
    EXPECT_THROW(platform.setCreationTime(fromUtf8((tmp / "missing").string()), chosen),
                 PlatformError);
}

TEST(CopyToNew, CopiesWholeAndNeverWritesThroughAnExistingName) {
    TempDir tmp;
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 131 % 251);
    }
    writeFile(tmp / "src", big);
    writeFile(tmp / "victim", "keep");
    fs::create_symlink(tmp / "victim", tmp / "link");
    fs::create_directory(tmp / "dir");
    Platform& platform = systemPlatform();
    const auto text = [&](const char* rel) { return fromUtf8((tmp / rel).string()); };

    platform.copyToNew(text("src"), text("copy"));
    EXPECT_EQ(readFile(tmp / "copy"), big);

    const auto code = [&](const char* src, const char* dst) {
        try {
            platform.copyToNew(text(src), text(dst));
        } catch (const PlatformError& e) {
            return e.code();
        }
        return winerr::kSuccess;
    };
    EXPECT_EQ(code("src", "copy"), winerr::kAlreadyExists);
    EXPECT_EQ(code("src", "link"), winerr::kAlreadyExists);
    EXPECT_EQ(readFile(tmp / "victim"), "keep");
    EXPECT_EQ(code("dir", "fromdir"), winerr::kAccessDenied);
    EXPECT_EQ(code("missing", "frommissing"), winerr::kFileNotFound);
    EXPECT_FALSE(fs::exists(tmp / "fromdir"));
    EXPECT_FALSE(fs::exists(tmp / "frommissing"));
}

TEST(SwapIn, ReplacesALinkItselfNeverItsTarget) {
    TempDir tmp;
    writeFile(tmp / "outside" / "target", "outside");
    fs::create_directory(tmp / "install");
    fs::create_symlink(tmp / "outside" / "target", tmp / "install" / "Tavro.exe");
    writeFile(tmp / "install" / "Tavro.tmp", "new");
    Platform& platform = systemPlatform();
    const auto text = [&](const char* rel) { return fromUtf8((tmp / rel).string()); };

    platform.keepBackup(text("install/Tavro.exe"), text("install/TavroOld.exe"));
    EXPECT_TRUE(fs::is_symlink(tmp / "install" / "TavroOld.exe"));
    platform.swapIn(text("install/Tavro.tmp"), text("install/Tavro.exe"));
    platform.flushFolder(text("install/Tavro.exe"));
    EXPECT_FALSE(fs::is_symlink(tmp / "install" / "Tavro.exe"));
    EXPECT_EQ(readFile(tmp / "install" / "Tavro.exe"), "new");
    EXPECT_EQ(readFile(tmp / "outside" / "target"), "outside");
}

TEST(KeepBackup, RefusesAnExistingBackupAndUndoes) {
    TempDir tmp;
    writeFile(tmp / "Tavro.exe", "old");
    writeFile(tmp / "TavroOld.exe", "first");
    Platform& platform = systemPlatform();
    const auto text = [&](const char* rel) { return fromUtf8((tmp / rel).string()); };

    EXPECT_THROW(platform.keepBackup(text("Tavro.exe"), text("TavroOld.exe")), PlatformError);
    EXPECT_EQ(readFile(tmp / "TavroOld.exe"), "first");

    fs::remove(tmp / "TavroOld.exe");
    platform.keepBackup(text("Tavro.exe"), text("TavroOld.exe"));
    EXPECT_EQ(readFile(tmp / "TavroOld.exe"), "old");
    EXPECT_EQ(readFile(tmp / "Tavro.exe"), "old") << "the installed name stays in place";
    platform.undoBackup(text("Tavro.exe"), text("TavroOld.exe"));
    EXPECT_FALSE(fs::exists(tmp / "TavroOld.exe"));
    EXPECT_EQ(readFile(tmp / "Tavro.exe"), "old");
}

}  // namespace
}  // namespace tavro::testing
