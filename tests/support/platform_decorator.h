#pragma once

#include <functional>

#include "platform.h"

namespace tavro::testing {

// Passes every call on to the real platform; tests override what they steer.
class PlatformDecorator : public Platform {
  public:
    explicit PlatformDecorator(Platform& inner = systemPlatform()) : inner_(inner) {}

    Text programFilesX86() override { return inner_.programFilesX86(); }
    Text ownExecutablePath() override { return inner_.ownExecutablePath(); }
    PathAttributes attributes(const Text& p) override { return inner_.attributes(p); }
    bool linkTargetOpens(const Text& p, bool d) override { return inner_.linkTargetOpens(p, d); }
    bool searchFindsFile(const Text& p) override { return inner_.searchFindsFile(p); }
    Text makeAbsolute(const Text& p) override { return inner_.makeAbsolute(p); }
    void copyToNew(const Text& s, const Text& d) override { inner_.copyToNew(s, d); }
    void keepBackup(const Text& i, const Text& b) override { inner_.keepBackup(i, b); }
    void undoBackup(const Text& i, const Text& b) override { inner_.undoBackup(i, b); }
    void swapIn(const Text& f, const Text& i) override { inner_.swapIn(f, i); }
    void flushFolder(const Text& p) override { inner_.flushFolder(p); }
    void removeFile(const Text& p) override { inner_.removeFile(p); }
    FileTime creationTime(const Text& p) override { return inner_.creationTime(p); }
    void setCreationTime(const Text& p, FileTime t) override { inner_.setCreationTime(p, t); }

  private:
    Platform& inner_;
};

// The real platform, seen from a utility installed at `ownPath`.
class PlacedPlatform : public PlatformDecorator {
  public:
    explicit PlacedPlatform(Text ownPath) : ownPath_(std::move(ownPath)) {}
    Text ownExecutablePath() override { return ownPath_; }

  private:
    Text ownPath_;
};

}  // namespace tavro::testing
