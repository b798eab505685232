#include "strace_log.h"

#include <fcntl.h>

#include <cctype>
#include <fstream>
#include <map>
#include <stdexcept>

namespace tavro::testing {

namespace fs = std::filesystem;

std::string fileSystemCallNames() {
    static const char* const kNames[] = {
        "open",      "openat",          "openat2",      "creat",
        "rename",    "renameat",        "renameat2",    "link",
        "linkat",    "symlink",         "symlinkat",    "unlink",
        "unlinkat",  "rmdir",           "mkdir",        "mkdirat",
        "truncate",  "ftruncate",       "fallocate",    "write",
        "writev",    "pwrite64",        "pwritev",      "pwritev2",
        "sendfile",  "copy_file_range", "ioctl",        "fsync",
        "fdatasync", "sync_file_range", "setxattr",     "lsetxattr",
        "fsetxattr", "removexattr",     "lremovexattr", "fremovexattr",
        "chmod",     "fchmod",          "fchmodat",     "chown",
        "fchown",    "lchown",          "fchownat",     "utimensat",
        "close",
    };
    std::string out;
    for (const char* name : kNames) {
        out += (out.empty() ? "?" : ",?") + std::string(name);
    }
    return out;
}

std::vector<std::string> straceOptions(const fs::path& log) {
    return {"-f", "-qq", "-y", "-xx", "-s", "64", "-e", "signal=none", "-o", log.string()};
}

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

// strace's C-style escapes back to bytes.
std::string unescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        if (c == 'x' && i + 2 < s.size()) {
            out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
            i += 2;
        } else if (c >= '0' && c <= '7') {
            int value = 0;
            size_t n = 0;
            while (n < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7') {
                value = value * 8 + (s[i] - '0');
                ++i;
                ++n;
            }
            --i;
            out += static_cast<char>(value);
        } else {
            static const std::map<char, char> kSimple = {{'n', '\n'}, {'t', '\t'}, {'r', '\r'},
                                                         {'v', '\v'}, {'f', '\f'}, {'\\', '\\'},
                                                         {'"', '"'}};
            const auto it = kSimple.find(c);
            out += it == kSimple.end() ? c : it->second;
        }
    }
    return out;
}

// The path inside "<...>" that follows a descriptor, without a " (deleted)" mark.
std::optional<std::string> annotation(std::string_view printed) {
    const auto open = printed.find('<');
    if (open == std::string_view::npos || printed.back() != '>') {
        return std::nullopt;
    }
    std::string path = unescape(printed.substr(open + 1, printed.size() - open - 2));
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted)) {
        path.resize(path.size() - kDeleted.size());
    }
    return path;
}

// Walks strace's argument text from `from`, passing over quoted strings (with
// their escapes) and descriptor paths "<...>". Every other character is shown to
// `visit` with the bracket depth it leaves; `visit` returns false to stop.
template <typename Visit>
void walkArgs(std::string_view s, size_t from, Visit visit) {
    int depth = 0;
    bool quoted = false;
    bool inPath = false;
    for (size_t i = from; i < s.size(); ++i) {
        const char c = s[i];
        if (quoted) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                quoted = false;
            }
            continue;
        }
        if (inPath) {
            inPath = c != '>';
            continue;
        }
        if (c == '"') {
            quoted = true;
        } else if (c == '<') {
            inPath = true;
        } else if (c == '(' || c == '[' || c == '{') {
            ++depth;
        } else if (c == ')' || c == ']' || c == '}') {
            --depth;
        }
        if (!visit(i, depth)) {
            return;
        }
    }
}

// Splits "a, b, c" at commas outside quotes, brackets and descriptor paths.
std::vector<std::string> splitArgs(std::string_view s) {
    std::vector<std::string> args;
    size_t start = 0;
    walkArgs(s, 0, [&](size_t i, int depth) {
        if (s[i] == ',' && depth == 0) {
            args.emplace_back(s.substr(start, i - start));
            start = i + 1;
            while (start < s.size() && s[start] == ' ') {
                ++start;
            }
        }
        return true;
    });
    if (start < s.size()) {
        args.emplace_back(s.substr(start));
    }
    return args;
}

