#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "temp_dir.h"

extern char** environ;

namespace tavro::testing {

namespace fs = std::filesystem;

std::vector<std::string> ChildResult::outLines() const {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string ChildResult::describe() const {
    std::ostringstream s;
    if (exited) {
        s << "exit " << exitCode;
    } else {
        s << "signal " << signal;
    }
    s << "\n--- stdout\n" << out << "--- stderr\n" << err;
    return s.str();
}

namespace {

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (!changes.contains(name)) {
            env.push_back(entry);
        }
    }
    for (const auto& [name, value] : changes) {
        if (!value.empty()) {
            env.push_back(name + "=" + value);
        }
    }
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) {
        out.push_back(s.data());
    }
    out.push_back(nullptr);
    return out;
}

void check(int rc, const char* what) {
    if (rc != 0) {
        throw std::runtime_error(std::string(what) + ": " + std::strerror(rc));
    }
}

}  // namespace

ChildResult runChild(const std::vector<std::string>& argv,
                     const std::map<std::string, std::string>& env, const fs::path& scratch,
                     int patienceSeconds) {
    fs::create_directories(scratch);
    const fs::path outFile = scratch / "child.out";
    const fs::path errFile = scratch / "child.err";

    posix_spawn_file_actions_t actions;
    check(posix_spawn_file_actions_init(&actions), "posix_spawn_file_actions_init");
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawnattr_t attributes;
    check(posix_spawnattr_init(&attributes), "posix_spawnattr_init");
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<std::string> args = argv;
    std::vector<std::string> envStrings = environmentWith(env);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args.at(0).c_str(), &actions, &attributes,
                                pointers(args).data(), pointers(envStrings).data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    check(rc, ("cannot start " + args.at(0)).c_str());

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(patienceSeconds);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            throw std::runtime_error("waitpid failed");
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        const timespec pause{0, 2'000'000};
        ::nanosleep(&pause, nullptr);
    }

    ChildResult result;
    result.exited = WIFEXITED(status);
    result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.out = readFile(outFile);
    result.err = readFile(errFile);
    return result;
}

}  // namespace tavro::testing
