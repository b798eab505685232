#include "path_rules.h"

#include <gtest/gtest.h>

#include <ostream>

#include "case_name.h"

#include "file_tests.h"
#include "platform.h"
#include "temp_dir.h"

namespace tavro::testing {
namespace {

TEST(FolderPart, WindowsRuleCutsAfterTheLastBackslashOrColon) {
    EXPECT_EQ(folderPartWindows(u"C:\\Kit\\up.exe"), u"C:\\Kit\\");
    EXPECT_EQ(folderPartWindows(u"D:\\up.exe"), u"D:\\");
    EXPECT_EQ(folderPartWindows(u"D:up.exe"), u"D:");
    EXPECT_EQ(folderPartWindows(u"\\\\server\\share\\kit\\up.exe"), u"\\\\server\\share\\kit\\");
    EXPECT_EQ(folderPartWindows(u"up.exe"), u"");
}

TEST(FolderPart, PosixRuleCutsAfterTheLastSlash) {
    EXPECT_EQ(folderPartPosix(u"/opt/kit/up"), u"/opt/kit/");
    EXPECT_EQ(folderPartPosix(u"/up"), u"/");
    EXPECT_EQ(folderPartPosix(u"/opt/ki\\t/up"), u"/opt/ki\\t/")
        << "a backslash is a name character";
    EXPECT_EQ(folderPartPosix(u"up"), u"");
}

struct SyntaxCase {
    const char* name;
    Text path;
    PathProblem problem;
    friend void PrintTo(const SyntaxCase& c, std::ostream* os) { *os << c.name; }
};

class PathSyntax : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(PathSyntax, FirstFailingCheckWins) {
    EXPECT_EQ(syntaxProblem(GetParam().path), GetParam().problem);
}

Text pathOfLength(size_t n, const Text& prefix = u"C:\\") {
    return prefix + Text(n - prefix.size(), u'a');
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathSyntax,
    ::testing::Values(
        SyntaxCase{"Length259", pathOfLength(259), PathProblem::None},
        SyntaxCase{"Length260", pathOfLength(260), PathProblem::TooLong},
        SyntaxCase{"ExtendedPrefixLifts", pathOfLength(400, u"\\\\?\\C:\\"), PathProblem::None},
        SyntaxCase{"ExtendedNetworkForm", u"\\\\?\\UNC\\server\\share\\a", PathProblem::None},
        SyntaxCase{"DriveColon", u"C:\\Kit\\Tavro.exe", PathProblem::None},
        SyntaxCase{"LowerDriveColon", u"c:\\Kit", PathProblem::None},
        SyntaxCase{"StrayColon", u"C:\\Kit\\a:b", PathProblem::StrayColon},
        SyntaxCase{"ColonAfterPrefixAndDrive", u"\\\\?\\C:\\a:b", PathProblem::StrayColon},
        SyntaxCase{"DigitIsNoDrive", u"1:\\a", PathProblem::StrayColon},
        SyntaxCase{"ColonOnPosixPath", u"/opt/a:b/Tavro.exe", PathProblem::StrayColon},
        SyntaxCase{"Empty", u"", PathProblem::Blank},
        SyntaxCase{"Blanks", u" \t ", PathProblem::Blank},
        SyntaxCase{"ControlCharacter", u"/opt/a\u0001b", PathProblem::BadCharacter},
        SyntaxCase{"Nul", Text(u"/opt/a\0b", 8), PathProblem::BadCharacter},
        SyntaxCase{"Quote", u"/opt/a\"b", PathProblem::BadCharacter},
        SyntaxCase{"Less", u"/opt/a<b", PathProblem::BadCharacter},
        SyntaxCase{"Greater", u"/opt/a>b", PathProblem::BadCharacter},
        SyntaxCase{"Bar", u"/opt/a|b", PathProblem::BadCharacter},
        SyntaxCase{"WildcardsPass", u"/opt/a*b?c", PathProblem::None},
        SyntaxCase{"NonAscii", u"/opt/Ostrel Indüstries/日本/Tavro.exe", PathProblem::None}),
    CaseName());

TEST(PathCheck, NeedsAnExistingFolderAndForExistingFilesAFile) {
    TempDir tmp;
    writeFile(tmp / "file", "x");
    std::filesystem::create_directory(tmp / "dir");
    Platform& platform = systemPlatform();
    const auto text = [&](const char* rel) { return fromUtf8((tmp / rel).string()); };

    EXPECT_NO_THROW(checkPath(platform, text("not-yet")));
    EXPECT_NO_THROW(checkExistingFile(platform, text("file")));

    const std::vector<std::pair<Text, PathProblem>> failing = {
        {text("missing/parent"), PathProblem::NoFolder},
        {text("file/below-a-file"), PathProblem::NoFolder},
        {text("not-yet"), PathProblem::NotAFile},
        {text("dir"), PathProblem::NotAFile},
    };
    for (const auto& [path, problem] : failing) {
        try {
            checkExistingFile(platform, path);
            ADD_FAILURE() << toUtf8(path) << " passed";
        } catch (const PathCheckError& error) {
            EXPECT_EQ(error.problem(), problem) << toUtf8(path);
        }
    }
}

}  // namespace
}  // namespace tavro::testing
