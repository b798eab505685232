#include "fonts.h"

#include <QApplication>
#include <QFontDatabase>

namespace {

const QString kFamily = QStringLiteral("Tahoma");

void ensureTahoma() {
    static const bool done = [] {
        if (!QFontDatabase::hasFamily(kFamily)) {
            QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));
        }
        return true;
    }();
    (void)done;
}

}  // namespace

QFont tahoma(int pixels) {
    ensureTahoma();
    QFont font(kFamily);
    font.setPixelSize(pixels);
    return font;
}

void useTahomaThroughout() {
    // Also replaces any font the platform gives particular kinds of control.
    QApplication::setFont(tahoma(11));
}
