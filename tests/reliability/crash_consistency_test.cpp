// The driver, a real process, is killed or given an I/O error at each call it
// makes on the kit's or the product's files, as strace's fault injection lets
// us do. Killed runs and failed calls must never leave the product without a
// whole Tavro.exe or lose the first backup, and the next run must complete.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "case_name.h"
#include "installation.h"
#include "strace_log.h"
#include "temp_dir.h"

namespace tavro::testing {
namespace {

namespace fs = std::filesystem;

struct Start {
    const char* name;
    bool hasBackup;     // an earlier upgrade left "TavroOld.exe" = "first"
    bool leftoverCopy;  // a killed run left "Tavro.tmp"
    // Faults present in every run of the case, as strace injections; their
    // calls are not explored.
    std::vector<std::string> standing;
    bool upgrades = true;    // what a run with only the standing faults ends with
    bool faultsStay = true;  // the next run meets them too, as on the same file system
};

// The kernel refuses to clone or copy, so the copy goes by read and write.
const std::vector<std::string> kNoKernelCopyFaults{"copy_file_range:error=EXDEV",
                                                   "ioctl:error=EOPNOTSUPP"};
// The swap fails, so the run takes back its backup and removes its copy.
const std::vector<std::string> kSwapRefusedFaults{"rename:error=EIO"};
// No second name for a file, as on file systems without hard links, or where
// the kernel protects a file the user may not write.
const std::vector<std::string> kLinksRefusedFaults{"link:error=EPERM"};

std::string callName(const std::string& injection) {
    return injection.substr(0, injection.find(':'));
}

// One call of the clean run: its name and which of that name it is.
struct CallPoint {
    std::string name;
    int ordinal = 0;
    std::vector<std::string> files;
    bool backupStep = false;  // after the new copy is complete, before the swap

    std::string describe() const {
        std::string out = name + " #" + std::to_string(ordinal) + " on";
        for (const auto& file : files) {
            const fs::path path(file);
            out += " " + (path.parent_path().filename() / path.filename()).string();
        }
        return out;
    }
};

// A leftover copy is ours to remove, so a failed run may have done so.
std::string withoutLeftover(const std::string& folder) {
    std::istringstream entries(folder);
    std::string out;
    for (std::string entry; entries >> entry;) {
        if (entry != "Tavro.tmp=half") {
            out += (out.empty() ? "" : " ") + entry;
        }
    }
    return out;
}

bool under(const std::string& path, const fs::path& folder) {
    const std::string f = folder.string() + "/";
    return path.starts_with(f) || path == folder.string();
}

class ReplacementUnderFaults : public ::testing::TestWithParam<Start> {
  protected:
    void arrange() {
        fs::remove_all(inst.installDir());
        inst.install("Tavro.exe", "old");
        if (GetParam().hasBackup) {
            inst.install("TavroOld.exe", "first");
        }
        if (GetParam().leftoverCopy) {
            inst.install("Tavro.tmp", "half");
        }
    }

    fs::path log() const { return inst.root() / "out" / "strace.log"; }

    // strace with the given injection, tracing every file-system call so the
    // log can show which call it hit.
    ChildResult runTraced(const std::vector<std::string>& injection) {
        std::vector<std::string> wrapper{TAVRO_STRACE};
        for (const auto& option : straceOptions(log())) {
            wrapper.push_back(option);
        }
        wrapper.insert(wrapper.end(), {"-e", "trace=" + fileSystemCallNames()});
        for (const std::string& fault : GetParam().standing) {
            wrapper.insert(wrapper.end(), {"-e", "inject=" + fault});
        }
        wrapper.insert(wrapper.end(), injection.begin(), injection.end());
        // LeakSanitizer cannot stop a process that strace already traces.
        return inst.run(wrapper, {{"ASAN_OPTIONS", "detect_leaks=0"}});
    }

