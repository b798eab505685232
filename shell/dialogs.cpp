#include "dialogs.h"

#include <QGuiApplication>
#include <QMessageBox>

#include "application_title.h"

namespace {

Dialogs realDialogs;
Dialogs* current = &realDialogs;

void show(QMessageBox& box) {
    // No owner window: the box is centred on the screen, as before the main
    // window exists.
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace

void Dialogs::message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok);
    show(box);
}

void Dialogs::styleNotFound(const QString& styleName) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                    QStringLiteral("Style '%1' not found").arg(styleName));
    box.addButton(QStringLiteral("&Close"), QMessageBox::AcceptRole);
    show(box);
}

void Dialogs::error(const QString& text) {
    QMessageBox box(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok);
    show(box);
}

Dialogs& dialogs() {
    return *current;
}

void setDialogs(Dialogs* replacement) {
    current = replacement ? replacement : &realDialogs;
}
