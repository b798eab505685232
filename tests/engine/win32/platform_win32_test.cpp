// The Win32 platform layer on its own: each operation against the real file
// system, with the Windows error numbers the engine reasons about.
#include "win32_test_support.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <vector>

#include "case_name.h"
#include "file_tests.h"

namespace tavro::testing {
namespace {

namespace fs = std::filesystem;

Platform& platform() {
    return systemPlatform();
}

TEST(Win32Shell, ProgramFilesX86IsTheFolderWindowsNames) {
    std::wstring expected(MAX_PATH, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(L"ProgramFiles(x86)", expected.data(),
                                                   static_cast<DWORD>(expected.size()));
    ASSERT_GT(length, 0u) << "64-bit Windows and Wine both name the folder";
    expected.resize(length);
    EXPECT_EQ(wide(platform().programFilesX86()), expected);
}

TEST(Win32Shell, OwnExecutablePathIsThisProgramsWholePath) {
    const Text own = platform().ownExecutablePath();
    EXPECT_EQ(platform().makeAbsolute(own), own);
    EXPECT_TRUE(fileExists(platform(), own));
    std::wstring name = fs::path(wide(own)).filename().wstring();
    std::transform(name.begin(), name.end(), name.begin(), ::towlower);
    EXPECT_EQ(name, L"engine_tests.exe");
}

struct AttributesCase {
    const char* name;
    const char* path;  // below the temporary folder, which holds "file" and "dir"
    uint32_t error;
    bool directory;
};

class Win32Attributes : public ::testing::TestWithParam<AttributesCase> {};

TEST_P(Win32Attributes, TellKindOrReason) {
    TempDir tmp;
    writeFile(tmp / "file", "x");
    fs::create_directory(tmp / "dir");
    const PathAttributes attrs =
        platform().attributes(text(tmp.path()) + fromUtf8(GetParam().path));
    EXPECT_EQ(attrs.error, GetParam().error);
    EXPECT_EQ(attrs.directory, GetParam().directory);
    EXPECT_FALSE(attrs.link);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Win32Attributes,
    ::testing::Values(AttributesCase{"File", "\\file", winerr::kSuccess, false},
                      AttributesCase{"Folder", "\\dir", winerr::kSuccess, true},
                      AttributesCase{"ForwardSlashes", "/dir", winerr::kSuccess, true},
                      AttributesCase{"Missing", "\\absent", winerr::kFileNotFound, false},
                      AttributesCase{"MissingFolder", "\\absent\\x", winerr::kPathNotFound, false},
                      AttributesCase{"BelowAFile", "\\file\\x", winerr::kPathNotFound, false},
                      AttributesCase{"InvalidName", "\\a<b", winerr::kInvalidName, false}),
    CaseName());

TEST(Win32Paths, MakeAbsoluteNormalisesWithoutTouchingTheDisk) {
    TempDir tmp;
    const Text base = text(tmp.path());
    EXPECT_EQ(platform().makeAbsolute(base + u"\\a\\..\\b\\.\\Tavro.exe"),
              base + u"\\b\\Tavro.exe");
    EXPECT_EQ(platform().makeAbsolute(base + u"/a/Tavro.exe"), base + u"\\a\\Tavro.exe");
    const Text extended = u"\\\\?\\" + base + u"\\" + Text(300, u'p');
    EXPECT_EQ(platform().makeAbsolute(extended), extended) << "no length limit, no rewriting";

    const std::wstring saved = fs::current_path().wstring();
    ASSERT_TRUE(::SetCurrentDirectoryW(wide(base).c_str()));
    const Text relative = platform().makeAbsolute(u"kit\\Tavro.exe");
    ::SetCurrentDirectoryW(saved.c_str());
    EXPECT_EQ(relative, base + u"\\kit\\Tavro.exe");
}

struct SearchCase {
    const char* name;
    const char* path;
    bool found;
};

class Win32Search : public ::testing::TestWithParam<SearchCase> {};

TEST_P(Win32Search, FindsOnlyAFileOfThatName) {
    TempDir tmp;
    writeFile(tmp / "Tavro.exe", "x");
    fs::create_directory(tmp / "dir");
    EXPECT_EQ(platform().searchFindsFile(text(tmp.path()) + fromUtf8(GetParam().path)),
              GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(Cases, Win32Search,
                         ::testing::Values(SearchCase{"File", "\\Tavro.exe", true},
                                           SearchCase{"OtherCase", "\\TAVRO.EXE", true},
                                           SearchCase{"Folder", "\\dir", false},
                                           SearchCase{"Missing", "\\TavroOld.exe", false},
                                           SearchCase{"Star", "\\Tavro*", false},
                                           SearchCase{"Question", "\\Tavro.ex?", false}),
                         CaseName());

TEST(Win32LinkTarget, OpensFilesAndFoldersAsWhatTheyAre) {
    TempDir tmp;
    writeFile(tmp / "file", "x");
    fs::create_directory(tmp / "dir");
    EXPECT_TRUE(platform().linkTargetOpens(text(tmp / "file"), false));
    EXPECT_TRUE(platform().linkTargetOpens(text(tmp / "dir"), true));
    EXPECT_FALSE(platform().linkTargetOpens(text(tmp / "file"), true));
    EXPECT_FALSE(platform().linkTargetOpens(text(tmp / "dir"), false));
    EXPECT_FALSE(platform().linkTargetOpens(text(tmp / "absent"), false));
    EXPECT_FALSE(platform().linkTargetOpens(text(tmp / "absent"), true));
}

TEST(Win32LinkTarget, AFileHeldByAnotherOpenerCountsAsOpened) {
    TempDir tmp;
    writeFile(tmp / "file", "x");
    HANDLE held = ::CreateFileW((tmp / "file").wstring().c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(platform().linkTargetOpens(text(tmp / "file"), false));
    ::CloseHandle(held);
}

TEST(Win32Copy, CopiesIntoANewNameOnly) {
    TempDir tmp;
    writeFile(tmp / "new", "new");
    writeFile(tmp / "taken", "taken");

    platform().copyToNew(text(tmp / "new"), text(tmp / "copy"));
    EXPECT_EQ(readFile(tmp / "copy"), "new");

    EXPECT_EQ(errorOf([&] { platform().copyToNew(text(tmp / "new"), text(tmp / "taken")); }),
              uint32_t{ERROR_FILE_EXISTS});
    EXPECT_EQ(readFile(tmp / "taken"), "taken") << "what was there stays";

    EXPECT_EQ(errorOf([&] { platform().copyToNew(text(tmp / "absent"), text(tmp / "copy2")); }),
              winerr::kFileNotFound);
    EXPECT_FALSE(fs::exists(tmp / "copy2"));

    fs::create_directory(tmp / "dir");
    EXPECT_NE(errorOf([&] { platform().copyToNew(text(tmp / "dir"), text(tmp / "copy3")); }), 0u);
    EXPECT_FALSE(fs::exists(tmp / "copy3"));
}

TEST(Win32Copy, AReadOnlySourceGivesAWritableCopy) {
    TempDir tmp;
    writeFile(tmp / "new", "new");
    ASSERT_TRUE(::SetFileAttributesW((tmp / "new").wstring().c_str(), FILE_ATTRIBUTE_READONLY));
    platform().copyToNew(text(tmp / "new"), text(tmp / "copy"));
    const DWORD attributes = ::GetFileAttributesW((tmp / "copy").wstring().c_str());
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u) << "the next upgrade must replace it";
    ::SetFileAttributesW((tmp / "new").wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32Rename, BackupRefusesToReplaceAndUndoes) {
    TempDir tmp;
    writeFile(tmp / "Tavro.exe", "old");
    const Text installed = text(tmp / "Tavro.exe");
    const Text backup = text(tmp / "TavroOld.exe");

    platform().keepBackup(installed, backup);
    EXPECT_FALSE(fs::exists(tmp / "Tavro.exe"));
    EXPECT_EQ(readFile(tmp / "TavroOld.exe"), "old");

    platform().undoBackup(installed, backup);
    EXPECT_EQ(readFile(tmp / "Tavro.exe"), "old");
    EXPECT_FALSE(fs::exists(tmp / "TavroOld.exe"));

    writeFile(tmp / "TavroOld.exe", "first");
    EXPECT_EQ(errorOf([&] { platform().keepBackup(installed, backup); }), winerr::kAlreadyExists);
    EXPECT_EQ(readFile(tmp / "Tavro.exe"), "old");
    EXPECT_EQ(readFile(tmp / "TavroOld.exe"), "first");
}

TEST(Win32Rename, SwapReplacesAndRemoveDeletes) {
    TempDir tmp;
    writeFile(tmp / "Tavro.exe", "old");
    writeFile(tmp / "Tavro.tmp", "new");
    platform().swapIn(text(tmp / "Tavro.tmp"), text(tmp / "Tavro.exe"));
    EXPECT_EQ(readFile(tmp / "Tavro.exe"), "new");
    EXPECT_FALSE(fs::exists(tmp / "Tavro.tmp"));
    EXPECT_NO_THROW(platform().flushFolder(text(tmp / "Tavro.exe")));

    platform().removeFile(text(tmp / "Tavro.exe"));
    EXPECT_FALSE(fs::exists(tmp / "Tavro.exe"));
    EXPECT_EQ(errorOf([&] { platform().removeFile(text(tmp / "Tavro.exe")); }),
              winerr::kFileNotFound);
}

TEST(Win32CreationTime, IsSetAloneEvenWhileTheFileIsOpenForWriting) {
    TempDir tmp;
    writeFile(tmp / "Tavro.exe", "x");
    const Text file = text(tmp / "Tavro.exe");
    const FileTime wanted{130'000'000'001'234'567ULL};
    const uint64_t written = lastWriteTicks(tmp / "Tavro.exe");

    HANDLE writer =
        ::CreateFileW(wide(file).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_NO_THROW(platform().setCreationTime(file, wanted));
    ::CloseHandle(writer);

    EXPECT_EQ(lastWriteTicks(tmp / "Tavro.exe"), written) << "only the creation time is set";
    if (creationTimesKept()) {
        EXPECT_EQ(platform().creationTime(file), wanted);
    } else {
        // Wine accepts the time and drops it: it reports the last-write time.
        EXPECT_EQ(platform().creationTime(file), FileTime{written});
    }
}

TEST(Win32CreationTime, UnreadableIsZeroAndAMissingFileCannotBeSet) {
    TempDir tmp;
    EXPECT_EQ(platform().creationTime(text(tmp / "absent")), FileTime{});
    EXPECT_EQ(errorOf([&] { platform().setCreationTime(text(tmp / "absent"), FileTime{1}); }),
              winerr::kFileNotFound);
}

// Links, where the system can make them. Wine makes none: it refuses junctions
// and reports success for CreateSymbolicLinkW without creating anything.
bool makeJunction(const fs::path& junction, const fs::path& target) {
    if (!fs::create_directory(junction)) {
        return false;
    }
    HANDLE handle =
        ::CreateFileW(junction.wstring().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::wstring substitute = L"\\??\\" + target.wstring();
    const auto nameBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    // Mount point layout: tag, data length, reserved, then the substitute and
    // (empty) print names, each followed by a NUL.
    std::vector<unsigned char> buffer(8 + 8 + nameBytes + 2 * sizeof(wchar_t), 0);
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    const auto dataLength = static_cast<WORD>(buffer.size() - 8);
    const WORD printOffset = nameBytes + sizeof(wchar_t);
    std::memcpy(&buffer[0], &tag, 4);
    std::memcpy(&buffer[4], &dataLength, 2);
    std::memcpy(&buffer[10], &nameBytes, 2);
    std::memcpy(&buffer[12], &printOffset, 2);
    std::memcpy(&buffer[16], substitute.data(), nameBytes);
    DWORD returned = 0;
    const BOOL made =
        ::DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                          static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
    ::CloseHandle(handle);
    if (!made) {
        fs::remove(junction);
    }
    return made;
}

TEST(Win32Links, AJunctionCountsAsAFolderOnlyWhileItsTargetIsThere) {
    TempDir tmp;
    fs::create_directory(tmp / "real");
    if (!makeJunction(tmp / "junction", tmp / "real")) {
        GTEST_SKIP() << "this system makes no junctions" << (runningUnderWine() ? " (Wine)" : "");
    }
    const Text junction = text(tmp / "junction");
    const PathAttributes attrs = platform().attributes(junction);
    EXPECT_TRUE(attrs.directory);
    EXPECT_TRUE(attrs.link);
    EXPECT_TRUE(directoryExists(platform(), junction));

    fs::remove(tmp / "real");
    EXPECT_FALSE(directoryExists(platform(), junction)) << "dangling";

    platform().removeFile(junction);
    EXPECT_FALSE(fs::exists(fs::symlink_status(tmp / "junction")));
}

TEST(Win32Links, AFileLinkIsFollowedForReadingAndMovedAsALink) {
    TempDir tmp;
    writeFile(tmp / "outside", "outside");
    const fs::path link = tmp / "Tavro.exe";
    const bool made =
        ::CreateSymbolicLinkW(link.wstring().c_str(), (tmp / "outside").wstring().c_str(),
                              SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
        platform().attributes(text(link)).link;
    if (!made) {
        GTEST_SKIP() << "no right to make symbolic links here"
                     << (runningUnderWine() ? " (Wine makes none)" : "");
    }
    const Text linkText = text(link);
    EXPECT_TRUE(fileExists(platform(), linkText));
    platform().setCreationTime(text(tmp / "outside"), FileTime{130'000'000'000'000'000ULL});
    EXPECT_EQ(platform().creationTime(linkText), FileTime{130'000'000'000'000'000ULL})
        << "the time behind the link";

    platform().keepBackup(linkText, text(tmp / "TavroOld.exe"));
    EXPECT_TRUE(platform().attributes(text(tmp / "TavroOld.exe")).link);
    EXPECT_EQ(readFile(tmp / "outside"), "outside");
    platform().removeFile(text(tmp / "TavroOld.exe"));
    EXPECT_EQ(readFile(tmp / "outside"), "outside") << "only the link goes";
}

}  // namespace
}  // namespace tavro::testing
