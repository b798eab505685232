#pragma once

#include <string>
#include <string_view>

namespace tavro {

// All engine text is UTF-16, as on Windows; length limits count UTF-16 code units.
using Text = std::u16string;
using TextView = std::u16string_view;

// Byte strings that are not valid UTF-8 survive the round trip: each stray byte
// becomes a lone surrogate U+DC80..U+DCFF and turns back into the same byte, so a
// file name the system hands us can always be handed back unchanged.
Text fromUtf8(std::string_view bytes);
std::string toUtf8(TextView text);

// Engine literals are ASCII; this keeps them readable at the call sites.
Text ascii(std::string_view s);

}  // namespace tavro
