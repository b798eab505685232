#pragma once

#include "log_sink.h"
#include "target_record.h"

namespace tavro {

class Platform;

inline constexpr const char16_t* kDirectoryMissingLine = u"Directory Missing: ";
inline constexpr const char16_t* kProblemWritingLine = u"Problem Writing ";
// Where the new copy is written before it is swapped in. No longer than
// "Tavro.exe", so any install folder that can hold the executable can hold it.
inline constexpr const char16_t* kTemporaryName = u"Tavro.tmp";

// Replaces the selected product's executable with the new one from the update
// sources, keeping the first backup, and carries the source's creation time
// over. True when the new executable is in place with that time. Writes at most
// one explanatory log line; never throws. Any failure before the new executable
// is in place leaves the install folder as it was.
bool TransferNewFiles(const TargetRecord& record, Platform& platform, LogSink& log);

}  // namespace tavro
