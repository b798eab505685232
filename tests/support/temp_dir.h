#pragma once

#include <filesystem>
#include <string>

namespace tavro::testing {

// A fresh folder on the real file system, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& rel) const { return path_ / rel; }

  private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, const std::string& content);
std::string readFile(const std::filesystem::path& path);

// Every entry under `root` (links not followed) with its kind and content:
// a file as "name=content", a link as "name->target", a folder as "name/".
std::string snapshot(const std::filesystem::path& root);

}  // namespace tavro::testing
