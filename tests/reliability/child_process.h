#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tavro::testing {

struct ChildResult {
    bool exited = false;  // else killed by `signal`
    int exitCode = -1;
    int signal = 0;
    std::string out;
    std::string err;

    std::vector<std::string> outLines() const;
    std::string describe() const;
};

// Runs `argv` with the test's environment plus `env` (an empty value unsets),
// standard input from /dev/null, and both outputs captured through files in
// `scratch`. A child still running after `patienceSeconds` is killed with its
// whole process group, so a hang fails one case instead of the whole run.
ChildResult runChild(const std::vector<std::string>& argv,
                     const std::map<std::string, std::string>& env,
                     const std::filesystem::path& scratch, int patienceSeconds = 60);

}  // namespace tavro::testing
