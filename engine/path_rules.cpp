#include "path_rules.h"

#include "file_tests.h"
#include "platform.h"

namespace tavro {
namespace {

constexpr TextView kExtendedPrefix = u"\\\\?\\";
constexpr size_t kMaxPath = 260;

bool isDriveLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

std::string describe(PathProblem problem) {
    switch (problem) {
        case PathProblem::TooLong:
            return "The path is too long";
        case PathProblem::StrayColon:
        case PathProblem::BadCharacter:
        case PathProblem::Blank:
            return "The path is not valid";
        case PathProblem::Unresolvable:
            return "The path cannot be made absolute";
        case PathProblem::NoFolder:
            return "The folder of the path does not exist";
        case PathProblem::NotAFile:
            return "The file does not exist";
        case PathProblem::None:
            break;
    }
    return "The path is acceptable";
}

// The folder that would hold `absolute`, without its trailing separator unless
// it is a root ("/", "C:\").
Text containingFolder(const Text& absolute) {
    Text folder = folderPart(absolute);
    if (folder.size() > 1 && folder.back() == kPathSeparator && folder[folder.size() - 2] != u':') {
        folder.pop_back();
    }
    return folder;
}

}  // namespace

Text folderPartWindows(TextView path) {
    const auto cut = path.find_last_of(u"\\:");
    return cut == TextView::npos ? Text{} : Text(path.substr(0, cut + 1));
}

Text folderPartPosix(TextView path) {
    const auto cut = path.find_last_of(u'/');
    return cut == TextView::npos ? Text{} : Text(path.substr(0, cut + 1));
}

Text folderPart(TextView path) {
#ifdef _WIN32
    return folderPartWindows(path);
#else
    return folderPartPosix(path);
#endif
}

PathCheckError::PathCheckError(PathProblem problem, const Text& path)
    : std::runtime_error(describe(problem) + ": " + toUtf8(path)), problem_(problem) {}

PathProblem syntaxProblem(TextView path) {
    const bool extended = path.starts_with(kExtendedPrefix);
    if (!extended && path.size() >= kMaxPath) {
        return PathProblem::TooLong;
    }
    TextView rest = extended ? path.substr(kExtendedPrefix.size()) : path;
    const TextView afterPrefix = rest;
    if (rest.size() >= 2 && isDriveLetter(rest[0]) && rest[1] == u':') {
        rest.remove_prefix(2);
    }
    if (rest.find(u':') != TextView::npos) {
        return PathProblem::StrayColon;
    }
    bool allBlank = true;
    for (const char16_t c : path) {
        if (c > u' ') {
            allBlank = false;
            break;
        }
    }
    if (allBlank) {
        return PathProblem::Blank;
    }
    for (const char16_t c : afterPrefix) {
        if (c < 0x20 || c == u'"' || c == u'<' || c == u'>' || c == u'|') {
            return PathProblem::BadCharacter;
        }
    }
    return PathProblem::None;
}

void checkPath(Platform& platform, const Text& path) {
    if (const PathProblem problem = syntaxProblem(path); problem != PathProblem::None) {
        throw PathCheckError(problem, path);
    }
    Text absolute;
    try {
        absolute = platform.makeAbsolute(path);
    } catch (const PlatformError& error) {
        if (error.code() != winerr::kFileNotFound) {
            throw PathCheckError(PathProblem::Unresolvable, path);
        }
        absolute = path;
    }
    if (!directoryExists(platform, containingFolder(absolute))) {
        throw PathCheckError(PathProblem::NoFolder, path);
    }
}

void checkExistingFile(Platform& platform, const Text& path) {
    checkPath(platform, path);
    if (!fileExists(platform, path)) {
        throw PathCheckError(PathProblem::NotAFile, path);
    }
}

}  // namespace tavro
