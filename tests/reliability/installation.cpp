#include "installation.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <map>
#include <stdexcept>

#include "temp_dir.h"

namespace tavro::testing {

namespace fs = std::filesystem;

namespace {

std::string pattern(const std::string& word, size_t size) {
    std::string out;
    out.reserve(size);
    for (size_t i = 0; out.size() < size; ++i) {
        out += word + std::to_string(i) + "\n";
    }
    out.resize(size);
    return out;
}

std::string label(const std::string& content) {
    if (content == Installation::newContent()) {
        return "new";
    }
    if (content == Installation::newContentU()) {
        return "newU";
    }
    if (content.size() <= 16) {
        return content;
    }
    return "<" + std::to_string(content.size()) + " other bytes>";
}

}  // namespace

const std::string& Installation::newContent() {
    static const std::string content = pattern("new ", 600'000);
    return content;
}

const std::string& Installation::newContentU() {
    static const std::string content = pattern("new U ", 300'000);
    return content;
}

Installation::Installation() : root_(tmp_.path()) {
    // A temporary folder is private; the driver may run as another user.
    fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
    fs::create_directories(outside());
    placeKit(root_ / "kit");
    usePrefix(root_ / "prefix");
    install("Tavro.exe", "old");
}

void Installation::placeKit(const fs::path& folder) {
    kit_ = folder;
    fs::create_directories(kit_);
    fs::copy_file(TAVRO_UPGRADE_DRIVER, kit_ / "TavroUpdate0075a",
                  fs::copy_options::overwrite_existing);
    writeFile(source('V'), newContent());
    writeFile(source('U'), newContentU());
    for (const char code : {'V', 'U'}) {
        systemPlatform().setCreationTime(fromUtf8(source(code).string()), kSourceTime);
    }
}

fs::path Installation::source(char code) const {
    return sourceRoot() / std::string(1, code) / "Tavro.exe";
}

fs::path Installation::productFolder(const std::string& product) const {
    return prefix_ / "drive_c" / "Program Files (x86)" / "Ostrel Industries" / product;
}

void Installation::install(const std::string& name, const std::string& content) const {
    writeFile(installDir() / name, content);
}

ChildResult Installation::run(const std::vector<std::string>& wrapper,
                              const std::map<std::string, std::string>& env) const {
    std::vector<std::string> argv = wrapper;
    argv.push_back((kit_ / "TavroUpdate0075a").string());
    std::map<std::string, std::string> environment = env;
    environment["WINEPREFIX"] = prefix_.string();
    return runChild(argv, environment, root_ / "out");
}

std::string describeFolder(const fs::path& folder) {
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (!fs::exists(status)) {
        return "<absent>";
    }
    if (!fs::is_directory(status)) {
        return "<file>";
    }
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_symlink()) {
            entries[name] = "->" + fs::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            entries[name] = "/";
        } else if (!entry.is_regular_file()) {
            entries[name] = "<special>";
        } else {
            entries[name] = "=" + label(readFile(entry.path()));
        }
    }
    std::string out;
    for (const auto& [name, what] : entries) {
        out += (out.empty() ? "" : " ") + name + what;
    }
    return out;
}

std::vector<std::string> successLines() {
    return {"Tavro Update Successful."};
}

std::vector<std::string> failureLines(const std::vector<std::string>& engineLines) {
    std::vector<std::string> lines = engineLines;
    lines.insert(lines.end(), {"Error Updating Tavro", "", "Update Failed!"});
    return lines;
}

}  // namespace tavro::testing
