#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>

#include "detection_window.h"
#include "platform.h"
#include "target_record.h"

namespace Ui {
class TForm2;
}
class QRadioButton;

// The main window: the target record, the controls, and the handlers that
// connect the user's clicks to the engine.
class TForm2 : public QWidget, public tavro::DetectionWindow {
  public:
    explicit TForm2(tavro::Platform& platform = tavro::systemPlatform(), QWidget* parent = nullptr);
    ~TForm2() override;

    // The creation handler: runs start-up detection, showing a failure's message
    // in a box; the window opens in whatever state detection reached.
    void FormCreate(QObject* sender);

    bool CheckForTavro();
    bool TransferNewFiles();

    void btnCheckClick(QObject* sender);
    void btnDoneClick(QObject* sender);
    void rbnVintaPrellClick(QObject* sender);
    void rbnUlvoDamarClick(QObject* sender);
    void Timer1Timer(QObject* sender);

    // The log, as an ordered list of lines.
    virtual void logClear();
    virtual void logAdd(const QString& line);
    void logSetColour(const QColor& colour);
    QStringList logLines() const;
    // The colour a line shows in: its own, or the log's text colour from the style.
    QColor logLineColour(int line) const;

    const tavro::TargetRecord& record() const { return record_; }
    Ui::TForm2& ui() { return *ui_; }
    QTimer& Timer1() { return timer1_; }

    // DetectionWindow
    void addLogLine(const tavro::Text& line) override;
    void showMessage(const tavro::Text& message) override;
    void terminateApplication() override;
    void setRadioVisible(tavro::ProductRow row, bool visible) override;
    bool radioVisible(tavro::ProductRow row) const override;
    void setRadioChecked(tavro::ProductRow row) override;
    void setUpgradeEnabled(bool enabled) override;

  private:
    QRadioButton* radio(tavro::ProductRow row) const;
    // Runs a radio button's click handler; see setRadioChecked.
    void radioHandler(const std::function<void()>& handler);
    void centreOnScreen();

    std::unique_ptr<Ui::TForm2> ui_;
    tavro::Platform& platform_;
    tavro::TargetRecord record_;
    QTimer timer1_;
    bool checkingForDetection_ = false;
    std::exception_ptr handlerFailure_;
    QColor logColour_;  // set once a failed run turns the log red
    bool logEmpty_ = true;
};

inline const QColor kFailureRed{255, 0, 0};
