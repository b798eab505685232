#include "Main.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <exception>
#include <type_traits>
#include <utility>

#include "application.h"
#include "detection.h"
#include "dialogs.h"
#include "fonts.h"
#include "qt_text.h"
#include "transfer.h"
#include "ui_Main.h"

namespace {

constexpr int kTimerInterval = 1000;

// Keeps a failure inside one handler: it reaches the standard error box and
// the message loop goes on, without an exception crossing Qt's frames.
template <typename Handler>
auto guarded(Handler handler) {
    return [handler](auto&&... args) {
        try {
            if constexpr (std::is_invocable_v<Handler, decltype(args)...>) {
                handler(std::forward<decltype(args)>(args)...);
            } else {
                handler();  // signals with a private tag, such as QTimer::timeout
            }
        } catch (const std::exception& failure) {
            showUnhandledFailure(failure);
        }
    };
}

// The busy cursor while the upgrade holds the window.
class BusyCursor {
  public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

TForm2::TForm2(tavro::Platform& platform, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TForm2>()), platform_(platform) {
    ui_->setupUi(this);

    setFont(tahoma(11));
    QPalette greyText = ui_->Panel2->palette();
    greyText.setColor(QPalette::WindowText, QColor(128, 128, 128));
    greyText.setColor(QPalette::ButtonText, QColor(128, 128, 128));
    ui_->Panel2->setPalette(greyText);
    ui_->Label1->setFont(tahoma(16));
    ui_->Label1->setPalette(palette());
    ui_->RIchEdit1->setFont(tahoma(13));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    timer1_.setInterval(kTimerInterval);

    connect(ui_->btnCheck, &QPushButton::clicked, this,
            guarded([this](bool) { btnCheckClick(ui_->btnCheck); }));
    connect(ui_->btnDone, &QPushButton::clicked, this,
            guarded([this](bool) { btnDoneClick(ui_->btnDone); }));
    connect(ui_->rbnVintaPrell, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) {
            radioHandler([this] { rbnVintaPrellClick(ui_->rbnVintaPrell); });
        }
    });
    connect(ui_->rbnUlvoDamar, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) {
            radioHandler([this] { rbnUlvoDamarClick(ui_->rbnUlvoDamar); });
        }
    });
    connect(&timer1_, &QTimer::timeout, this, guarded([this] { Timer1Timer(&timer1_); }));

    resize(510, 316);
    centreOnScreen();
    FormCreate(this);
}

TForm2::~TForm2() = default;

void TForm2::FormCreate(QObject*) {
    tavro::runStartupDetection(record_, platform_, *this);
}

bool TForm2::CheckForTavro() {
    return tavro::CheckForTavro(record_, platform_);
}

bool TForm2::TransferNewFiles() {
    const BusyCursor busy;
    return tavro::TransferNewFiles(record_, platform_, *this);
}

void TForm2::btnCheckClick(QObject*) {
    ui_->btnCheck->setEnabled(false);
    std::exception_ptr clearFailure;
    try {
        logClear();
    } catch (...) {
        clearFailure = std::current_exception();
    }
    if (TransferNewFiles()) {
        logAdd(QStringLiteral("Tavro Update Successful."));
    } else {
        logSetColour(kFailureRed);
        logAdd(QStringLiteral("Error Updating Tavro"));
        logAdd(QString());
        logAdd(QStringLiteral("Update Failed!"));
    }
    if (clearFailure) {
        std::rethrow_exception(clearFailure);
    }
    timer1_.start();
}

void TForm2::btnDoneClick(QObject*) {
    close();
}

void TForm2::rbnVintaPrellClick(QObject*) {
    tavro::retarget(record_, platform_, tavro::ProductRow::VintaPrell);
}

void TForm2::rbnUlvoDamarClick(QObject*) {
    tavro::retarget(record_, platform_, tavro::ProductRow::UlvoDamar);
}

void TForm2::Timer1Timer(QObject*) {
    ui_->ProgressBar1->setValue(0);
    timer1_.stop();
}

void TForm2::logClear() {
    ui_->RIchEdit1->clear();
    logEmpty_ = true;
}

void TForm2::logAdd(const QString& line) {
    QTextCursor cursor(ui_->RIchEdit1->document());
    cursor.movePosition(QTextCursor::End);
    if (!logEmpty_) {
        cursor.insertBlock();
    }
    QTextCharFormat format;
    if (logColour_.isValid()) {
        format.setForeground(logColour_);
    }
    cursor.insertText(line, format);
    logEmpty_ = false;
}

void TForm2::logSetColour(const QColor& colour) {
    logColour_ = colour;
    QTextCursor cursor(ui_->RIchEdit1->document());
    cursor.select(QTextCursor::Document);
    QTextCharFormat format;
    format.setForeground(colour);
    cursor.mergeCharFormat(format);
}

QStringList TForm2::logLines() const {
    if (logEmpty_) {
        return {};
    }
    return ui_->RIchEdit1->toPlainText().split(u'\n');
}

QColor TForm2::logLineColour(int line) const {
    const QTextBlock block = ui_->RIchEdit1->document()->findBlockByNumber(line);
    const QTextCharFormat format =
        block.begin().atEnd() ? block.charFormat() : block.begin().fragment().charFormat();
    if (format.hasProperty(QTextFormat::ForegroundBrush)) {
        return format.foreground().color();
    }
    return ui_->RIchEdit1->palette().color(QPalette::Text);
}

void TForm2::addLogLine(const tavro::Text& line) {
    logAdd(toQString(line));
}

void TForm2::showMessage(const tavro::Text& message) {
    dialogs().message(toQString(message));
}

void TForm2::terminateApplication() {
    // Queued: the loop starts, shows the window, and ends when it reaches this.
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void TForm2::setRadioVisible(tavro::ProductRow row, bool visible) {
    radio(row)->setVisible(visible);
}

bool TForm2::radioVisible(tavro::ProductRow row) const {
    return !radio(row)->isHidden();
}

void TForm2::setRadioChecked(tavro::ProductRow row) {
    // The click handler this raises belongs to detection: a failure in it ends
    // detection like any other, once Qt's signal has returned.
    checkingForDetection_ = true;
    radio(row)->setChecked(true);
    checkingForDetection_ = false;
    if (handlerFailure_) {
        std::rethrow_exception(std::exchange(handlerFailure_, nullptr));
    }
}

void TForm2::radioHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& failure) {
        if (checkingForDetection_) {
            handlerFailure_ = std::current_exception();
        } else {
            showUnhandledFailure(failure);
        }
    }
}

void TForm2::setUpgradeEnabled(bool enabled) {
    ui_->btnCheck->setEnabled(enabled);
}

QRadioButton* TForm2::radio(tavro::ProductRow row) const {
    return row == tavro::ProductRow::VintaPrell ? ui_->rbnVintaPrell : ui_->rbnUlvoDamar;
}

void TForm2::centreOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}
