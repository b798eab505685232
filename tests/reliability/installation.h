#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "child_process.h"
#include "platform.h"
#include "temp_dir.h"

namespace tavro::testing {

// A kit (the upgrade driver beside TavroUpdateFiles/V and /U) and a Wine
// prefix holding "Vinta-Prell" with Tavro.exe, in one temporary folder that
// every user may read, so the driver can also run without rights.
class Installation {
  public:
    // Bigger than one read/write chunk of the copy, so a copy takes several calls.
    static const std::string& newContent();
    static const std::string& newContentU();
    static constexpr FileTime kSourceTime{130'000'000'001'234'567ULL};
    static constexpr FileTime kSourceTimeMs{130'000'000'001'230'000ULL};

    Installation();
    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

    const std::filesystem::path& root() const { return root_; }
    // Link targets and other files that no run may touch.
    std::filesystem::path outside() const { return root_ / "outside"; }

    // Puts the driver and both new executables into `folder`, now the kit.
    void placeKit(const std::filesystem::path& folder);
    const std::filesystem::path& kit() const { return kit_; }
    std::filesystem::path source(char code = 'V') const;
    std::filesystem::path sourceRoot() const { return kit_ / "TavroUpdateFiles"; }

    // The Wine prefix the driver is given; nothing is created in it.
    void usePrefix(const std::filesystem::path& prefix) { prefix_ = prefix; }
    const std::filesystem::path& prefix() const { return prefix_; }
    std::filesystem::path productFolder(const std::string& product) const;
    // The folder the upgrade is expected to write to.
    std::filesystem::path installDir() const { return productFolder(product_); }
    void targetProduct(const std::string& product) { product_ = product; }
    char sourceCode() const { return product_ == "Ulvo-Damar" ? 'U' : 'V'; }

    // Creates the install folder with `name` holding `content`.
    void install(const std::string& name, const std::string& content) const;

    // Runs the driver, behind `wrapper` (strace, setpriv ...) when given.
    ChildResult run(const std::vector<std::string>& wrapper = {},
                    const std::map<std::string, std::string>& env = {}) const;

  private:
    TempDir tmp_;
    std::filesystem::path root_;
    std::filesystem::path kit_;
    std::filesystem::path prefix_;
    std::string product_ = "Vinta-Prell";
};

// Entries of `folder` in name order, contents named where known:
// "Tavro.exe=new TavroOld.exe=old", a link as "name->target", a folder as
// "name/", anything else as "name<special>"; "<absent>" or "<file>" when
// `folder` is no folder.
std::string describeFolder(const std::filesystem::path& folder);

// The lines the window shows after an upgrade run.
std::vector<std::string> successLines();
std::vector<std::string> failureLines(const std::vector<std::string>& engineLines = {});

}  // namespace tavro::testing