    // Every call of a clean run that touches the kit or the install.
    std::vector<CallPoint> callPoints() {
        arrange();
        const ChildResult clean = runTraced({});
        EXPECT_TRUE(clean.exited && clean.exitCode == (GetParam().upgrades ? 0 : 1))
            << clean.describe();
        std::map<std::string, int> seen;
        std::vector<CallPoint> points;
        bool copyDone = false;
        bool swapped = false;
        for (const TracedCall& call : readTrace(log()).calls) {
            const std::vector<std::string> files = call.namedFiles();
            const bool onCopy = std::find(files.begin(), files.end(), temporary()) != files.end();
            swapped = swapped || (onCopy && call.name.starts_with("rename"));
            copyDone = copyDone || (onCopy && call.name == "close");
            const int ordinal = ++seen[call.name];
            bool standing = false;
            for (const std::string& fault : GetParam().standing) {
                standing = standing || callName(fault) == call.name;
            }
            if (standing) {
                continue;
            }
            bool ours = false;
            for (const auto& file : files) {
                ours = ours || under(file, inst.kit()) || under(file, inst.prefix());
            }
            if (ours) {
                points.push_back({call.name, ordinal, files, copyDone && !swapped && !onCopy});
            }
        }
        return points;
    }

    // The call strace stopped at must be the one chosen from the clean run.
    void expectHit(const CallPoint& point, bool killed, const ChildResult& run) {
        const Trace trace = readTrace(log());
        const TracedCall* hit = nullptr;
        for (const TracedCall& call : trace.calls) {
            if (call.name == point.name && (killed ? !call.returned() : call.injected)) {
                hit = &call;
            }
        }
        ASSERT_NE(hit, nullptr) << "no call was hit";
        EXPECT_EQ(hit->namedFiles(), point.files) << hit->line;
        // strace dies of the tracee's signal before it can log the death.
        EXPECT_EQ(!run.exited && run.signal == SIGKILL, killed) << run.describe();
    }

    std::string exe() const { return describeFolder(inst.installDir()); }
    std::string temporary() const { return (inst.installDir() / "Tavro.tmp").string(); }
    std::string backupBefore() const { return GetParam().hasBackup ? "first" : "old"; }

    // A whole Tavro.exe, old or new; the first backup untouched; nothing else
    // but unfinished copies, which the next run clears.
    void expectWholeProduct() {
        const fs::path dir = inst.installDir();
        ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "Tavro.exe"))) << exe();
        const std::string content = readFile(dir / "Tavro.exe");
        EXPECT_TRUE(content == "old" || content == Installation::newContent()) << exe();
        if (GetParam().hasBackup) {
            EXPECT_EQ(readFile(dir / "TavroOld.exe"), "first") << exe();
        } else if (fs::exists(fs::symlink_status(dir / "TavroOld.exe"))) {
            EXPECT_EQ(readFile(dir / "TavroOld.exe"), "old") << exe();
        }
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "Tavro.exe" || name == "TavroOld.exe" || name == "Tavro.tmp" ||
                        name == "TavroOld.exe.part")
                << exe();
        }
    }

    // A run without a new fault completes whatever the interrupted one left.
    void expectNextRunCompletes(const std::string& backup) {
        const ChildResult next = GetParam().faultsStay ? runTraced({}) : inst.run();
        EXPECT_TRUE(next.exited && next.exitCode == 0) << next.describe();
        EXPECT_EQ(next.outLines(), successLines());
        EXPECT_EQ(exe(), "Tavro.exe=new TavroOld.exe=" + backup);
        EXPECT_EQ(
            systemPlatform().creationTime(fromUtf8((inst.installDir() / "Tavro.exe").string())),
            Installation::kSourceTimeMs);
    }

    Installation inst;
};

class KilledUpgrade : public ReplacementUnderFaults {};

TEST_P(KilledUpgrade, LeavesAWholeProductAndTheNextRunCompletes) {
    const std::vector<CallPoint> points = callPoints();
    ASSERT_FALSE(points.empty());
    for (const CallPoint& point : points) {
        SCOPED_TRACE("kill at " + point.describe());
        arrange();
        const ChildResult killed = runTraced(
            {"-e", "inject=" + point.name + ":signal=KILL:when=" + std::to_string(point.ordinal)});
        expectHit(point, true, killed);
        expectWholeProduct();
        expectNextRunCompletes(backupBefore());
    }
    std::cout << "kill points explored: " << points.size() << "\n";
    for (const CallPoint& point : points) {
        std::cout << "  " << point.describe() << "\n";
    }
    RecordProperty("kill_points", static_cast<int>(points.size()));
}

class FailingCall : public ReplacementUnderFaults {};

