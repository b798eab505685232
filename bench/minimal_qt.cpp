// The yardstick for start-up: a bare Qt Widgets program with the utility's
// controls, no style, no engine; it quits after its first paint.
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "first_paint_quit.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Tavro Update to 3.04.0075a"));
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* top = new QFrame;
    top->setFixedHeight(121);
    auto* label = new QLabel(QStringLiteral("Upgrade to Tavro 3.04.0075a"), top);
    label->setGeometry(20, 16, 213, 19);
    auto* check = new QPushButton(QStringLiteral("Upgrade Now"), top);
    check->setGeometry(20, 82, 111, 25);
    auto* products = new QFrame(top);
    products->setGeometry(21, 41, 260, 35);
    auto* radios = new QHBoxLayout(products);
    radios->setContentsMargins(0, 0, 0, 0);
    auto* first = new QRadioButton(QStringLiteral("Vinta-Prell"));
    first->setChecked(true);
    radios->addWidget(first);
    radios->addWidget(new QRadioButton(QStringLiteral("Ulvo-Damar")));
    radios->addStretch();
    layout->addWidget(top);

    auto* log = new QTextEdit;
    log->setReadOnly(true);
    log->append(QStringLiteral("Source Files: /opt/kit/TavroUpdateFiles"));
    layout->addWidget(log);

    auto* bottom = new QFrame;
    bottom->setFixedHeight(41);
    bottom->setFrameShape(QFrame::Panel);
    auto* buttons = new QHBoxLayout(bottom);
    buttons->addStretch();
    buttons->addWidget(new QPushButton(QStringLiteral("Done")));
    layout->addWidget(bottom);

    auto* progress = new QProgressBar;
    progress->setFixedHeight(16);
    progress->setTextVisible(false);
    layout->addWidget(progress);

    window.resize(510, 316);
    new QuitAfterFirstPaint(window);
    window.show();
    return QApplication::exec();
}
