#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform_decorator.h"
#include "temp_dir.h"

namespace tavro::testing {

#ifdef _WIN32
// Windows takes the 32-bit Program Files folder from the shell, which no test
// can move: the probe is pointed at the prefix's folder instead.
class PrefixedPlatform : public PlacedPlatform {
  public:
    PrefixedPlatform(Text ownPath, Text programFiles)
        : PlacedPlatform(std::move(ownPath)), programFiles_(std::move(programFiles)) {}
    Text programFilesX86() override { return programFiles_; }

  private:
    Text programFiles_;
};
#else
// The real platform finds the prefix's folder through WINEPREFIX.
class PrefixedPlatform : public PlacedPlatform {
  public:
    PrefixedPlatform(Text ownPath, const Text&) : PlacedPlatform(std::move(ownPath)) {}
};
#endif

// A utility in <tmp>/kit beside a Wine-style prefix in <tmp>/prefix, which the
// real platform finds through WINEPREFIX.
class DetectionFixture : public ::testing::Test {
  protected:
    void SetUp() override {
#ifndef _WIN32
        if (const char* old = std::getenv("WINEPREFIX")) {
            savedPrefix_ = old;
        }
        ::setenv("WINEPREFIX", (tmp / "prefix").c_str(), 1);
#endif
        std::filesystem::create_directories(maker());
    }
    void TearDown() override {
#ifndef _WIN32
        if (savedPrefix_) {
            ::setenv("WINEPREFIX", savedPrefix_->c_str(), 1);
        } else {
            ::unsetenv("WINEPREFIX");
        }
#endif
    }

    std::filesystem::path maker() const {
        return tmp / "prefix" / "drive_c" / "Program Files (x86)" / "Ostrel Industries";
    }
    std::filesystem::path productFolder(ProductRow row) const {
        return maker() / toUtf8(productInfo(row).folderName);
    }
    std::filesystem::path kit() const {
        return tmp / "kit";
    }
    static Text text(const std::filesystem::path& p) {
        return fromUtf8(p.string());
    }

    TempDir tmp;
    PrefixedPlatform platform{text(tmp / "kit" / "TavroUpdate0075a"),
                              text(tmp / "prefix" / "drive_c" / "Program Files (x86)")};
    TargetRecord record;

  private:
    std::optional<std::string> savedPrefix_;
};

}  // namespace tavro::testing
