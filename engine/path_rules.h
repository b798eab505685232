#pragma once

#include <stdexcept>

#include "text.h"

namespace tavro {

class Platform;

// The folder part of a path, up to and including its last separator: the last
// backslash or colon on Windows (C:\Kit\up.exe gives C:\Kit\, D:\up.exe gives D:\),
// the last slash on POSIX systems (/opt/kit/up gives /opt/kit/).
Text folderPartWindows(TextView path);
Text folderPartPosix(TextView path);
// The rule of the platform this build runs on.
Text folderPart(TextView path);

enum class PathProblem {
    None,
    TooLong,       // 260 code units or more without the extended-length prefix
    StrayColon,    // a colon other than a leading drive letter's
    Blank,         // nothing above U+0020, the empty path included
    BadCharacter,  // a control character or one of " < > |
    Unresolvable,  // the platform could not make it absolute
    NoFolder,      // its folder is not a directory
    NotAFile,      // no file at the path
};

// Raised when a path fails its checks; the upgrade turns it into a failed run.
class PathCheckError : public std::runtime_error {
  public:
    PathCheckError(PathProblem problem, const Text& path);
    PathProblem problem() const noexcept { return problem_; }

  private:
    PathProblem problem_;
};

// The checks that need no file system: length, colon, blank, characters.
PathProblem syntaxProblem(TextView path);

// All checks for a path that is about to be written or renamed to.
void checkPath(Platform& platform, const Text& path);
// All checks, and a file must exist there.
void checkExistingFile(Platform& platform, const Text& path);

}  // namespace tavro
