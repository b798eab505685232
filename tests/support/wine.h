#pragma once

namespace tavro::testing {

// True when the tests run under Wine rather than on Windows; false elsewhere.
bool runningUnderWine();

// Whether a creation time given to a file stays with it. Wine on Linux accepts
// one and drops it: it reports a file's last-write time as its creation time,
// and a copy carries its source's last-write time over.
bool creationTimesKept();

}  // namespace tavro::testing
