#pragma once

#include <QString>

#include "text.h"

// Engine text and Qt text are both UTF-16: the bridge copies code units as they are.
inline QString toQString(const tavro::Text& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline tavro::Text toText(const QString& text) {
    return tavro::Text(reinterpret_cast<const char16_t*>(text.utf16()),
                       static_cast<size_t>(text.size()));
}
