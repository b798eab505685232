#pragma once

#include <QStringList>
#include <filesystem>
#include <memory>
#include <optional>

#include "Main.h"
#include "dialogs.h"
#include "platform_decorator.h"
#include "qt_text.h"
#include "temp_dir.h"

namespace tavro::testing {

// Boxes that record what they would have shown and return at once.
class RecordingDialogs : public Dialogs {
  public:
    void message(const QString& text) override { messages << text; }
    void styleNotFound(const QString& name) override { missingStyles << name; }
    void error(const QString& text) override { errors << text; }
    QStringList messages;
    QStringList missingStyles;
    QStringList errors;
};

// Counts the calls that mark a probe and a copy, so tests see what ran.
class CountingPlatform : public PlacedPlatform {
  public:
    using PlacedPlatform::PlacedPlatform;
    Text programFilesX86() override {
        if (++probes == failProbe) {
            throw PlatformError(winerr::kNotEnoughMemory, "Finding the Program Files folder");
        }
        return PlacedPlatform::programFilesX86();
    }
    void copyToNew(const Text& s, const Text& d) override {
        ++copies;
        PlacedPlatform::copyToNew(s, d);
    }
    void setCreationTime(const Text& p, FileTime t) override {
        if (refuseCreationTime) {
            throw PlatformError(winerr::kNotSupported, "Setting the creation time");
        }
        PlacedPlatform::setCreationTime(p, t);
    }
    int probes = 0;
    int failProbe = 0;  // the probe that fails, counting from 1; 0 for none
    int copies = 0;
    bool refuseCreationTime = false;
};

// A kit in <tmp>/kit with new executables for both products, and a Wine-style
// prefix in <tmp>/prefix where each test installs what it needs.
class WindowWorld {
  public:
    WindowWorld();
    ~WindowWorld();
    WindowWorld(const WindowWorld&) = delete;
    WindowWorld& operator=(const WindowWorld&) = delete;

    std::filesystem::path productFolder(const char* name) const;
    void installProduct(const char* name, const std::string& exe = "old");
    QString kitSources() const;

    TempDir tmp;
    RecordingDialogs boxes;
    CountingPlatform platform;

  private:
    std::optional<std::string> savedPrefix_;
};

}  // namespace tavro::testing
