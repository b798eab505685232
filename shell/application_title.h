#pragma once

#include <QString>

// The title formed from an executable's path: its file name cut at the first
// full stop, every character after the first in lower case
// (".../TavroUpdate0075a.exe" gives "Tavroupdate0075a").
QString applicationTitleFrom(const QString& executablePath);

// The running program's title.
QString applicationTitle();