// Where the argument list that starts at `open` ends.
size_t closingParen(std::string_view s, size_t open) {
    size_t close = std::string_view::npos;
    walkArgs(s, open, [&](size_t i, int depth) {
        if (depth == 0 && (s[i] == ')' || s[i] == ']' || s[i] == '}')) {
            close = i;
            return false;
        }
        return true;
    });
    return close;
}

std::string stripPid(const std::string& line) {
    size_t i = 0;
    if (line.starts_with("[pid")) {
        i = line.find(']') + 1;
    } else {
        while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
            ++i;
        }
    }
    while (i < line.size() && line[i] == ' ') {
        ++i;
    }
    return line.substr(i);
}

std::string joined(const std::optional<std::string>& folder, const std::string& path) {
    if (path.starts_with('/') || !folder) {
        return path;
    }
    return *folder + "/" + path;
}

bool opensForWriting(const std::string& flags) {
    return flags.find("O_WRONLY") != std::string::npos ||
           flags.find("O_RDWR") != std::string::npos ||
           flags.find("O_CREAT") != std::string::npos || flags.find("O_TRUNC") != std::string::npos;
}

}  // namespace

std::optional<std::string> TracedCall::text(size_t arg) const {
    if (arg >= args.size() || !args[arg].starts_with('"')) {
        return std::nullopt;
    }
    const std::string& a = args[arg];
    const auto close = a.rfind('"');
    return unescape(std::string_view(a).substr(1, close - 1));
}

std::optional<std::string> TracedCall::fdPath(size_t arg) const {
    if (arg >= args.size() || args[arg].starts_with("AT_FDCWD")) {
        return std::nullopt;
    }
    return annotation(args[arg]);
}

std::optional<int> TracedCall::fdNumber(size_t arg) const {
    if (arg >= args.size() || args[arg].empty() ||
        !std::isdigit(static_cast<unsigned char>(args[arg][0]))) {
        return std::nullopt;
    }
    return std::stoi(args[arg]);
}

std::optional<std::string> TracedCall::resultPath() const {
    if (!succeeded()) {
        return std::nullopt;
    }
    return annotation(result.substr(0, result.find(' ')));
}