TEST_P(FailingCall, FailsCleanlyOrLeavesTheNewExecutableInPlace) {
    const std::vector<CallPoint> points = callPoints();
    ASSERT_FALSE(points.empty());
    const std::string installed = (inst.installDir() / "Tavro.exe").string();
    std::map<std::string, int> outcomes;
    for (const CallPoint& point : points) {
        for (const char* error : {"ENOSPC", "EIO", "EACCES"}) {
            SCOPED_TRACE(std::string(error) + " at " + point.describe());
            arrange();
            const std::string before = exe();
            const ChildResult run = runTraced({"-e", "inject=" + point.name + ":error=" + error +
                                                         ":when=" + std::to_string(point.ordinal)});
            ASSERT_TRUE(run.exited && (run.exitCode == 0 || run.exitCode == 1)) << run.describe();
            expectHit(point, false, run);
            expectWholeProduct();

            const bool newInPlace =
                readFile(inst.installDir() / "Tavro.exe") == Installation::newContent();
            // Only a leftover this run could not remove may remain, never its own copies.
            const fs::path temporary = inst.installDir() / "Tavro.tmp";
            if (fs::exists(fs::symlink_status(temporary))) {
                EXPECT_TRUE(GetParam().leftoverCopy && readFile(temporary) == "half") << exe();
            }
            EXPECT_FALSE(fs::exists(fs::symlink_status(inst.installDir() / "TavroOld.exe.part")))
                << exe();
            ++outcomes[run.exitCode == 0 ? "upgraded"
                       : newInPlace      ? "new executable in place, Problem Writing"
                                         : "failed, folder as it was"];
            if (run.exitCode == 0) {
                EXPECT_EQ(run.outLines(), successLines());
                EXPECT_TRUE(newInPlace);
                EXPECT_FALSE(fs::exists(fs::symlink_status(inst.installDir() / "Tavro.tmp")));
                EXPECT_EQ(systemPlatform().creationTime(fromUtf8(installed)),
                          Installation::kSourceTimeMs);
            } else if (newInPlace) {
                EXPECT_EQ(run.outLines(), failureLines({"Problem Writing " + installed}));
                EXPECT_FALSE(fs::exists(fs::symlink_status(inst.installDir() / "Tavro.tmp")));
            } else {
                EXPECT_EQ(run.outLines(), failureLines());
                EXPECT_EQ(withoutLeftover(exe()), withoutLeftover(before))
                    << "a failed run changes nothing but a leftover copy";
            }
            // A failing call never costs the old executable its backup: where one
            // is due but cannot be made, the upgrade stops.
            if (newInPlace) {
                EXPECT_TRUE(fs::exists(fs::symlink_status(inst.installDir() / "TavroOld.exe")))
                    << "the old executable was lost (failing call in the "
                    << (point.backupStep ? "back-up step" : "upgrade") << ")";
            }
            expectNextRunCompletes(backupBefore());
        }
    }
    int injected = 0;
    for (const auto& [outcome, count] : outcomes) {
        std::cout << "  " << outcome << ": " << count << "\n";
        injected += count;
    }
    std::cout << "I/O errors injected: " << injected << "\n";
    RecordProperty("io_errors_injected", injected);
}

const Start kFirstUpgrade{"FirstUpgrade", false, false, {}};
const Start kSecondUpgrade{"SecondUpgrade", true, false, {}};
const Start kLeftoverCopy{"LeftoverCopyFromAKilledRun", false, true, {}};
const Start kByReadWrite{"FirstUpgradeCopyingByReadWrite", false, false, kNoKernelCopyFaults};
const Start kLinksRefused{"FirstUpgradeWithoutHardLinks", false, false, kLinksRefusedFaults};
// Kills only: an I/O error on top would be a second fault in the clean-up.
const Start kSwapRefused{
    "FirstUpgradeWhoseSwapIsRefused", false, false, kSwapRefusedFaults, false, false};

INSTANTIATE_TEST_SUITE_P(CrashConsistency, KilledUpgrade,
                         ::testing::Values(kFirstUpgrade, kSecondUpgrade, kLeftoverCopy,
                                           kByReadWrite, kLinksRefused, kSwapRefused),
                         CaseName());
INSTANTIATE_TEST_SUITE_P(IoErrors, FailingCall,
                         ::testing::Values(kFirstUpgrade, kSecondUpgrade, kLeftoverCopy,
                                           kByReadWrite, kLinksRefused),
                         CaseName());

}  // namespace
}  // namespace tavro::testing
