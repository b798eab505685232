#pragma once

#include "detection_window.h"
#include "target_record.h"

namespace tavro {

class Platform;

inline constexpr const char16_t* kSourceFilesLine = u"Source Files: ";
inline constexpr const char16_t* kNoProductsMessage =
    u"No Ostrel Products Found.  Program will Exit.";

// The probe: points WindowsX86FilesPath at AppName's install folder and tells
// whether that folder exists.
bool CheckForTavro(TargetRecord& record, Platform& platform);

// Makes the product just probed the target of the next upgrade.
void selectRow(TargetRecord& record, ProductRow row);

// Fills the record when the window is created, decides which radio buttons show
// and which is checked, and whether Upgrade Now starts enabled. Failures escape.
void detectProducts(TargetRecord& record, Platform& platform, DetectionWindow& window);

// detectProducts, with a failure ending it where it is and its message shown.
void runStartupDetection(TargetRecord& record, Platform& platform, DetectionWindow& window);

// The user picked `row`: probe it and select it if it is there. A missing folder
// leaves the previous selection in place with WindowsX86FilesPath naming the
// missing folder, so the next upgrade reports it.
void retarget(TargetRecord& record, Platform& platform, ProductRow row);

}  // namespace tavro
