#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavro::testing {

// The system calls the replacement may change the disk with, and `close`,
// which reports late write errors. Unknown names are skipped on architectures
// that lack them.
std::string fileSystemCallNames();

// strace options that make its log readable by `readTrace`: children followed,
// every string and descriptor path printed in hex, no signal lines.
std::vector<std::string> straceOptions(const std::filesystem::path& log);

// One call as strace printed it.
struct TracedCall {
    std::string line;
    std::string name;
    std::vector<std::string> args;
    std::string result;  // after " = "; "?" when the call never returned
    bool injected = false;

    bool returned() const { return result != "?"; }
    bool succeeded() const { return returned() && !result.starts_with("-1"); }

    // The text of a quoted argument.
    std::optional<std::string> text(size_t arg) const;
    // The file behind a descriptor argument; none for AT_FDCWD.
    std::optional<std::string> fdPath(size_t arg) const;
    std::optional<int> fdNumber(size_t arg) const;
    // The file behind a returned descriptor.
    std::optional<std::string> resultPath() const;

    // Every file or folder entry the call names, resolved against its folder
    // descriptors where relative.
    std::vector<std::string> namedFiles() const;
    // The entries a successful call created, wrote, flushed, renamed, linked,
    // removed or gave attributes; empty for calls that change nothing.
    std::vector<std::string> changedEntries() const;

  private:
    std::vector<std::string> changedByCall() const;
};

struct Trace {
    std::vector<TracedCall> calls;
};

Trace readTrace(const std::filesystem::path& log);

}  // namespace tavro::testing
