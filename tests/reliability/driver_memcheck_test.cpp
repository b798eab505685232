// The upgrade as a whole process, start-up detection included, under memcheck.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "case_name.h"
#include "installation.h"

namespace tavro::testing {
namespace {

namespace fs = std::filesystem;

struct MemcheckCase {
    const char* name;
    std::function<void(Installation&)> arrange;
    bool upgraded;
};

class DriverUnderMemcheck : public ::testing::TestWithParam<MemcheckCase> {};

TEST_P(DriverUnderMemcheck, ReportsNoErrorAndNoLeak) {
    Installation inst;
    GetParam().arrange(inst);
    const ChildResult run =
        inst.run({TAVRO_VALGRIND, "--tool=memcheck", "--error-exitcode=99", "--leak-check=full",
                  "--errors-for-leak-kinds=definite,indirect", "-q"});
    ASSERT_TRUE(run.exited) << run.describe();
    EXPECT_EQ(run.exitCode, GetParam().upgraded ? 0 : 1) << run.describe();
    EXPECT_EQ(run.outLines(), GetParam().upgraded ? successLines() : failureLines());
}

const MemcheckCase kMemcheckCases[] = {
    {"FirstUpgrade", [](Installation&) {}, true},
    {"SourceMissing", [](Installation& inst) { fs::remove(inst.source()); }, false},
};

INSTANTIATE_TEST_SUITE_P(Memcheck, DriverUnderMemcheck, ::testing::ValuesIn(kMemcheckCases),
                         CaseName());

}  // namespace
}  // namespace tavro::testing
