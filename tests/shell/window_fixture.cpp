#include "window_fixture.h"

#include <stdlib.h>

namespace tavro::testing {

namespace fs = std::filesystem;

WindowWorld::WindowWorld() : platform(fromUtf8((tmp / "kit" / "TavroUpdate0075a").string())) {
    if (const char* old = std::getenv("WINEPREFIX")) {
        savedPrefix_ = old;
    }
    ::setenv("WINEPREFIX", (tmp / "prefix").c_str(), 1);
    fs::create_directories(tmp / "prefix" / "drive_c" / "Program Files (x86)" /
                           "Ostrel Industries");
    for (const char* code : {"V", "U"}) {
        const fs::path source = tmp / "kit" / "TavroUpdateFiles" / code / "Tavro.exe";
        writeFile(source, std::string("new-") + code);
        // Well before the copy's own birth, so an unset time can never pass for it.
        systemPlatform().setCreationTime(fromUtf8(source.string()),
                                         FileTime{130'000'000'000'000'000});
    }
    setDialogs(&boxes);
}

WindowWorld::~WindowWorld() {
    setDialogs(nullptr);
    if (savedPrefix_) {
        ::setenv("WINEPREFIX", savedPrefix_->c_str(), 1);
    } else {
        ::unsetenv("WINEPREFIX");
    }
}

fs::path WindowWorld::productFolder(const char* name) const {
    return tmp / "prefix" / "drive_c" / "Program Files (x86)" / "Ostrel Industries" / name;
}

void WindowWorld::installProduct(const char* name, const std::string& exe) {
    fs::create_directories(productFolder(name));
    if (!exe.empty()) {
        writeFile(productFolder(name) / "Tavro.exe", exe);
    }
}

QString WindowWorld::kitSources() const {
    return QString::fromStdString((tmp / "kit" / "TavroUpdateFiles").string());
}

}  // namespace tavro::testing
