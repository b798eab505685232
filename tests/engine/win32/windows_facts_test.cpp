// What Windows does that shapes the upgrade, shown on the real system: a running
// executable can be renamed but not overwritten; tunnelling hands a name's old
// creation time to a file that takes the name within 15 seconds; paths of 260
// units or more work only in the extended-length form.
#include "transfer.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "case_name.h"
#include "platform_decorator.h"
#include "upgrade_fixture.h"
#include "win32_test_support.h"

namespace tavro::testing {
namespace {

namespace fs = std::filesystem;

// Far from any time a file of this run could be given by the system.
constexpr FileTime kOldTime{120'000'000'000'000'000ULL};

std::string names(const fs::path& folder) {
    std::string out;
    for (const auto& entry : fs::directory_iterator(folder)) {
        out += entry.path().filename().string() + "\n";
    }
    return out;
}

// ---- A running executable

struct RunningCase {
    const char* name;
    bool backupBefore;  // "TavroOld.exe" holds "first" before the upgrade
    bool swapFails;     // the swap is refused after the backup was made
    bool result;
    const char* installed;  // what "Tavro.exe" holds afterwards: "new" or "product"
    const char* backup;     // what "TavroOld.exe" holds afterwards; "" = absent
};

class RefusedSwap : public PlatformDecorator {
  public:
    void swapIn(const Text&, const Text&) override {
        throw PlatformError(winerr::kAccessDenied, "Replacing the installed executable");
    }
};

class RunningProduct : public UpgradeFixture, public ::testing::WithParamInterface<RunningCase> {
  protected:
    void SetUp() override {
        UpgradeFixture::SetUp();
        fs::create_directories(installDir);
        fs::copy_file(idleProgram(), installDir / "Tavro.exe");
        product = readFile(installDir / "Tavro.exe");
        writeSource();
    }
    std::string content(const char* what) const {
        return what == std::string("product") ? product : what;
    }

    std::string product;
};

TEST_F(RunningProduct, CanBeRenamedButNotOverwritten) {
    RunningProgram running(installDir / "Tavro.exe");
    Platform& platform = systemPlatform();
    const Text installed = text(installDir / "Tavro.exe");
    const Text fresh = text(installDir / "Tavro.tmp");
    platform.copyToNew(text(source()), fresh);

    EXPECT_EQ(errorOf([&] { platform.swapIn(fresh, installed); }), winerr::kAccessDenied);
    EXPECT_FALSE(::CopyFileW(source().wstring().c_str(), wide(installed).c_str(), FALSE));
    EXPECT_EQ(::GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
    EXPECT_EQ(readFile(installDir / "Tavro.exe"), product);

    platform.keepBackup(installed, text(installDir / "TavroOld.exe"));
    platform.swapIn(fresh, installed);
    EXPECT_EQ(readFile(installDir / "Tavro.exe"), "new");
    EXPECT_EQ(readFile(installDir / "TavroOld.exe"), product);
}

TEST_P(RunningProduct, UpgradeProceedsOrLeavesTheFolderAsItWas) {
    const RunningCase& c = GetParam();
    if (c.backupBefore) {
        install("TavroOld.exe", "first");
    }
    RunningProgram running(installDir / "Tavro.exe");
    RefusedSwap refusing;
    Platform& platform = c.swapFails ? static_cast<Platform&>(refusing) : systemPlatform();

    VectorLog sink(log);
    EXPECT_EQ(TransferNewFiles(record, platform, sink), c.result);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(readFile(installDir / "Tavro.exe"), content(c.installed));
    EXPECT_EQ(names(installDir), *c.backup ? "Tavro.exe\nTavroOld.exe\n" : "Tavro.exe\n")
        << "no copy is left behind";
    if (*c.backup) {
        EXPECT_EQ(readFile(installDir / "TavroOld.exe"), content(c.backup));
    }
    if (c.result) {
        EXPECT_EQ(installedTime(), upgradedTime());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunningProduct,
    ::testing::Values(RunningCase{"FirstUpgrade", false, false, true, "new", "product"},
                      RunningCase{"BackupAlreadyKept", true, false, false, "product", "first"},
                      RunningCase{"SwapRefusedPutsTheBackupBack", false, true, false, "product",
                                  ""}),
    CaseName());

// ---- Tunnelling

TEST_F(UpgradeFixture, TunnellingGivesATakenOverNameItsOldCreationTime) {
    Platform& platform = systemPlatform();
    fs::create_directories(installDir);
    install("Tavro.exe", "old");
    platform.setCreationTime(text(installDir / "Tavro.exe"), kOldTime);
    install("Tavro.tmp", "new");
    const FileTime freshTime = platform.creationTime(text(installDir / "Tavro.tmp"));

    platform.keepBackup(text(installDir / "Tavro.exe"), text(installDir / "TavroOld.exe"));
    platform.swapIn(text(installDir / "Tavro.tmp"), text(installDir / "Tavro.exe"));

    if (runningUnderWine()) {
        // Wine has no tunnelling: the file keeps what it reported before.
        EXPECT_EQ(installedTime(), freshTime);
    } else {
        EXPECT_EQ(installedTime(), kOldTime)
            << "expected unless tunnelling is switched off (MaximumTunnelEntries = 0)";
    }
}

// Which calls the upgrade makes that change the disk or touch the installed
// executable's creation time, in order.
class RecordingPlatform : public PlatformDecorator {
  public:
    explicit RecordingPlatform(Text installed) : installed_(std::move(installed)) {}
    void copyToNew(const Text& s, const Text& d) override {
        calls.push_back("copyToNew");
        PlatformDecorator::copyToNew(s, d);
    }
    void keepBackup(const Text& i, const Text& b) override {
        calls.push_back("keepBackup");
        PlatformDecorator::keepBackup(i, b);
    }
    void swapIn(const Text& f, const Text& i) override {
        calls.push_back("swapIn");
        PlatformDecorator::swapIn(f, i);
    }
    void flushFolder(const Text& p) override {
        calls.push_back("flushFolder");
        PlatformDecorator::flushFolder(p);
    }
    FileTime creationTime(const Text& p) override {
        if (p == installed_) {
            calls.push_back("creationTime");
        }
        return PlatformDecorator::creationTime(p);
    }
    void setCreationTime(const Text& p, FileTime t) override {
        calls.push_back(p == installed_ ? "setCreationTime" : "setCreationTime elsewhere");
        PlatformDecorator::setCreationTime(p, t);
    }

    std::vector<std::string> calls;

  private:
    Text installed_;
};

TEST_F(UpgradeFixture, TheSourceTimeIsSetAfterTheSwapSoTunnellingCannotUndoIt) {
    fs::create_directories(installDir);
    install("Tavro.exe", "old");
    systemPlatform().setCreationTime(text(installDir / "Tavro.exe"), kOldTime);
    writeSource();

    RecordingPlatform recording(record.TavroExeName);
    VectorLog sink(log);
    EXPECT_TRUE(TransferNewFiles(record, recording, sink));
    EXPECT_EQ(recording.calls,
              (std::vector<std::string>{"copyToNew", "keepBackup", "swapIn", "flushFolder",
                                        "setCreationTime", "creationTime"}));
    EXPECT_EQ(installedTime(), upgradedTime());
    EXPECT_NE(installedTime(), kOldTime);
}

// ---- Paths of 260 units or more

constexpr const wchar_t* kExtendedPrefix = L"\\\\?\\";

void makeFoldersExtended(const fs::path& base, const fs::path& below) {
    fs::path folder = base;
    for (const auto& part : below) {
        folder /= part;
        const std::wstring extended = kExtendedPrefix + folder.wstring();
        if (!::CreateDirectoryW(extended.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            throw PlatformError(::GetLastError(), "Creating a deep folder");
        }
    }
}

void writeFileExtended(const fs::path& file, const std::string& content) {
    HANDLE handle = ::CreateFileW((kExtendedPrefix + file.wstring()).c_str(), GENERIC_WRITE, 0,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw PlatformError(::GetLastError(), "Writing a deep file");
    }
    DWORD written = 0;
    ::WriteFile(handle, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(handle);
}

// Windows' own removal reaches below 260 units only in the extended form.
void removeTreeExtended(const std::wstring& extended) {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((extended + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = extended + L"\\" + name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                removeTreeExtended(child);
            } else {
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(extended.c_str());
}

class LongPath : public UpgradeFixture {
  protected:
    // A kit whose new executable's path is 300 units long.
    void SetUp() override {
        UpgradeFixture::SetUp();
        const size_t below = std::string("\\TavroUpdateFiles\\V\\Tavro.exe").size();
        // Folders of at most 60 units, each with its separator, fill the rest.
        fs::path deep;
        size_t rest = 300 - below - text(tmp.path()).size();
        while (rest > 0) {
            const size_t part = rest <= 61 ? rest - 1 : std::min<size_t>(60, rest - 3);
            deep /= std::string(part, 'p');
            rest -= part + 1;
        }
        useKitFolder(tmp.path() / deep);
        makeFoldersExtended(tmp.path(), deep / "TavroUpdateFiles" / "V");
        writeFileExtended(source(), "new");
        systemPlatform().setCreationTime(kExtendedPrefix16 + text(source()), kSourceTime);
        deepRoot = kExtendedPrefix + (tmp.path() / *deep.begin()).wstring();
        fs::create_directories(installDir);
        install("Tavro.exe", "old");
    }
    void TearDown() override { removeTreeExtended(deepRoot); }

    static inline const Text kExtendedPrefix16 = u"\\\\?\\";
    std::wstring deepRoot;
};

TEST_F(LongPath, ReachesTheFileOnlyInExtendedForm) {
    ASSERT_EQ(text(source()).size(), 300u);
    const PathAttributes plain = systemPlatform().attributes(text(source()));
    const PathAttributes extended = systemPlatform().attributes(kExtendedPrefix16 + text(source()));
    EXPECT_EQ(extended.error, winerr::kSuccess);
    if (runningUnderWine()) {
        // Wine knows no length limit for plain paths.
        EXPECT_EQ(plain.error, winerr::kSuccess);
    } else {
        EXPECT_TRUE(plain.error == winerr::kPathNotFound ||
                    plain.error == winerr::kFilenameExcedRange)
            << "error " << plain.error
            << "; a long-path-aware program on a system that enables long paths would pass";
    }
}

TEST_F(LongPath, AnUpgradeTakesALongSourcePathOnlyInExtendedForm) {
    VectorLog sink(log);
    const std::string before = snapshot(installDir);
    EXPECT_FALSE(TransferNewFiles(record, systemPlatform(), sink)) << "refused on every system";
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(snapshot(installDir), before);

    record.FilesPath = kExtendedPrefix16 + record.FilesPath;
    EXPECT_TRUE(TransferNewFiles(record, systemPlatform(), sink));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(snapshot(installDir), "Tavro.exe=new\nTavroOld.exe=old\n");
    EXPECT_EQ(installedTime(), creationTimesKept() ? kSourceTimeMs
                                                   : systemPlatform().creationTime(
                                                         kExtendedPrefix16 + text(source())));
}

}  // namespace
}  // namespace tavro::testing
