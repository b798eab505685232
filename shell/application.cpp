#include "application.h"

#include "dialogs.h"

QString errorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > u'.') {
        return message + u'.';
    }
    return message;
}

void showUnhandledFailure(const std::exception& failure) {
    if (dynamic_cast<const SilentAbort*>(&failure) != nullptr) {
        return;
    }
    dialogs().error(errorBoxText(QString::fromUtf8(failure.what())));
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        showUnhandledFailure(failure);
    } catch (...) {
        dialogs().error(errorBoxText(QStringLiteral("Unexpected failure")));
    }
    return true;
}
