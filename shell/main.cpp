// TavroUpdate0075a: the program entry.
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QResource>
#include <exception>

#include "Main.h"
#include "application.h"
#include "fonts.h"
#include "styles.h"

#ifdef TAVRO_BENCH_FIRST_PAINT
#include "first_paint_quit.h"
#endif

namespace {

// The icon's pixels are carried raw: nothing to decode while the window opens.
QIcon applicationIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) {
        const QResource raw(QStringLiteral(":/icon/%1.rgba").arg(size));
        const QByteArray pixels = raw.uncompressedData();
        if (pixels.size() == qsizetype{size} * size * 4) {
            icon.addPixmap(
                QPixmap::fromImage(QImage(reinterpret_cast<const uchar*>(pixels.constData()), size,
                                          size, QImage::Format_RGBA8888)
                                       .copy()));
        }
    }
    return icon;
}

}  // namespace

int main(int argc, char** argv) {
    // Nothing on the command line steers the program, so the toolkit sees none of it.
    int toolkitArgc = argc > 0 ? 1 : 0;
    TApplication application(toolkitArgc, argv);
    QApplication::setWindowIcon(applicationIcon());
    useTahomaThroughout();

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
