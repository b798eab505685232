#pragma once

#include <QApplication>
#include <exception>

// Thrown to end a handler quietly: the standard error box stays closed.
class SilentAbort : public std::exception {
  public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// The text the standard error box shows: the failure's message, with a full
// stop appended when its last character sorts after the full stop.
QString errorBoxText(const QString& message);

// Shows a failure that escaped an event handler in the standard error box;
// the message loop then goes on.
void showUnhandledFailure(const std::exception& failure);

// The application object: a failure escaping any event handler reaches the
// standard error box instead of ending the program.
class TApplication : public QApplication {
  public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
