#include <QAccessible>
#include <QFontInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <filesystem>
#include <stdexcept>

#include "application.h"
#include "application_title.h"
#include "fonts.h"
#include "styles.h"
#include "ui_Main.h"
#include "window_fixture.h"

using namespace tavro;
using namespace tavro::testing;
namespace fs = std::filesystem;

namespace {

const QColor kWhite(255, 255, 255);

// A window whose log fails on demand, to show how a run ends when it does.
class FragileLogForm : public TForm2 {
  public:
    using TForm2::TForm2;
    void logClear() override {
        if (failClear) {
            throw std::runtime_error("The log cannot be cleared");
        }
        TForm2::logClear();
    }
    void logAdd(const QString& line) override {
        if (failAddAt == added++) {
            throw std::runtime_error("The log is full");
        }
        TForm2::logAdd(line);
    }
    bool failClear = false;
    int failAddAt = -1;
    int added = 0;
};

void showAndWait(QWidget& w) {
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        useTahomaThroughout();
        QVERIFY(activateStyle(QStringLiteral("Auric")));
    }

    void layout_data() {
        QTest::addColumn<QSize>("windowSize");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRect>("geometry");
        const QSize base(510, 316);
        const QSize big(700, 500);
        const struct {
            const char* name;
            QRect atBase;
            QRect atBig;
        } rows[] = {
            {"ProgressBar1", {0, 300, 510, 16}, {0, 484, 700, 16}},
            {"Panel1", {0, 259, 510, 41}, {0, 443, 700, 41}},
            {"btnDone", {379, 9, 111, 25}, {569, 9, 111, 25}},
            {"Panel2", {0, 0, 510, 121}, {0, 0, 700, 121}},
            {"Label1", {20, 16, 213, 19}, {20, 16, 213, 19}},
            {"btnCheck", {20, 82, 111, 25}, {20, 82, 111, 25}},
            {"Panel3", {21, 41, 260, 35}, {21, 41, 260, 35}},
            {"rbnVintaPrell", {0, 0, 113, 35}, {0, 0, 113, 35}},
            {"rbnUlvoDamar", {113, 0, 113, 35}, {113, 0, 113, 35}},
            {"RIchEdit1", {0, 121, 510, 138}, {0, 121, 700, 322}},
        };
        for (const auto& row : rows) {
            QTest::addRow("%s at 510x316", row.name) << base << row.name << row.atBase;
            QTest::addRow("%s at 700x500", row.name) << big << row.name << row.atBig;
        }
    }

    void layout() {
        QFETCH(QSize, windowSize);
        QFETCH(QString, control);
        QFETCH(QRect, geometry);
        WindowWorld world;
        world.installProduct("Vinta-Prell");
        world.installProduct("Ulvo-Damar");
        TForm2 form(world.platform);
        showAndWait(form);
        form.resize(windowSize);
        QTRY_COMPARE(form.size(), windowSize);
        auto* widget = form.findChild<QWidget*>(control);
        QVERIFY(widget != nullptr);
        QTRY_COMPARE(widget->geometry(), geometry);
    }

