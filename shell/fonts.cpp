#include "fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

const QString kFamily = QStringLiteral("Tahoma");

void ensureTahoma() {
    static const bool done = [] {
        if (!QFontDatabase::families().contains(kFamily, Qt::CaseInsensitive)) {
            QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));
            QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf"));
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
