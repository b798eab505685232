#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform_decorator.h"
#include "temp_dir.h"

namespace tavro::testing {

// A utility in <tmp>/kit beside a Wine-style prefix in <tmp>/prefix, which the
// real platform finds through WINEPREFIX.
class DetectionFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* old = std::getenv("WINEPREFIX")) {
            savedPrefix_ = old;
        }
        ::setenv("WINEPREFIX", (tmp / "prefix").c_str(), 1);
        std::filesystem::create_directories(maker());
    }
    void TearDown() override {
        if (savedPrefix_) {
            ::setenv("WINEPREFIX", savedPrefix_->c_str(), 1);
        } else {
            ::unsetenv("WINEPREFIX");
        }
    }

    std::filesystem::path maker() const {
        return tmp / "prefix" / "drive_c" / "Program Files (x86)" / "Ostrel Industries";
    }
    std::filesystem::path productFolder(ProductRow row) const {
        return maker() / toUtf8(productInfo(row).folderName);
    }
    std::filesystem::path kit() const { return tmp / "kit"; }
    static Text text(const std::filesystem::path& p) { return fromUtf8(p.string()); }

    TempDir tmp;
    PlacedPlatform platform{text(tmp / "kit" / "TavroUpdate0075a")};
    TargetRecord record;

  private:
    std::optional<std::string> savedPrefix_;
};

}  // namespace tavro::testing
