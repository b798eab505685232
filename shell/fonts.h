#pragma once

#include <QFont>

// Tahoma at a character height in pixels. Where the system has no Tahoma, the
// metric-compatible one that Debian ships with Wine's fonts is loaded once.
QFont tahoma(int pixels);

// Makes Tahoma at 11 pixels every control's font, message boxes included.
void useTahomaThroughout();
