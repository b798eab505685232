// TavroUpdate0075a: the program entry.
#include <QIcon>
#include <exception>

#include "Main.h"
#include "application.h"
#include "styles.h"

#ifdef TAVRO_BENCH_FIRST_PAINT
#include "first_paint_quit.h"
#endif

namespace {

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) {
        icon.addFile(QStringLiteral(":/icon/TavroUpdate0075a-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace

int main(int argc, char** argv) {
    // Nothing on the command line steers the program, so the toolkit sees none of it.
    int toolkitArgc = argc > 0 ? 1 : 0;
    TApplication application(toolkitArgc, argv);
    QApplication::setWindowIcon(applicationIcon());

    try {
        activateStyle(QStringLiteral("Auric"));
    } catch (const std::exception& failure) {
        // A carried style that cannot be read at all: say so, keep the default look.
        showUnhandledFailure(failure);
    }

    // A top-level window of its own, so the main window is the program's taskbar button.
    TForm2 Form2;
#ifdef TAVRO_BENCH_FIRST_PAINT
    new QuitAfterFirstPaint(Form2);
#endif
    Form2.show();
    return QApplication::exec();
}