    void windowProperties() {
        WindowWorld world;
        world.installProduct("Vinta-Prell");
        TForm2 form(world.platform);
        QCOMPARE(form.windowTitle(), QStringLiteral("Tavro Update to 3.04.0075a"));
        QCOMPARE(form.size(), QSize(510, 316));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(qAbs(form.geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(form.geometry().center().y() - screen.center().y()) <= 1);
        QCOMPARE(form.ui().btnCheck->text(), QStringLiteral("Upgrade Now"));
        QCOMPARE(form.ui().btnDone->text(), QStringLiteral("Done"));
        QCOMPARE(form.ui().Label1->text(), QStringLiteral("Upgrade to Tavro 3.04.0075a"));
        QVERIFY(form.ui().RIchEdit1->isReadOnly());
        QVERIFY(!form.ui().btnCheck->autoDefault() && !form.ui().btnCheck->isDefault());
        QVERIFY(!form.ui().btnDone->autoDefault() && !form.ui().btnDone->isDefault());
        QCOMPARE(form.Timer1().interval(), 1000);
        QVERIFY(!form.Timer1().isActive());
        QCOMPARE(form.ui().ProgressBar1->value(), 0);

        const struct {
            QWidget* widget;
            int pixels;
        } fonts[] = {{form.ui().btnCheck, 11}, {form.ui().Label1, 16}, {form.ui().RIchEdit1, 13}};
        for (const auto& f : fonts) {
            QCOMPARE(QFontInfo(f.widget->font()).family(), QStringLiteral("Tahoma"));
            QCOMPARE(f.widget->font().pixelSize(), f.pixels);
        }
    }

    void tabOrderVisitsEveryControl() {
        WindowWorld world;
        world.installProduct("Vinta-Prell");
        world.installProduct("Ulvo-Damar");
        TForm2 form(world.platform);
        showAndWait(form);
        form.activateWindow();
        form.ui().btnDone->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), form.ui().btnDone);
        const QStringList expected = {"btnCheck", "rbnVintaPrell", "RIchEdit1", "btnDone"};
        for (const QString& name : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), name);
        }
    }

    void everyControlIsNamedForAssistiveTechnology() {
        WindowWorld world;
        world.installProduct("Vinta-Prell");
        TForm2 form(world.platform);
        showAndWait(form);
        for (const char* name : {"btnDone", "btnCheck", "rbnVintaPrell", "rbnUlvoDamar",
                                 "RIchEdit1", "ProgressBar1"}) {
            QAccessibleInterface* control =
                QAccessible::queryAccessibleInterface(form.findChild<QWidget*>(name));
            QVERIFY2(control != nullptr, name);
            QVERIFY2(!control->text(QAccessible::Name).isEmpty(), name);
            // Qt's progress bar reports its value in place of a description.
            if (QByteArray(name) != "ProgressBar1") {
                QVERIFY2(!control->text(QAccessible::Description).isEmpty(), name);
            }
        }
    }

    void enterAndEscapeTriggerNoButton() {
        WindowWorld world;
        world.installProduct("Vinta-Prell");
        TForm2 form(world.platform);
        showAndWait(form);
        form.activateWindow();
        for (QWidget* focus : {static_cast<QWidget*>(form.ui().btnCheck),
                               static_cast<QWidget*>(form.ui().btnDone)}) {
            focus->setFocus();
            for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                QTest::keyClick(focus, key);
            }
        }
        QCOMPARE(world.platform.copies, 0);
        QVERIFY(form.isVisible());
        QVERIFY(form.ui().btnCheck->isEnabled());

        // Space is how the keyboard presses a focused button.
        QTest::keyClick(form.ui().btnCheck, Qt::Key_Space);
        QCOMPARE(world.platform.copies, 1);
    }

    void detectionOutcomes_data() {
        QTest::addColumn<bool>("first");
        QTest::addColumn<bool>("second");
        QTest::addColumn<bool>("firstShown");
        QTest::addColumn<bool>("secondShown");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("secondLeft");
        QTest::newRow("first only") << true << false << true << false << "rbnVintaPrell"
                                    << "/V" << 113;
        QTest::newRow("both") << true << true << true << true << "rbnVintaPrell"
                              << "/V" << 113;
        QTest::newRow("second only") << false << true << false << true << "rbnUlvoDamar"
                                     << "/U" << 0;
    }

    void detectionOutcomes() {
        QFETCH(bool, first);
        QFETCH(bool, second);
        QFETCH(bool, firstShown);
        QFETCH(bool, secondShown);
        QFETCH(QString, checked);
        QFETCH(QString, product);
        QFETCH(int, secondLeft);
        WindowWorld world;
        if (first) {
            world.installProduct("Vinta-Prell");
        }
        if (second) {
            world.installProduct("Ulvo-Damar");
        }
        TForm2 form(world.platform);
        showAndWait(form);
        QCOMPARE(form.logLines(), QStringList{"Source Files: " + world.kitSources()});
        QCOMPARE(form.ui().rbnVintaPrell->isVisible(), firstShown);
        QCOMPARE(form.ui().rbnUlvoDamar->isVisible(), secondShown);
        QVERIFY(form.findChild<QRadioButton*>(checked)->isChecked());
        QVERIFY(form.ui().btnCheck->isEnabled());
        QCOMPARE(toQString(form.record().Product), product);
        if (secondShown) {
            QTRY_COMPARE(form.ui().rbnUlvoDamar->x(), secondLeft);
        }
        QVERIFY(world.boxes.messages.isEmpty());
    }

    void failureInTheHandlerDetectionRaisesEndsDetection() {
        WindowWorld world;
        world.installProduct("Ulvo-Damar");
        world.platform.failProbe = 3;  // the re-targeting that checking Ulvo-Damar raises
        TForm2 form(world.platform);
        QCOMPARE(world.boxes.messages.size(), 1);
        QVERIFY(world.boxes.messages[0].contains("Finding the Program Files folder"));
        QVERIFY(world.boxes.errors.isEmpty());
        QVERIFY(form.ui().rbnUlvoDamar->isChecked());
        QVERIFY2(!form.ui().btnCheck->isEnabled(), "detection ended before enabling it");
    }

    void noProductsEndsTheProgramWithZero() {
        WindowWorld world;
        TForm2 form(world.platform);
        QCOMPARE(world.boxes.messages,
                 QStringList{"No Ostrel Products Found.  Program will Exit."});
        QVERIFY(!form.ui().btnCheck->isEnabled());
        form.show();
        QCOMPARE(QApplication::exec(), 0);
    }

    void retargetingByMouseKeyboardAndProgram() {
        WindowWorld world;
        world.installProduct("Vinta-Prell");
        world.installProduct("Ulvo-Damar");
        TForm2 form(world.platform);
        showAndWait(form);
        auto* vinta = form.ui().rbnVintaPrell;
        auto* ulvo = form.ui().rbnUlvoDamar;
        const auto targetsRow2 = [&] {
            return form.record().Product == u"/U" &&
                   form.record().TavroExeName ==
                       fromUtf8((world.productFolder("Ulvo-Damar") / "Tavro.exe").string());
        };

        QTest::mouseClick(ulvo, Qt::LeftButton);
        QVERIFY(targetsRow2());
        const int probes = world.platform.probes;
        QTest::mouseClick(ulvo, Qt::LeftButton);
        QCOMPARE(world.platform.probes, probes);  // no handler for the checked button

        vinta->setChecked(true);
        QCOMPARE(form.record().Product, u"/V");

        vinta->setFocus();
        QTest::keyClick(vinta, Qt::Key_Right);
        QVERIFY(ulvo->isChecked());
        QVERIFY(targetsRow2());
    }

    void upgradeOutcomes_data() {
        QTest::addColumn<QString>("arrange");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("red");
        QTest::addColumn<QString>("installedAfter");

        const QString failed[] = {"Error Updating Tavro", "", "Update Failed!"};
        QTest::newRow("success") << "" << QStringList{"Tavro Update Successful."} << false
                                 << "new-V";
        QTest::newRow("install folder missing")
            << "remove folder"
            << QStringList{"Directory Missing: <folder>", failed[0], failed[1], failed[2]} << true
            << "";
        QTest::newRow("copy in place but not verified")
            << "refuse time"
            << QStringList{"Problem Writing <exe>", failed[0], failed[1], failed[2]} << true
            << "new-V";
        QTest::newRow("source missing")
            << "remove source" << QStringList{failed[0], failed[1], failed[2]} << true << "old";
    }

    void upgradeOutcomes() {
        QFETCH(QString, arrange);
        QFETCH(QStringList, lines);
        QFETCH(bool, red);
        QFETCH(QString, installedAfter);
        WindowWorld world;
        world.installProduct("Vinta-Prell");
        TForm2 form(world.platform);
        showAndWait(form);
        const fs::path folder = world.productFolder("Vinta-Prell");
        if (arrange == "remove folder") {
            fs::remove_all(folder);
        } else if (arrange == "refuse time") {
            world.platform.refuseCreationTime = true;
        } else if (arrange == "remove source") {
            fs::remove(world.tmp / "kit" / "TavroUpdateFiles" / "V" / "Tavro.exe");
        }
        lines.replaceInStrings("<folder>", QString::fromStdString(folder.string()));
        lines.replaceInStrings("<exe>", QString::fromStdString((folder / "Tavro.exe").string()));

        QTest::mouseClick(form.ui().btnCheck, Qt::LeftButton);

        QCOMPARE(form.logLines(), lines);
        for (int i = 0; i < lines.size(); ++i) {
            QCOMPARE(form.logLineColour(i), red ? kFailureRed : kWhite);
        }
        QVERIFY(!form.ui().btnCheck->isEnabled());
        QVERIFY(form.Timer1().isActive());
        QCOMPARE(QString::fromStdString(readFile(folder / "Tavro.exe")),
                 installedAfter.isEmpty() ? QStringLiteral("<unreadable>") : installedAfter);
        QVERIFY(world.boxes.errors.isEmpty());
    }

    void bothInstalledUpgradesTheChosenProduct() {
        WindowWorld world;
        world.installProduct("Vinta-Prell", "old-V");
        world.installProduct("Ulvo-Damar", "old-U");
        TForm2 form(world.platform);
        showAndWait(form);
        QTest::mouseClick(form.ui().rbnUlvoDamar, Qt::LeftButton);
        QTest::mouseClick(form.ui().btnCheck, Qt::LeftButton);
        QCOMPARE(readFile(world.productFolder("Ulvo-Damar") / "Tavro.exe"), "new-U");
        QCOMPARE(readFile(world.productFolder("Ulvo-Damar") / "TavroOld.exe"), "old-U");
        QCOMPARE(readFile(world.productFolder("Vinta-Prell") / "Tavro.exe"), "old-V");
    }

    void twoQuickClicksUpgradeOnce() {
        WindowWorld world;
        world.installProduct("Vinta-Prell");
        TForm2 form(world.platform);
        showAndWait(form);
        QTest::mouseClick(form.ui().btnCheck, Qt::LeftButton);
        QTest::mouseClick(form.ui().btnCheck, Qt::LeftButton);
        QCOMPARE(world.platform.copies, 1);
        QCOMPARE(form.logLines(), QStringList{"Tavro Update Successful."});
    }

    void timerFiresOnceAndResetsTheBar() {
        WindowWorld world;
        world.installProduct("Vinta-Prell");
        TForm2 form(world.platform);
        showAndWait(form);
        QSignalSpy ticks(&form.Timer1(), &QTimer::timeout);
        QTest::mouseClick(form.ui().btnCheck, Qt::LeftButton);
        form.ui().ProgressBar1->setValue(40);
        QVERIFY(ticks.wait(3000));
        QCOMPARE(form.ui().ProgressBar1->value(), 0);
        QVERIFY(!form.Timer1().isActive());
        QTest::qWait(1200);
        QCOMPARE(ticks.count(), 1);
    }

    void failingLogEndsTheRunAtThatLine_data() {
        QTest::addColumn<bool>("failClear");
        QTest::addColumn<int>("failAddAt");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("error");
        // Counting starts after creation: the outcome line is add number 0.
        QTest::newRow("clear fails")
            << true << -1 << QStringList{"Source Files: <kit>", "Tavro Update Successful."}
            << "The log cannot be cleared.";
        QTest::newRow("outcome line fails") << false << 0 << QStringList{} << "The log is full.";
    }

    void failingLogEndsTheRunAtThatLine() {
        QFETCH(bool, failClear);
        QFETCH(int, failAddAt);
        QFETCH(QStringList, lines);
        QFETCH(QString, error);
        WindowWorld world;
        world.installProduct("Vinta-Prell");
        FragileLogForm form(world.platform);
        showAndWait(form);
        form.failClear = failClear;
        form.failAddAt = failAddAt;
        lines.replaceInStrings("<kit>", world.kitSources());

        QTest::mouseClick(form.ui().btnCheck, Qt::LeftButton);

        QCOMPARE(form.logLines(), lines);
        QCOMPARE(world.boxes.errors, QStringList{error});
        QVERIFY(!form.Timer1().isActive());
        QCOMPARE(readFile(world.productFolder("Vinta-Prell") / "Tavro.exe"), "new-V");
    }

    void doneClosesTheWindow() {
        WindowWorld world;
        world.installProduct("Vinta-Prell");
        TForm2 form(world.platform);
        showAndWait(form);
        QTest::mouseClick(form.ui().btnDone, Qt::LeftButton);
        QVERIFY(!form.isVisible());
    }

    void errorBoxText_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Access denied"
                                << "Access denied.";
        QTest::newRow("full stop") << "Done."
                                   << "Done.";
        QTest::newRow("question mark sorts after") << "Why?"
                                                   << "Why?.";
        QTest::newRow("slash sorts after") << "a/"
                                           << "a/.";
        QTest::newRow("comma sorts before") << "a,"
                                            << "a,";
        QTest::newRow("closing parenthesis sorts before") << "(x)"
                                                          << "(x)";
        QTest::newRow("empty") << ""
                               << "";
    }

    void errorBoxText() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(::errorBoxText(message), shown);
    }

    void silentAbortShowsNoBox() {
        RecordingDialogs boxes;
        setDialogs(&boxes);
        showUnhandledFailure(SilentAbort());
        showUnhandledFailure(std::runtime_error("Boom"));
        setDialogs(nullptr);
        QCOMPARE(boxes.errors, QStringList{"Boom."});
    }

    void applicationTitle_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("linux") << "/opt/kit/TavroUpdate0075a"
                               << "Tavroupdate0075a";
        QTest::newRow("windows") << "C:\\Kit\\TavroUpdate0075a.exe"
                                 << "Tavroupdate0075a";
        QTest::newRow("first dot cuts") << "/x/My.Tool.exe"
                                        << "My";
        QTest::newRow("bare") << "ABC"
                              << "Abc";
    }

    void applicationTitle() {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QCOMPARE(applicationTitleFrom(path), title);
    }

    void stylesAreCarriedAndFoundIgnoringCase() {
        const auto styles = carriedStyles();
        QStringList found;
        for (const auto& style : styles) {
            found << style.resourceName + "=" + style.styleName;
        }
        QCOMPARE(found, (QStringList{"AURIC=Auric", "CHARCOALDARKSLATE=Charcoal Dark Slate",
                                     "COBALTXEMEDIA=Cobalt XEMedia"}));
        QVERIFY(findStyle(styles, "aURIC") != nullptr);
        QVERIFY(findStyle(styles, "charcoal dark slate") != nullptr);
        QVERIFY(findStyle(styles, "Auric2") == nullptr);

        RecordingDialogs boxes;
        setDialogs(&boxes);
        QVERIFY(!activateStyle("Nope"));
        QVERIFY(activateStyle("AURIC"));
        setDialogs(nullptr);
        QCOMPARE(boxes.missingStyles, QStringList{"Nope"});
    }

    void auricLogIsWhiteOnDarkGrey() {
        WindowWorld world;
        world.installProduct("Vinta-Prell");
        TForm2 form(world.platform);
        showAndWait(form);
        const QPalette log = form.ui().RIchEdit1->palette();
        QCOMPARE(log.color(QPalette::Base), QColor(66, 66, 66));
        QCOMPARE(log.color(QPalette::Text), kWhite);
        QCOMPARE(form.grab().toImage().pixelColor(300, 200), QColor(66, 66, 66));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