namespace {

// Where each call keeps its file arguments.
struct Signature {
    std::vector<size_t> paths;                       // plain path arguments
    std::vector<std::pair<size_t, size_t>> atPaths;  // (folder descriptor, path)
    std::vector<size_t> fds;                         // descriptors
};

const std::map<std::string, Signature>& signatures() {
    static const std::map<std::string, Signature> kSignatures = {
        {"open", {{0}, {}, {}}},
        {"creat", {{0}, {}, {}}},
        {"openat", {{}, {{0, 1}}, {}}},
        {"openat2", {{}, {{0, 1}}, {}}},
        {"rename", {{0, 1}, {}, {}}},
        {"link", {{0, 1}, {}, {}}},
        {"symlink", {{1}, {}, {}}},
        {"unlink", {{0}, {}, {}}},
        {"rmdir", {{0}, {}, {}}},
        {"mkdir", {{0}, {}, {}}},
        {"truncate", {{0}, {}, {}}},
        {"chmod", {{0}, {}, {}}},
        {"chown", {{0}, {}, {}}},
        {"lchown", {{0}, {}, {}}},
        {"setxattr", {{0}, {}, {}}},
        {"lsetxattr", {{0}, {}, {}}},
        {"removexattr", {{0}, {}, {}}},
        {"lremovexattr", {{0}, {}, {}}},
        {"renameat", {{}, {{0, 1}, {2, 3}}, {}}},
        {"renameat2", {{}, {{0, 1}, {2, 3}}, {}}},
        {"linkat", {{}, {{0, 1}, {2, 3}}, {}}},
        {"symlinkat", {{}, {{1, 2}}, {}}},
        {"unlinkat", {{}, {{0, 1}}, {}}},
        {"mkdirat", {{}, {{0, 1}}, {}}},
        {"fchmodat", {{}, {{0, 1}}, {}}},
        {"fchownat", {{}, {{0, 1}}, {}}},
        {"utimensat", {{}, {{0, 1}}, {0}}},
        {"copy_file_range", {{}, {}, {0, 2}}},
        {"sendfile", {{}, {}, {0, 1}}},
    };
    return kSignatures;
}

// Calls whose first argument is the descriptor they work on.
bool worksOnFirstDescriptor(const std::string& name) {
    static const char* const kNames[] = {
        "write",     "writev",          "pwrite64",  "pwritev",
        "pwritev2",  "ftruncate",       "fallocate", "fsync",
        "fdatasync", "sync_file_range", "fsetxattr", "fremovexattr",
        "fchmod",    "fchown",          "close",     "ioctl"};
    for (const char* n : kNames) {
        if (name == n) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<std::string> TracedCall::namedFiles() const {
    std::vector<std::string> files;
    const auto add = [&](const std::optional<std::string>& f) {
        if (f) {
            files.push_back(*f);
        }
    };
    if (worksOnFirstDescriptor(name)) {
        add(fdPath(0));
        return files;
    }
    const auto it = signatures().find(name);
    if (it == signatures().end()) {
        return files;
    }
    for (const size_t p : it->second.paths) {
        add(text(p));
    }
    for (const auto& [dir, p] : it->second.atPaths) {
        if (const auto path = text(p)) {
            files.push_back(joined(fdPath(dir), *path));
        } else {
            add(fdPath(dir));
        }
    }
    for (const size_t fd : it->second.fds) {
        add(fdPath(fd));
    }
    return files;
}

std::vector<std::string> TracedCall::changedEntries() const {
    std::vector<std::string> entries = changedByCall();
    // Pipes and sockets show as "pipe:[...]": no entry of the file system.
    std::erase_if(entries, [](const std::string& entry) { return !entry.starts_with('/'); });
    return entries;
}

std::vector<std::string> TracedCall::changedByCall() const {
    if (!succeeded()) {
        return {};
    }
    if (name == "open" || name == "creat" || name == "openat" || name == "openat2") {
        const size_t flagsArg = name == "open" ? 1 : 2;
        const bool writing =
            name == "creat" || (flagsArg < args.size() && opensForWriting(args[flagsArg]));
        if (!writing) {
            return {};
        }
        // The file actually opened, links followed, is what gets written.
        const auto opened = resultPath();
        return opened ? std::vector<std::string>{*opened} : namedFiles();
    }
    if (name == "close") {
        return {};
    }
    if (name == "ioctl") {
        const bool clones = args.size() > 1 && args[1].find("FICLONE") != std::string::npos;
        return clones ? namedFiles() : std::vector<std::string>{};
    }
    if (name == "copy_file_range") {
        return fdPath(2) ? std::vector<std::string>{*fdPath(2)} : std::vector<std::string>{};
    }
    if (name == "sendfile") {
        return fdPath(0) ? std::vector<std::string>{*fdPath(0)} : std::vector<std::string>{};
    }
    if (name == "link" || name == "symlink") {
        return text(1) ? std::vector<std::string>{*text(1)} : std::vector<std::string>{};
    }
    if (name == "linkat") {
        return text(3) ? std::vector<std::string>{joined(fdPath(2), *text(3))}
                       : std::vector<std::string>{};
    }
    return namedFiles();
}

Trace readTrace(const fs::path& log) {
    std::ifstream in(log);
    if (!in) {
        throw std::runtime_error("no strace log at " + log.string());
    }
    Trace trace;
    for (std::string raw; std::getline(in, raw);) {
        const std::string line = stripPid(raw);
        const auto open = line.find('(');
        if (line.starts_with("+++") || line.starts_with("---") || line.starts_with("<...") ||
            open == std::string::npos) {
            continue;
        }
        const auto close = closingParen(line, open);
        if (close == std::string::npos) {
            continue;
        }
        TracedCall call;
        call.line = raw;
        call.name = line.substr(0, open);
        call.args = splitArgs(std::string_view(line).substr(open + 1, close - open - 1));
        const auto eq = line.find(" = ", close);
        call.result = eq == std::string::npos ? "?" : line.substr(eq + 3);
        if (call.result.starts_with("?")) {
            call.result = "?";
        }
        call.injected = line.find("(INJECTED)", close) != std::string::npos;
        trace.calls.push_back(std::move(call));
    }
    return trace;
}

}  // namespace tavro::testing
