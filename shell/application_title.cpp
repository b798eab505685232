#include "application_title.h"

#include <QCoreApplication>

QString applicationTitleFrom(const QString& executablePath) {
    QString name = executablePath;
    const qsizetype folderEnd = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    name = name.mid(folderEnd + 1);
    if (const qsizetype dot = name.indexOf(u'.'); dot >= 0) {
        name.truncate(dot);
    }
    return name.left(1) + name.mid(1).toLower();
}

QString applicationTitle() {
    return applicationTitleFrom(QCoreApplication::applicationFilePath());
}
