#include "transfer.h"

#include <gtest/gtest.h>

#include <ostream>

#include "case_name.h"

#include <filesystem>
#include <functional>

#include "platform_decorator.h"
#include "upgrade_fixture.h"

namespace tavro::testing {
namespace {

namespace fs = std::filesystem;

// A folder under `base` whose name makes `base/<name>/<below>` exactly `length` long.
fs::path folderForLength(const fs::path& base, const std::string& below, size_t length) {
    const size_t fixed = base.string().size() + 2 + below.size();
    return base / std::string(length - fixed, 'p');
}
fs::path folderForExecutableLength(const fs::path& base, size_t length) {
    return folderForLength(base, "Tavro.exe", length);
}

struct UpgradeCase {
    const char* name;
    std::function<void(UpgradeFixture&)> arrange;
    bool result;
    std::vector<std::string> logPrefix;  // each line starts with this ("" = empty line)
    std::string after;                   // install folder afterwards; "unchanged" = as before
    friend void PrintTo(const UpgradeCase& c, std::ostream* os) { *os << c.name; }
};

class Upgrade : public UpgradeFixture, public ::testing::WithParamInterface<UpgradeCase> {};

TEST_P(Upgrade, LeavesTheFolderAsTheRulesSay) {
    const UpgradeCase& c = GetParam();
    fs::create_directories(installDir);
    writeSource();
    c.arrange(*this);
    const std::string before = fs::exists(tmp.path() / "pf") ? snapshot(tmp.path() / "pf") : "";

    VectorLog sink(log);
    EXPECT_EQ(TransferNewFiles(record, systemPlatform(), sink), c.result);

    ASSERT_EQ(log.size(), c.logPrefix.size());
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_TRUE(toUtf8(log[i]).starts_with(c.logPrefix[i])) << toUtf8(log[i]);
    }
    if (c.after == "unchanged") {
        EXPECT_EQ(fs::exists(tmp.path() / "pf") ? snapshot(tmp.path() / "pf") : "", before);
    } else {
        EXPECT_EQ(snapshot(installDir), c.after);
    }
    if (c.result) {
        EXPECT_EQ(installedTime(), upgradedTime());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Upgrade,
    ::testing::Values(
        UpgradeCase{"FirstUpgrade",
                    [](UpgradeFixture& f) { f.install("Tavro.exe", "old"); },
                    true,
                    {},
                    "Tavro.exe=new\nTavroOld.exe=old\n"},
        UpgradeCase{"SecondUpgradeKeepsFirstBackup",
                    [](UpgradeFixture& f) {
                        f.install("Tavro.exe", "second");
                        f.install("TavroOld.exe", "first");
                    },
                    true,
                    {},
                    "Tavro.exe=new\nTavroOld.exe=first\n"},
        UpgradeCase{"NoInstalledExecutable", [](UpgradeFixture&) {}, true, {}, "Tavro.exe=new\n"},
        UpgradeCase{"LeftoverCopyFromAKilledRun",
                    [](UpgradeFixture& f) {
                        f.install("Tavro.exe", "old");
                        f.install("Tavro.tmp", "half");
                    },
                    true,
                    {},
                    "Tavro.exe=new\nTavroOld.exe=old\n"},
        UpgradeCase{"SourceMissing",
                    [](UpgradeFixture& f) {
                        f.install("Tavro.exe", "old");
                        fs::remove(f.kitDir / "TavroUpdateFiles" / "V" / "Tavro.exe");
                    },
                    false,
                    {},
                    "unchanged"},
        UpgradeCase{"SourceIsADirectory",
                    [](UpgradeFixture& f) {
                        f.install("Tavro.exe", "old");
                        const fs::path src = f.kitDir / "TavroUpdateFiles" / "V" / "Tavro.exe";
                        fs::remove(src);
                        fs::create_directory(src);
                    },
                    false,
                    {},
                    "unchanged"},
        UpgradeCase{"InstallFolderRemovedAfterStart",
                    [](UpgradeFixture& f) { fs::remove_all(f.installDir); },
                    false,
                    {"Directory Missing: "},
                    "unchanged"},
        UpgradeCase{"InstallFolderIsAFile",
                    [](UpgradeFixture& f) {
                        fs::remove_all(f.installDir);
                        writeFile(f.installDir, "x");
                    },
                    false,
                    {"Directory Missing: "},
                    "unchanged"},
        UpgradeCase{"SourcePathOf260",
                    [](UpgradeFixture& f) {
                        const fs::path deep =
                            folderForLength(f.tmp.path(), "TavroUpdateFiles/V/Tavro.exe", 260);
                        f.useKitFolder(deep);
                        f.writeSource();
                        f.install("Tavro.exe", "old");
                    },
                    false,
                    {},
                    "unchanged"},
        UpgradeCase{"InstalledPathOf257",
                    [](UpgradeFixture& f) {
                        f.useInstallFolder(folderForExecutableLength(f.tmp.path() / "pf", 257));
                        f.install("Tavro.exe", "old");
                    },
                    true,
                    {},
                    "Tavro.exe=new\n"},
        UpgradeCase{"InstalledPathOf259",
                    [](UpgradeFixture& f) {
                        f.useInstallFolder(folderForExecutableLength(f.tmp.path() / "pf", 259));
                        f.install("Tavro.exe", "old");
                    },
                    true,
                    {},
                    "Tavro.exe=new\n"},
        UpgradeCase{"InstalledPathOf256StillBacksUp",
                    [](UpgradeFixture& f) {
                        f.useInstallFolder(folderForExecutableLength(f.tmp.path() / "pf", 256));
                        f.install("Tavro.exe", "old");
                    },
                    true,
                    {},
                    "Tavro.exe=new\nTavroOld.exe=old\n"},
        UpgradeCase{"InstalledPathOf260",
                    [](UpgradeFixture& f) {
                        f.useInstallFolder(folderForExecutableLength(f.tmp.path() / "pf", 260));
                        f.install("Tavro.exe", "old");
                    },
                    false,
                    {},
                    "unchanged"},
        UpgradeCase{"NamesWithSpacesAndNonAscii",
                    [](UpgradeFixture& f) {
                        f.useInstallFolder(f.tmp.path() / "pf" / "Ostrel Indüstries" /
                                           "Vinta-Prell 日本");
                        f.useKitFolder(f.tmp.path() / "kit ñ");
                        f.writeSource();
                        f.install("Tavro.exe", "old");
                    },
                    true,
                    {},
                    "Tavro.exe=new\nTavroOld.exe=old\n"}),
    CaseName());

#ifndef _WIN32
// These links are POSIX symbolic links. The Windows runtime here makes none, and
// Wine makes no Windows links at all; the Windows layer's link handling is
// tested in win32/ where the system can make links.

// Links in the install folder never lead to a write outside it.
TEST_F(UpgradeFixture, LinksAreReplacedNeverWrittenThrough) {
    writeSource();
    writeFile(tmp / "outside" / "exe", "outside-exe");
    writeFile(tmp / "outside" / "tmp", "outside-tmp");
    fs::create_directories(installDir);
    fs::create_symlink(tmp / "outside" / "exe", installDir / "Tavro.exe");
    fs::create_symlink(tmp / "outside" / "tmp", installDir / "Tavro.tmp");
    const std::string outside = snapshot(tmp / "outside");

    VectorLog sink(log);
    EXPECT_TRUE(TransferNewFiles(record, systemPlatform(), sink));
    EXPECT_EQ(snapshot(tmp / "outside"), outside);
    EXPECT_EQ(snapshot(installDir),
              "Tavro.exe=new\nTavroOld.exe->" + (tmp / "outside" / "exe").string() + "\n");
}

TEST_F(UpgradeFixture, ABackupLinkIsNeverReplacedOrWrittenThrough) {
    writeSource();
    fs::create_directories(installDir);
    install("Tavro.exe", "old");
    fs::create_symlink(tmp / "nowhere", installDir / "TavroOld.exe");

    VectorLog sink(log);
    EXPECT_TRUE(TransferNewFiles(record, systemPlatform(), sink));
    EXPECT_FALSE(fs::exists(tmp / "nowhere"));
    EXPECT_EQ(snapshot(installDir),
              "Tavro.exe=new\nTavroOld.exe->" + (tmp / "nowhere").string() + "\n");
}
#endif

// The new executable is in place but its time cannot be kept, as on a file
// system without user attributes.
class NoAttributesPlatform : public PlatformDecorator {
  public:
    void setCreationTime(const Text&, FileTime) override {
        throw PlatformError(winerr::kNotSupported, "Setting the creation time");
    }
};

TEST_F(UpgradeFixture, UnsetCreationTimeIsAProblemWriting) {
    writeSource();
    fs::create_directories(installDir);
    install("Tavro.exe", "old");
    NoAttributesPlatform platform;
    VectorLog sink(log);
    // Wine reports the last-write time, which the copy carried over, as the
    // creation time: there verification cannot tell that none was set.
    const bool noticed = creationTimesKept();
    EXPECT_EQ(TransferNewFiles(record, platform, sink), !noticed);
    EXPECT_EQ(log, noticed ? std::vector<Text>{u"Problem Writing " + record.TavroExeName}
                           : std::vector<Text>{});
    EXPECT_EQ(snapshot(installDir), "Tavro.exe=new\nTavroOld.exe=old\n");
}

TEST_F(UpgradeFixture, RetargetedToAMissingFolderReportsThatFolder) {
    writeSource();
    fs::create_directories(installDir);
    install("Tavro.exe", "old");
    record.AppName = u"Ulvo-Damar";
    record.WindowsX86FilesPath = text(tmp / "pf" / "Ostrel Industries" / "Ulvo-Damar");
    const std::string before = snapshot(tmp / "pf");

    VectorLog sink(log);
    EXPECT_FALSE(TransferNewFiles(record, systemPlatform(), sink));
    EXPECT_EQ(log, std::vector<Text>{u"Directory Missing: " + record.WindowsX86FilesPath});
    EXPECT_EQ(snapshot(tmp / "pf"), before);
}

}  // namespace
}  // namespace tavro::testing
