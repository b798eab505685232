#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "creation_time_attr.h"
#include "platform.h"
#include "target_record.h"
#include "temp_dir.h"
#include "wine.h"

namespace tavro::testing {

// A kit with new executables for both products and one install folder, and a
// record targeting the first product, as detection leaves it.
class UpgradeFixture : public ::testing::Test {
  public:
    // Odd on purpose: below the millisecond, so truncation shows.
    static constexpr FileTime kSourceTime{130'000'000'001'234'567ULL};
    static constexpr FileTime kSourceTimeMs{130'000'000'001'230'000ULL};

    void SetUp() override { useInstallFolder(tmp / "pf" / "Ostrel Industries" / "Vinta-Prell"); }

    void useInstallFolder(const std::filesystem::path& folder) {
        installDir = folder;
        record.FilesPath = text(kitDir / "TavroUpdateFiles");
        record.Product = Text{kPathSeparator, u'V'};
        record.AppName = u"Vinta-Prell";
        record.WindowsX86FilesPath = text(folder);
        record.TavroExeName = text(folder / "Tavro.exe");
        record.TavroRenamed = text(folder / "TavroOld.exe");
    }

    void useKitFolder(const std::filesystem::path& folder) {
        kitDir = folder;
        record.FilesPath = text(kitDir / "TavroUpdateFiles");
    }

    std::filesystem::path source() const { return kitDir / "TavroUpdateFiles" / "V" / "Tavro.exe"; }

    void writeSource(const std::string& content = "new") {
        writeFile(source(), content);
        systemPlatform().setCreationTime(text(source()), kSourceTime);
    }
    void install(const std::string& name, const std::string& content) {
        writeFile(installDir / name, content);
    }
    FileTime installedTime() const {
        return systemPlatform().creationTime(text(installDir / "Tavro.exe"));
    }
    // The creation time a successful upgrade leaves on the installed executable.
    // Wine keeps none: both files report the last-write time the copy carried over.
    FileTime upgradedTime() const {
        return creationTimesKept() ? kSourceTimeMs : systemPlatform().creationTime(text(source()));
    }

    static Text text(const std::filesystem::path& p) { return fromUtf8(p.string()); }

    TempDir tmp;
    std::filesystem::path kitDir = tmp / "kit";
    std::filesystem::path installDir;
    TargetRecord record;
    std::vector<Text> log;
};

class VectorLog : public LogSink {
  public:
    explicit VectorLog(std::vector<Text>& lines) : lines_(lines) {}
    void addLogLine(const Text& line) override { lines_.push_back(line); }

  private:
    std::vector<Text>& lines_;
};

}  // namespace tavro::testing
