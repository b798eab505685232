// Links, odd names and odd kinds of file around the kit and the install: each
// run gets the outcome the upgrade rules give, and its strace log proves that
// nothing outside the install folder was created, written, renamed, linked,
// removed or given attributes.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "case_name.h"
#include "installation.h"
#include "strace_log.h"
#include "temp_dir.h"

namespace tavro::testing {
namespace {

namespace fs = std::filesystem;

enum class Outcome {
    Upgraded,   // "Tavro Update Successful."
    Failed,     // the three failure lines, the folder as it was
    NoProduct,  // detection finds nothing to upgrade: message, no upgrade run
};

struct OddInputCase {
    const char* name;
    std::function<void(Installation&)> arrange;
    Outcome outcome;
    // The install folder afterwards; "{outside}" stands for the folder of link targets.
    std::string after;
};

const std::string kUnchanged = "unchanged";

// Moves the prefix so that the installed executable's path is `units` UTF-16
// code units long, filling with `fill` (one code unit) in folders short enough
// for any file system.
void installedPathOf(Installation& inst, size_t units, const std::string& fill = "p") {
    const std::string suffix =
        "/drive_c/Program Files (x86)/Ostrel Industries/Vinta-Prell/Tavro.exe";
    const size_t fixed = fromUtf8(inst.root().string() + "/" + suffix).size();
    ASSERT_LT(fixed, units) << "the temporary folder's path is too long for this case";
    constexpr size_t kFolderUnits = 60;
    std::string name;
    size_t left = units - fixed;
    for (; left > kFolderUnits + 1; left -= kFolderUnits + 1) {
        for (size_t i = 0; i < kFolderUnits; ++i) {
            name += fill;
        }
        name += "/";
    }
    for (; left > 0; --left) {
        name += fill;
    }
    inst.usePrefix(inst.root() / name);
    inst.install("Tavro.exe", "old");
    ASSERT_EQ(fromUtf8((inst.installDir() / "Tavro.exe").string()).size(), units);
}

void moveKit(Installation& inst, const std::string& name) {
    inst.placeKit(inst.root() / name);
}

void movePrefix(Installation& inst, const std::string& name) {
    inst.usePrefix(inst.root() / name);
    inst.install("Tavro.exe", "old");
}

void replaceWithLink(const fs::path& path, const fs::path& target) {
    fs::remove_all(path);
    fs::create_symlink(target, path);
}

const OddInputCase kOddInputCases[] = {
    // The installed executable as a link.
    {"InstalledExecutableLinksInsideTheFolder",
     [](Installation& inst) {
         inst.install("Real.exe", "old");
         replaceWithLink(inst.installDir() / "Tavro.exe", "Real.exe");
     },
     Outcome::Upgraded, "Real.exe=old Tavro.exe=new TavroOld.exe->Real.exe"},
    {"InstalledExecutableLinksOutside",
     [](Installation& inst) {
         writeFile(inst.outside() / "real.exe", "old");
         replaceWithLink(inst.installDir() / "Tavro.exe", inst.outside() / "real.exe");
     },
     Outcome::Upgraded, "Tavro.exe=new TavroOld.exe->{outside}/real.exe"},
    {"InstalledExecutableLinkDangles",
     [](Installation& inst) {
         replaceWithLink(inst.installDir() / "Tavro.exe", inst.outside() / "missing.exe");
     },
     Outcome::Upgraded, "Tavro.exe=new"},
    {"InstalledExecutableHardLinkedOutside",
     [](Installation& inst) {
         writeFile(inst.outside() / "hard.exe", "old");
         fs::remove(inst.installDir() / "Tavro.exe");
         fs::create_hard_link(inst.outside() / "hard.exe", inst.installDir() / "Tavro.exe");
     },
     Outcome::Upgraded, "Tavro.exe=new TavroOld.exe=old"},
    {"InstalledExecutableIsAFolder",
     [](Installation& inst) {
         fs::remove(inst.installDir() / "Tavro.exe");
         fs::create_directory(inst.installDir() / "Tavro.exe");
     },
     Outcome::Failed, kUnchanged},
    // The backup as a link: it exists, so it is kept, and never written through.
    {"BackupLinksInsideTheFolder",
     [](Installation& inst) {
         inst.install("Real.exe", "first");
         fs::create_symlink("Real.exe", inst.installDir() / "TavroOld.exe");
     },
     Outcome::Upgraded, "Real.exe=first Tavro.exe=new TavroOld.exe->Real.exe"},
    {"BackupLinksOutside",
     [](Installation& inst) {
         writeFile(inst.outside() / "first.exe", "first");
         fs::create_symlink(inst.outside() / "first.exe", inst.installDir() / "TavroOld.exe");
     },
     Outcome::Upgraded, "Tavro.exe=new TavroOld.exe->{outside}/first.exe"},
    {"BackupLinkDangles",
     [](Installation& inst) {
         fs::create_symlink(inst.outside() / "missing.exe", inst.installDir() / "TavroOld.exe");
     },
     Outcome::Upgraded, "Tavro.exe=new TavroOld.exe->{outside}/missing.exe"},
    // A copy left by a killed run, as a link or a folder.
    {"LeftoverCopyLinksOutside",
     [](Installation& inst) {
         writeFile(inst.outside() / "copy", "outside");
         fs::create_symlink(inst.outside() / "copy", inst.installDir() / "Tavro.tmp");
     },
     Outcome::Upgraded, "Tavro.exe=new TavroOld.exe=old"},
    {"LeftoverCopyIsAFolder",
     [](Installation& inst) { fs::create_directory(inst.installDir() / "Tavro.tmp"); },
     Outcome::Failed, kUnchanged},
    // The product folder as a link: it counts when it leads to a folder.
    {"ProductFolderLinksInsideThePrefix",
     [](Installation& inst) {
         const fs::path real = inst.installDir().parent_path() / "Vinta-Prell.real";
         fs::rename(inst.installDir(), real);
         fs::create_symlink("Vinta-Prell.real", inst.installDir());
     },
     Outcome::Upgraded, "Tavro.exe=new TavroOld.exe=old"},
    {"ProductFolderLinksOutsideThePrefix",
     [](Installation& inst) {
         const fs::path real = inst.root() / "elsewhere" / "product";
         fs::create_directories(real.parent_path());
         fs::rename(inst.installDir(), real);
         fs::create_symlink(real, inst.installDir());
     },
     Outcome::Upgraded, "Tavro.exe=new TavroOld.exe=old"},
    {"ProductFolderLinkDangles",
     [](Installation& inst) { replaceWithLink(inst.installDir(), inst.outside() / "gone"); },
     Outcome::NoProduct, kUnchanged},
    {"ProductFolderIsAFile",
     [](Installation& inst) {
         fs::remove_all(inst.installDir());
         writeFile(inst.installDir(), "not a folder");
     },
     Outcome::NoProduct, kUnchanged},
    {"FirstProductFolderIsAFileSecondIsInstalled",
     [](Installation& inst) {
         fs::remove_all(inst.installDir());
         writeFile(inst.installDir(), "not a folder");
         inst.targetProduct("Ulvo-Damar");
         inst.install("Tavro.exe", "old");
     },
     Outcome::Upgraded, "Tavro.exe=newU TavroOld.exe=old"},
    // The new executable as a link or as something that is no file.
    {"SourceLinksInsideTheKit",
     [](Installation& inst) {
         fs::rename(inst.source(), inst.sourceRoot() / "new.exe");
         fs::create_symlink("../new.exe", inst.source());
     },
     Outcome::Upgraded, "Tavro.exe=new TavroOld.exe=old"},
    {"SourceLinksOutside",
     [](Installation& inst) {
         fs::rename(inst.source(), inst.outside() / "new.exe");
         fs::create_symlink(inst.outside() / "new.exe", inst.source());
     },
     Outcome::Upgraded, "Tavro.exe=new TavroOld.exe=old"},
    {"SourceLinkDangles",
     [](Installation& inst) { replaceWithLink(inst.source(), inst.outside() / "missing.exe"); },
     Outcome::Failed, kUnchanged},
    {"SourceLinksToTheInstalledExecutable",
     [](Installation& inst) { replaceWithLink(inst.source(), inst.installDir() / "Tavro.exe"); },
     Outcome::Upgraded, "Tavro.exe=old TavroOld.exe=old"},
    {"SourceLinksToADevice",
     [](Installation& inst) { replaceWithLink(inst.source(), "/dev/zero"); }, Outcome::Failed,
     kUnchanged},
    {"SourceIsAFolder",
     [](Installation& inst) {
         fs::remove(inst.source());
         fs::create_directory(inst.source());
     },
     Outcome::Failed, kUnchanged},
    {"SourceIsAFifo",
     [](Installation& inst) {
         fs::remove(inst.source());
         ASSERT_EQ(::mkfifo(inst.source().c_str(), 0644), 0);
     },
     Outcome::Failed, kUnchanged},
    // Names.
    {"NamesWithSpacesAndNonAscii",
     [](Installation& inst) {
         moveKit(inst, "kit ñ 日本 x");
         movePrefix(inst, "wine prefix ü");
     },
     Outcome::Upgraded, "Tavro.exe=new TavroOld.exe=old"},
    {"NamesThatAreNotUtf8",
     [](Installation& inst) {
         moveKit(inst, "kit \xff\xfe");
         movePrefix(inst, "prefix \xe9t\xe9");
     },
     Outcome::Upgraded, "Tavro.exe=new TavroOld.exe=old"},
    {"ColonInTheInstallPath", [](Installation& inst) { movePrefix(inst, "wine:prefix"); },
     Outcome::Failed, kUnchanged},
    {"QuoteInTheKitPath", [](Installation& inst) { moveKit(inst, "kit \"quoted\""); },
     Outcome::Failed, kUnchanged},
    {"ControlCharacterInTheKitPath", [](Installation& inst) { moveKit(inst, "kit\tx"); },
     Outcome::Failed, kUnchanged},
    // Lengths of the installed executable's path, in UTF-16 code units: the
    // backup is three units longer and needs fewer than 260.
    {"InstalledPathOf256", [](Installation& inst) { installedPathOf(inst, 256); },
     Outcome::Upgraded, "Tavro.exe=new TavroOld.exe=old"},
    {"InstalledPathOf259", [](Installation& inst) { installedPathOf(inst, 259); },
     Outcome::Upgraded, "Tavro.exe=new"},
    {"InstalledPathOf259InNonAscii", [](Installation& inst) { installedPathOf(inst, 259, "日"); },
     Outcome::Upgraded, "Tavro.exe=new"},
    {"InstalledPathOf260", [](Installation& inst) { installedPathOf(inst, 260); }, Outcome::Failed,
     kUnchanged},
    {"InstalledPathOf261", [](Installation& inst) { installedPathOf(inst, 261); }, Outcome::Failed,
     kUnchanged},
};

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// Every folder below `folder`, described, so a change anywhere in it shows.
std::string describeTree(const fs::path& folder) {
    std::string out = describeFolder(folder);
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(folder, error))) {
        return out;
    }
    for (auto it = fs::recursive_directory_iterator(folder, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory() && !it->is_symlink()) {
            out += "\n" + it->path().lexically_relative(folder).string() + ": " +
                   describeFolder(it->path());
        }
    }
    return out;
}

