#include "detection.h"

#include <exception>

#include "file_tests.h"
#include "path_rules.h"
#include "platform.h"

namespace tavro {

bool CheckForTavro(TargetRecord& record, Platform& platform) {
    record.WindowsX86FilesPath = platform.programFilesX86() + kPathSeparator + kMakerFolder +
                                 kPathSeparator + record.AppName;
    return directoryExists(platform, record.WindowsX86FilesPath);
}

void selectRow(TargetRecord& record, ProductRow row) {
    record.TavroExeName = record.WindowsX86FilesPath + kPathSeparator + kExecutableName;
    record.TavroRenamed = record.WindowsX86FilesPath + kPathSeparator + kBackupName;
    record.Product = Text{kPathSeparator, productInfo(row).sourceCode};
}

void detectProducts(TargetRecord& record, Platform& platform, DetectionWindow& window) {
    record.AppDir = folderPart(platform.ownExecutablePath());
    record.FilesPath = record.AppDir + kSourceFolder;
    window.addLogLine(kSourceFilesLine + record.FilesPath);
    window.setUpgradeEnabled(false);

    record.AppName = productInfo(ProductRow::VintaPrell).folderName;
    const bool firstFound = CheckForTavro(record, platform);
    const Text firstFolder = record.WindowsX86FilesPath;
    if (firstFound) {
        selectRow(record, ProductRow::VintaPrell);
        window.setRadioVisible(ProductRow::VintaPrell, true);
        window.setRadioChecked(ProductRow::VintaPrell);
        window.setUpgradeEnabled(true);
    } else {
        window.setRadioVisible(ProductRow::VintaPrell, false);
    }

    record.AppName = productInfo(ProductRow::UlvoDamar).folderName;
    if (CheckForTavro(record, platform)) {
        window.setRadioVisible(ProductRow::UlvoDamar, true);
        if (!window.radioVisible(ProductRow::VintaPrell)) {
            selectRow(record, ProductRow::UlvoDamar);
            window.setRadioChecked(ProductRow::UlvoDamar);
            // Everything an upgrade of this product needs is set: offer it.
            window.setUpgradeEnabled(true);
        }
    } else {
        window.setRadioVisible(ProductRow::UlvoDamar, false);
    }

    if (firstFound) {
        record.AppName = productInfo(ProductRow::VintaPrell).folderName;
        record.WindowsX86FilesPath = firstFolder;
    }

    if (!window.radioVisible(ProductRow::VintaPrell) &&
        !window.radioVisible(ProductRow::UlvoDamar)) {
        window.showMessage(kNoProductsMessage);
        window.terminateApplication();
    }
}

void runStartupDetection(TargetRecord& record, Platform& platform, DetectionWindow& window) {
    try {
        detectProducts(record, platform, window);
    } catch (const std::exception& failure) {
        window.showMessage(fromUtf8(failure.what()));
    }
}

void retarget(TargetRecord& record, Platform& platform, ProductRow row) {
    record.AppName = productInfo(row).folderName;
    if (CheckForTavro(record, platform)) {
        selectRow(record, row);
    }
}

}  // namespace tavro
