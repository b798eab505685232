#include "styles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStyleFactory>
#include <stdexcept>

#include "dialogs.h"

namespace {

const QString kStyleFolder = QStringLiteral(":/styles");

// A style sheet names itself in its first comment: /* Style: Auric */
QString styleNameOf(const QString& sheet) {
    const QString firstLine = sheet.section(u'\n', 0, 0).trimmed();
    const QString prefix = QStringLiteral("/* Style:");
    if (!firstLine.startsWith(prefix) || !firstLine.endsWith(QStringLiteral("*/"))) {
        return {};
    }
    return firstLine.mid(prefix.size(), firstLine.size() - prefix.size() - 2).trimmed();
}

}  // namespace

std::vector<CarriedStyle> carriedStyles() {
    std::vector<CarriedStyle> styles;
    const QDir folder(kStyleFolder);
    for (const QString& resourceName : folder.entryList(QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(resourceName));
        if (!file.open(QIODevice::ReadOnly)) {
            throw std::runtime_error("Cannot load style resource " + resourceName.toStdString());
        }
        const QString sheet = QString::fromUtf8(file.readAll());
        const QString styleName = styleNameOf(sheet);
        if (styleName.isEmpty()) {
            throw std::runtime_error("Style resource " + resourceName.toStdString() +
                                     " carries no style name");
        }
        styles.push_back({resourceName, styleName, sheet});
    }
    return styles;
}

const CarriedStyle* findStyle(const std::vector<CarriedStyle>& styles, const QString& name) {
    for (const CarriedStyle& style : styles) {
        if (style.styleName.compare(name, Qt::CaseInsensitive) == 0) {
            return &style;
        }
    }
    return nullptr;
}

bool activateStyle(const QString& name) {
    const std::vector<CarriedStyle> styles = carriedStyles();
    const CarriedStyle* style = findStyle(styles, name);
    if (style == nullptr) {
        dialogs().styleNotFound(name);
        return false;
    }
    // Fusion draws every control from the sheet the same way on every platform.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    qApp->setStyleSheet(style->sheet);
    return true;
}
