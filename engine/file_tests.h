#pragma once

#include "text.h"

namespace tavro {

class Platform;

// True when a directory exists at `path`, links followed. When its attributes
// cannot be read, only the reasons that mean "not there" answer false; any other
// reason, such as access denied, counts as present.
bool directoryExists(Platform& platform, const Text& path);

// True when a file, not a directory, exists at `path`, links followed.
bool fileExists(Platform& platform, const Text& path);

}  // namespace tavro
