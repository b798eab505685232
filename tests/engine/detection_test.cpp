#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>
#include <ostream>

#include "case_name.h"

#include "detection.h"
#include "detection_fixture.h"
#include "fake_window.h"
#include "file_tests.h"

namespace tavro::testing {
namespace {

namespace fs = std::filesystem;

struct OutcomeCase {
    const char* name;
    bool firstInstalled;
    bool secondInstalled;
    std::array<bool, 2> visible;
    std::array<bool, 2> checked;
    std::optional<ProductRow> selected;
    bool upgradeEnabled;
    friend void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name; }
};

class DetectionOutcome : public DetectionFixture,
                         public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(DetectionOutcome, SetsRecordAndWindow) {
    const OutcomeCase& c = GetParam();
    if (c.firstInstalled) {
        fs::create_directories(productFolder(ProductRow::VintaPrell));
    }
    if (c.secondInstalled) {
        fs::create_directories(productFolder(ProductRow::UlvoDamar));
    }
    FakeWindow window(record, platform);
    runStartupDetection(record, platform, window);

    EXPECT_EQ(record.AppDir, text(kit()) + kPathSeparator);
    EXPECT_EQ(record.FilesPath, text(kit() / "TavroUpdateFiles"));
    ASSERT_FALSE(window.log.empty());
    EXPECT_EQ(window.log, std::vector<Text>{u"Source Files: " + text(kit() / "TavroUpdateFiles")});
    EXPECT_EQ(window.visible, c.visible);
    EXPECT_EQ(window.checked, c.checked);
    EXPECT_EQ(window.upgradeEnabled, c.upgradeEnabled);

    if (c.selected) {
        const fs::path folder = productFolder(*c.selected);
        EXPECT_EQ(record.AppName, productInfo(*c.selected).folderName);
        EXPECT_EQ(record.WindowsX86FilesPath, text(folder));
        EXPECT_EQ(record.TavroExeName, text(folder / "Tavro.exe"));
        EXPECT_EQ(record.TavroRenamed, text(folder / "TavroOld.exe"));
        EXPECT_EQ(record.Product, (Text{kPathSeparator, productInfo(*c.selected).sourceCode}));
        EXPECT_TRUE(window.messages.empty());
        EXPECT_FALSE(window.terminated);
    } else {
        EXPECT_TRUE(record.TavroExeName.empty());
        EXPECT_TRUE(record.TavroRenamed.empty());
        EXPECT_TRUE(record.Product.empty());
        EXPECT_EQ(window.messages,
                  std::vector<Text>{u"No Ostrel Products Found.  Program will Exit."});
        EXPECT_TRUE(window.terminated);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Products, DetectionOutcome,
    ::testing::Values(
        OutcomeCase{
            "FirstOnly", true, false, {true, false}, {true, false}, ProductRow::VintaPrell, true},
        OutcomeCase{"Both", true, true, {true, true}, {true, false}, ProductRow::VintaPrell, true},
        OutcomeCase{
            "SecondOnly", false, true, {false, true}, {false, true}, ProductRow::UlvoDamar, true},
        OutcomeCase{"None", false, false, {false, false}, {true, false}, std::nullopt, false}),
    CaseName());

TEST_F(DetectionFixture, SecondOnlyRaisesTheClickHandlerOnce) {
    fs::create_directories(productFolder(ProductRow::UlvoDamar));
    FakeWindow window(record, platform);
    detectProducts(record, platform, window);
    EXPECT_EQ(window.clickHandlerRuns, 1);
    EXPECT_EQ(record.WindowsX86FilesPath, text(productFolder(ProductRow::UlvoDamar)));
}

#ifndef _WIN32
// POSIX links; the Windows layer's links are tested in win32/.
// A product folder is judged through links, as the directory test defines.
struct LinkCase {
    const char* name;
    void (*make)(const fs::path& folder, const fs::path& scratch);
    bool present;
    friend void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }
};

class ProductFolderLink : public DetectionFixture,
                          public ::testing::WithParamInterface<LinkCase> {};

TEST_P(ProductFolderLink, CountsOnlyWhenItLeadsToADirectory) {
    GetParam().make(productFolder(ProductRow::VintaPrell), tmp.path());
    record.AppName = u"Vinta-Prell";
    EXPECT_EQ(CheckForTavro(record, platform), GetParam().present);
    EXPECT_EQ(record.WindowsX86FilesPath, text(productFolder(ProductRow::VintaPrell)));
}

INSTANTIATE_TEST_SUITE_P(
    Links, ProductFolderLink,
    ::testing::Values(
        LinkCase{"ToDirectory",
                 [](const fs::path& f, const fs::path& s) {
                     fs::create_directories(s / "real");
                     fs::create_directory_symlink(s / "real", f);
                 },
                 true},
        LinkCase{"Dangling",
                 [](const fs::path& f, const fs::path& s) {
                     fs::create_directory_symlink(s / "nowhere", f);
                 },
                 false},
        LinkCase{"ToFile",
                 [](const fs::path& f, const fs::path& s) {
                     writeFile(s / "plain", "x");
                     fs::create_symlink(s / "plain", f);
                 },
                 false},
        LinkCase{"PlainFile", [](const fs::path& f, const fs::path&) { writeFile(f, "x"); }, false},
        LinkCase{"LinkToLinkToDirectory",
                 [](const fs::path& f, const fs::path& s) {
                     fs::create_directories(s / "real");
                     fs::create_directory_symlink(s / "real", s / "hop");
                     fs::create_directory_symlink(s / "hop", f);
                 },
                 true}),
    CaseName());
#endif

// Attributes that cannot be read count as present unless the reason means absent.
class RefusingPlatform : public PlatformDecorator {
  public:
    explicit RefusingPlatform(uint32_t code) : code_(code) {}
    PathAttributes attributes(const Text&) override { return PathAttributes{code_, false, false}; }

