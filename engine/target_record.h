#pragma once

#include <array>

#include "text.h"

namespace tavro {

// The paths one upgrade needs, held by the main window for its whole life.
// AppName and WindowsX86FilesPath describe the latest probe; TavroExeName,
// TavroRenamed and Product describe the latest selection, so a probe that finds
// nothing moves the first pair and leaves the selection as it was.
struct TargetRecord {
    Text AppDir;               // the utility's own folder, with its trailing separator
    Text FilesPath;            // root of the update sources
    Text AppName;              // product folder the next probe examines
    Text WindowsX86FilesPath;  // install folder of AppName
    Text TavroExeName;         // installed executable of the selected product
    Text TavroRenamed;         // its backup
    Text Product;              // source sub-folder code, with its leading separator
};

enum class ProductRow { VintaPrell = 0, UlvoDamar = 1 };

struct ProductInfo {
    const char16_t* folderName;  // also the radio button's caption
    char16_t sourceCode;         // sub-folder of the update sources
};

// Fixed order: when both products are installed, the first one wins.
inline constexpr std::array<ProductInfo, 2> kProducts{{
    {u"Vinta-Prell", u'V'},
    {u"Ulvo-Damar", u'U'},
}};

inline constexpr std::array kProductRows{ProductRow::VintaPrell, ProductRow::UlvoDamar};

inline const ProductInfo& productInfo(ProductRow row) {
    return kProducts[static_cast<size_t>(row)];
}

inline constexpr const char16_t* kMakerFolder = u"Ostrel Industries";
inline constexpr const char16_t* kSourceFolder = u"TavroUpdateFiles";
inline constexpr const char16_t* kExecutableName = u"Tavro.exe";
inline constexpr const char16_t* kBackupName = u"TavroOld.exe";

}  // namespace tavro
