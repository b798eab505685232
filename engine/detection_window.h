#pragma once

#include "log_sink.h"
#include "target_record.h"
#include "text.h"

namespace tavro {

// What detection needs from the main window. Checking a radio button that was
// not checked raises its click handler, just as a click by the user does.
class DetectionWindow : public LogSink {
  public:
    // Modal: returns once the user has dismissed it.
    virtual void showMessage(const Text& message) = 0;
    virtual void terminateApplication() = 0;
    virtual void setRadioVisible(ProductRow row, bool visible) = 0;
    virtual bool radioVisible(ProductRow row) const = 0;
    virtual void setRadioChecked(ProductRow row) = 0;
    virtual void setUpgradeEnabled(bool enabled) = 0;
};

}  // namespace tavro
