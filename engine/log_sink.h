#pragma once

#include "text.h"

namespace tavro {

// The window's log, as the engine writes to it.
class LogSink {
  public:
    virtual ~LogSink() = default;
    // An empty text adds an empty line.
    virtual void addLogLine(const Text& line) = 0;
};

}  // namespace tavro
