// The upgrade run by an ordinary user (the tests run as root and drop to
// "nobody") against install folders owned by root.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "case_name.h"
#include "installation.h"

namespace tavro::testing {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

void setMode(const fs::path& path, mode_t mode) {
    ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

struct RightsCase {
    const char* name;
    std::function<void(Installation&)> arrange;
    bool upgraded;
};

class UpgradeAsNobody : public ::testing::TestWithParam<RightsCase> {};

TEST_P(UpgradeAsNobody, FailsAndChangesNothingUnlessItOwnsTheFolder) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "dropping to another user needs root";
    }
    Installation inst;
    GetParam().arrange(inst);
    const std::string before = describeFolder(inst.installDir());

    const ChildResult run =
        inst.run({TAVRO_SETPRIV, "--reuid=65534", "--regid=65534", "--clear-groups", "--"});

    ASSERT_TRUE(run.exited) << run.describe();
    if (GetParam().upgraded) {
        EXPECT_EQ(run.exitCode, 0) << run.describe();
        EXPECT_EQ(run.outLines(), successLines());
        EXPECT_EQ(describeFolder(inst.installDir()), "Tavro.exe=new TavroOld.exe=old");
        return;
    }
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_EQ(run.outLines(), failureLines());
    EXPECT_EQ(describeFolder(inst.installDir()), before);
}

const RightsCase kRightsCases[] = {
    {"FolderOwnedByRoot", [](Installation&) {}, false},
    {"FolderOwnedByRootWithABackup",
     [](Installation& inst) { inst.install("TavroOld.exe", "first"); }, false},
    {"FolderNotSearchable", [](Installation& inst) { setMode(inst.installDir(), 0700); }, false},
    {"MakerFolderNotSearchable",
     [](Installation& inst) { setMode(inst.installDir().parent_path(), 0700); }, false},
    // In a sticky folder anyone may create files but only replace their own.
    {"StickyFolderWithRootsExecutable",
     [](Installation& inst) { setMode(inst.installDir(), 01777); }, false},
    // Writable by all, so the kernel lets anyone link it as the backup; the
    // sticky folder still forbids replacing it, and removing that link again.
    {"StickyFolderWithAWorldWritableExecutable",
     [](Installation& inst) {
         setMode(inst.installDir(), 01777);
         setMode(inst.installDir() / "Tavro.exe", 0666);
     },
     false},
    // Control: the same run upgrades a folder the user owns.
    {"FolderOwnedByTheUser",
     [](Installation& inst) {
         ASSERT_EQ(::chown(inst.installDir().c_str(), kNobody, kNobody), 0);
         ASSERT_EQ(::chown((inst.installDir() / "Tavro.exe").c_str(), kNobody, kNobody), 0);
     },
     true},
    // The kernel refuses the user a second name for root's file, so the backup
    // is made as a copy; the folder is the user's, so the swap may replace it.
    {"FolderOwnedByTheUserExecutableByRoot",
     [](Installation& inst) { ASSERT_EQ(::chown(inst.installDir().c_str(), kNobody, kNobody), 0); },
     true},
};

INSTANTIATE_TEST_SUITE_P(UserWithoutRights, UpgradeAsNobody, ::testing::ValuesIn(kRightsCases),
                         CaseName());

}  // namespace
}  // namespace tavro::testing
