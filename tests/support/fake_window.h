#pragma once

#include <array>
#include <vector>

#include "detection.h"
#include "platform.h"

namespace tavro::testing {

// The window as detection sees it, starting from the layout: both radio buttons
// visible, "Vinta-Prell" checked, Upgrade Now enabled. Checking a button that
// was not checked re-targets, as the real click handler does.
class FakeWindow : public DetectionWindow {
  public:
    FakeWindow(TargetRecord& record, Platform& platform) : record_(record), platform_(platform) {}

    void addLogLine(const Text& line) override { log.push_back(line); }
    void showMessage(const Text& message) override { messages.push_back(message); }
    void terminateApplication() override { terminated = true; }
    void setRadioVisible(ProductRow row, bool v) override { visible[index(row)] = v; }
    bool radioVisible(ProductRow row) const override { return visible[index(row)]; }
    void setRadioChecked(ProductRow row) override {
        if (checked[index(row)]) {
            return;
        }
        checked = {false, false};
        checked[index(row)] = true;
        ++clickHandlerRuns;
        retarget(record_, platform_, row);
    }
    void setUpgradeEnabled(bool enabled) override { upgradeEnabled = enabled; }

    std::vector<Text> log;
    std::vector<Text> messages;
    bool terminated = false;
    std::array<bool, 2> visible{true, true};
    std::array<bool, 2> checked{true, false};
    bool upgradeEnabled = true;
    int clickHandlerRuns = 0;

  private:
    static size_t index(ProductRow row) { return static_cast<size_t>(row); }
    TargetRecord& record_;
    Platform& platform_;
};

}  // namespace tavro::testing
