#include "temp_dir.h"

#include <stdlib.h>

#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace tavro::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
#ifdef _WIN32
    // No mkdtemp here: random names until one is ours.
    std::random_device random;
    do {
        path_ = fs::temp_directory_path() / ("tavro-test-" + std::to_string(random()));
    } while (!fs::create_directory(path_));
#else
    std::string pattern = (fs::temp_directory_path() / "tavro-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = buffer.data();
#endif
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may take away permissions; give them back so everything goes.
    for (auto it = fs::recursive_directory_iterator(path_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path_, ignored);
}

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "<unreadable>";
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string snapshot(const fs::path& root) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).string();
        if (entry.is_symlink()) {
            entries[name] = "->" + fs::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            entries[name] = "/";
        } else {
            entries[name] = "=" + readFile(entry.path());
        }
    }
    std::string out;
    for (const auto& [name, what] : entries) {
        out += name + what + "\n";
    }
    return out;
}

}  // namespace tavro::testing