  private:
    uint32_t code_;
};

TEST(DirectoryTest, UnreadableAttributesCountAsPresentUnlessTheReasonMeansAbsent) {
    const std::vector<std::pair<uint32_t, bool>> cases = {
        {winerr::kFileNotFound, false}, {winerr::kPathNotFound, false},
        {winerr::kNotReady, false},     {winerr::kBadNetPath, false},
        {winerr::kBadNetName, false},   {winerr::kInvalidName, false},
        {winerr::kBadPathName, false},  {winerr::kAccessDenied, true},
        {winerr::kIoDevice, true},      {winerr::kSharingViolation, true},
    };
    for (const auto& [code, present] : cases) {
        RefusingPlatform platform(code);
        EXPECT_EQ(directoryExists(platform, u"/any"), present) << "error " << code;
    }
}

#ifndef _WIN32
// Runs `probe` as an ordinary user: in a child that drops root's rights when
// the tests run as root, so that permissions apply.
int probeAsOrdinaryUser(const std::function<int()>& probe) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(90);
        }
        ::_exit(probe());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST_F(DetectionFixture, FolderUnderAParentThatCannotBeSearchedIsPresent) {
    fs::create_directories(productFolder(ProductRow::VintaPrell));
    fs::permissions(tmp.path(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    fs::permissions(maker(),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    const int answers = probeAsOrdinaryUser([&] {
        record.AppName = u"Vinta-Prell";
        const bool installed = CheckForTavro(record, platform);
        record.AppName = u"No-Such-Product";
        const bool unknown = CheckForTavro(record, platform);
        return (installed ? 1 : 0) | (unknown ? 2 : 0);
    });
    EXPECT_EQ(answers, 3) << "access denied counts as present, whatever is behind it";
}
#endif

TEST_F(DetectionFixture, RetargetingMovesTheWholeRecordBackAndForth) {
    fs::create_directories(productFolder(ProductRow::VintaPrell));
    fs::create_directories(productFolder(ProductRow::UlvoDamar));
    FakeWindow window(record, platform);
    detectProducts(record, platform, window);

    for (int round = 0; round < 2; ++round) {
        window.setRadioChecked(ProductRow::UlvoDamar);
        EXPECT_EQ(record.AppName, u"Ulvo-Damar");
        EXPECT_EQ(record.WindowsX86FilesPath, text(productFolder(ProductRow::UlvoDamar)));
        EXPECT_EQ(record.TavroExeName, text(productFolder(ProductRow::UlvoDamar) / "Tavro.exe"));
        EXPECT_EQ(record.TavroRenamed, text(productFolder(ProductRow::UlvoDamar) / "TavroOld.exe"));
        EXPECT_EQ(record.Product, (Text{kPathSeparator, u'U'}));

        window.setRadioChecked(ProductRow::VintaPrell);
        EXPECT_EQ(record.AppName, u"Vinta-Prell");
        EXPECT_EQ(record.WindowsX86FilesPath, text(productFolder(ProductRow::VintaPrell)));
        EXPECT_EQ(record.TavroExeName, text(productFolder(ProductRow::VintaPrell) / "Tavro.exe"));
        EXPECT_EQ(record.Product, (Text{kPathSeparator, u'V'}));
    }
    EXPECT_TRUE(window.upgradeEnabled);
    EXPECT_EQ(window.visible, (std::array<bool, 2>{true, true}));
}

TEST_F(DetectionFixture, RetargetingToAFolderDeletedAfterStartKeepsTheSelection) {
    fs::create_directories(productFolder(ProductRow::VintaPrell));
    fs::create_directories(productFolder(ProductRow::UlvoDamar));
    FakeWindow window(record, platform);
    detectProducts(record, platform, window);
    const TargetRecord before = record;

    fs::remove(productFolder(ProductRow::UlvoDamar));
    window.setRadioChecked(ProductRow::UlvoDamar);

    EXPECT_EQ(record.AppName, u"Ulvo-Damar");
    EXPECT_EQ(record.WindowsX86FilesPath, text(productFolder(ProductRow::UlvoDamar)));
    EXPECT_EQ(record.TavroExeName, before.TavroExeName);
    EXPECT_EQ(record.TavroRenamed, before.TavroRenamed);
    EXPECT_EQ(record.Product, (Text{kPathSeparator, u'V'}));
    EXPECT_EQ(window.visible, (std::array<bool, 2>{true, true}));
    EXPECT_TRUE(window.upgradeEnabled);
}

// A failure ends detection where it is; its message reaches the window.
class FailingLookupPlatform : public PlacedPlatform {
  public:
    using PlacedPlatform::PlacedPlatform;
    Text programFilesX86() override {
        throw PlatformError(winerr::kNotEnoughMemory, "Finding the Program Files folder");
    }
};

TEST_F(DetectionFixture, FailureEndsDetectionWhereItIsAndShowsItsMessage) {
    FailingLookupPlatform failing(text(kit() / "TavroUpdate0075a"));
    FakeWindow window(record, failing);
    runStartupDetection(record, failing, window);

    EXPECT_EQ(window.log.size(), 1u) << "the Source Files line was already written";
    EXPECT_FALSE(window.upgradeEnabled) << "step 4 had disabled it";
    EXPECT_EQ(window.visible, (std::array<bool, 2>{true, true})) << "no probe finished";
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_NE(toUtf8(window.messages[0]).find("Finding the Program Files folder"),
              std::string::npos);
    EXPECT_FALSE(window.terminated);
    EXPECT_EQ(record.AppName, u"Vinta-Prell");
    EXPECT_TRUE(record.WindowsX86FilesPath.empty());
}

}  // namespace
}  // namespace tavro::testing