class OddInput : public ::testing::TestWithParam<OddInputCase> {};

TEST_P(OddInput, GetsTheRulesOutcomeAndWritesOnlyInTheInstallFolder) {
    const OddInputCase& c = GetParam();
    Installation inst;
    c.arrange(inst);
    const std::string before = describeFolder(inst.installDir());
    const std::string outsideBefore = describeTree(inst.outside());
    const std::string sourcesBefore = describeTree(inst.sourceRoot());

    const fs::path log = inst.root() / "out" / "strace.log";
    std::vector<std::string> wrapper{TAVRO_STRACE};
    for (const auto& option : straceOptions(log)) {
        wrapper.push_back(option);
    }
    wrapper.insert(wrapper.end(), {"-e", "trace=" + fileSystemCallNames()});
    const ChildResult run = inst.run(wrapper, {{"ASAN_OPTIONS", "detect_leaks=0"}});

    ASSERT_TRUE(run.exited) << run.describe();
    switch (c.outcome) {
        case Outcome::Upgraded:
            EXPECT_EQ(run.exitCode, 0) << run.describe();
            EXPECT_EQ(run.outLines(), successLines());
            break;
        case Outcome::Failed:
            EXPECT_EQ(run.exitCode, 1) << run.describe();
            EXPECT_EQ(run.outLines(), failureLines());
            break;
        case Outcome::NoProduct:
            EXPECT_EQ(run.exitCode, 2) << run.describe();
            EXPECT_EQ(run.outLines(),
                      std::vector<std::string>{"Source Files: " + inst.sourceRoot().string()});
            EXPECT_EQ(run.err, "Message: No Ostrel Products Found.  Program will Exit.\n");
            break;
    }
    const std::string expected =
        c.after == kUnchanged ? before : replaceAll(c.after, "{outside}", inst.outside().string());
    EXPECT_EQ(describeFolder(inst.installDir()), expected);
    EXPECT_EQ(describeTree(inst.outside()), outsideBefore);
    EXPECT_EQ(describeTree(inst.sourceRoot()), sourcesBefore);
    if (c.outcome == Outcome::Upgraded) {
        const Text installed = fromUtf8((inst.installDir() / "Tavro.exe").string());
        const Text source = fromUtf8(inst.source(inst.sourceCode()).string());
        EXPECT_EQ(systemPlatform().creationTime(installed).ticks / 10'000,
                  systemPlatform().creationTime(source).ticks / 10'000);
    }

    // The proof from the log: every entry changed lies directly in the install folder.
    std::error_code error;
    const fs::path folder = fs::canonical(inst.installDir(), error);
    int changes = 0;
    for (const TracedCall& call : readTrace(log).calls) {
        const auto fd = call.fdNumber(0);
        if (fd && (*fd == 1 || *fd == 2) && call.name != "ioctl" &&
            call.name.find("xattr") == std::string::npos) {
            continue;  // the driver's own output
        }
        for (const std::string& entry : call.changedEntries()) {
            ++changes;
            const fs::path path(entry);
            const bool flushesTheFolder = call.name == "fsync" || call.name == "fdatasync";
            const bool inside = !folder.empty() &&
                                (fs::weakly_canonical(path.parent_path(), error) == folder ||
                                 (flushesTheFolder && fs::weakly_canonical(path, error) == folder));
            EXPECT_TRUE(inside) << call.name << " changed " << entry
                                << ", outside the install folder; strace logged: " << call.line;
        }
    }
    if (c.outcome == Outcome::Upgraded) {
        EXPECT_GT(changes, 0) << "the log shows no change: is it read right?";
    }
    RecordProperty("changes_checked", changes);
}

INSTANTIATE_TEST_SUITE_P(LinksAndOddInput, OddInput, ::testing::ValuesIn(kOddInputCases),
                         CaseName());

}  // namespace
}  // namespace tavro::testing
