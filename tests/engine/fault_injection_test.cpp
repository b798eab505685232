#include <gtest/gtest.h>

#include <ostream>

#include "case_name.h"

#include <filesystem>

#include "platform_decorator.h"
#include "transfer.h"
#include "upgrade_fixture.h"

namespace tavro::testing {
namespace {

namespace fs = std::filesystem;

enum class Failure {
    Throw,   // every call fails with an I/O error, as an exhausted resource would
    Answer,  // queries answer wrongly (unreadable, absent); actions still throw
};

// Fails its N-th call; counts calls when N is 0.
class FailingPlatform : public PlatformDecorator {
  public:
    FailingPlatform(int failAt, Failure kind) : failAt_(failAt), kind_(kind) {}
    int calls() const { return calls_; }

  private:
    bool failsNow() { return ++calls_ == failAt_; }

    template <typename F>
    auto act(F&& call) {
        if (failsNow()) {
            throw PlatformError(winerr::kIoDevice, "injected");
        }
        return call();
    }
    template <typename F, typename T>
    T query(F&& call, T wrong) {
        if (failsNow()) {
            if (kind_ == Failure::Throw) {
                throw PlatformError(winerr::kIoDevice, "injected");
            }
            return wrong;
        }
        return call();
    }

  public:
    Text programFilesX86() override {
        return act([&] { return PlatformDecorator::programFilesX86(); });
    }
    Text ownExecutablePath() override {
        return act([&] { return PlatformDecorator::ownExecutablePath(); });
    }
    PathAttributes attributes(const Text& p) override {
        return query([&] { return PlatformDecorator::attributes(p); },
                     PathAttributes{winerr::kIoDevice, false, false});
    }
    bool linkTargetOpens(const Text& p, bool d) override {
        return query([&] { return PlatformDecorator::linkTargetOpens(p, d); }, false);
    }
    bool searchFindsFile(const Text& p) override {
        return query([&] { return PlatformDecorator::searchFindsFile(p); }, false);
    }
    Text makeAbsolute(const Text& p) override {
        return act([&] { return PlatformDecorator::makeAbsolute(p); });
    }
    void copyToNew(const Text& s, const Text& d) override {
        act([&] { PlatformDecorator::copyToNew(s, d); });
    }
    void keepBackup(const Text& i, const Text& b) override {
        act([&] { PlatformDecorator::keepBackup(i, b); });
    }
    void undoBackup(const Text& i, const Text& b) override {
        act([&] { PlatformDecorator::undoBackup(i, b); });
    }
    void swapIn(const Text& f, const Text& i) override {
        act([&] { PlatformDecorator::swapIn(f, i); });
    }
    void flushFolder(const Text& p) override {
        act([&] { PlatformDecorator::flushFolder(p); });
    }
    void removeFile(const Text& p) override {
        act([&] { PlatformDecorator::removeFile(p); });
    }
    FileTime creationTime(const Text& p) override {
        return query([&] { return PlatformDecorator::creationTime(p); }, FileTime{});
    }
    void setCreationTime(const Text& p, FileTime t) override {
        act([&] { PlatformDecorator::setCreationTime(p, t); });
    }

  private:
    int failAt_;
    Failure kind_;
    int calls_ = 0;
};

struct Start {
    const char* name;
    bool hasBackup;
    friend void PrintTo(const Start& c, std::ostream* os) { *os << c.name; }
};

class InjectedFailure : public UpgradeFixture, public ::testing::WithParamInterface<Start> {
  protected:
    void arrange() {
        fs::remove_all(tmp / "pf");
        fs::create_directories(installDir);
        install("Tavro.exe", "old");
        if (GetParam().hasBackup) {
            install("TavroOld.exe", "first");
        }
    }
};

TEST_P(InjectedFailure, NeverLeavesTheProductBroken) {
    writeSource();
    arrange();
    FailingPlatform counting(0, Failure::Throw);
    VectorLog quiet(log);
    ASSERT_TRUE(TransferNewFiles(record, counting, quiet));
    const int calls = counting.calls();
    ASSERT_GT(calls, 10);

    int injected = 0;
    for (const Failure kind : {Failure::Throw, Failure::Answer}) {
        for (int n = 1; n <= calls; ++n) {
            SCOPED_TRACE(::testing::Message()
                         << "failing call " << n << " of " << calls
                         << (kind == Failure::Throw ? " (throw)" : " (answer)"));
            arrange();
            const std::string before = snapshot(installDir);
            FailingPlatform failing(n, kind);
            log.clear();
            const bool result = TransferNewFiles(record, failing, quiet);
            ++injected;

            const std::string exe = readFile(installDir / "Tavro.exe");
            ASSERT_TRUE(exe == "old" || exe == "new") << "Tavro.exe holds " << exe;
            EXPECT_FALSE(fs::exists(fs::symlink_status(installDir / "Tavro.tmp")));
            if (GetParam().hasBackup) {
                EXPECT_EQ(readFile(installDir / "TavroOld.exe"), "first");
            } else if (exe == "new" && kind == Failure::Throw) {
                // A failing call never costs the old executable its backup.
                EXPECT_EQ(readFile(installDir / "TavroOld.exe"), "old");
            }
            if (exe == "old") {
                EXPECT_FALSE(result);
                EXPECT_EQ(snapshot(installDir), before) << "a failed run changed nothing";
            }
            if (result) {
                EXPECT_EQ(exe, "new");
                EXPECT_EQ(installedTime(), upgradedTime());
                EXPECT_TRUE(log.empty());
            }
            EXPECT_LE(log.size(), 1u);
        }
    }
    ::testing::Test::RecordProperty("injected_failures", injected);
}

INSTANTIATE_TEST_SUITE_P(Starts, InjectedFailure,
                         ::testing::Values(Start{"FirstUpgrade", false},
                                           Start{"SecondUpgrade", true}),
                         CaseName());

}  // namespace
}  // namespace tavro::testing
