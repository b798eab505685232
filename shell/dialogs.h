#pragma once

#include <QString>

// The program's modal message boxes. Tests install their own so that nothing
// ever blocks on a box nobody can press.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A plain message: the application's title, no icon, one OK button.
    virtual void message(const QString& text);
    // The box for a visual style the executable does not carry.
    virtual void styleNotFound(const QString& styleName);
    // The box for a failure that no handler caught.
    virtual void error(const QString& text);
};

Dialogs& dialogs();
// Installs `replacement` (not owned) in place of the real boxes; nullptr restores them.
void setDialogs(Dialogs* replacement);
