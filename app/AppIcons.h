#pragma once

#include <QIcon>

// An icon compiled in from res/: "kelvarin" (the application), "open", "save", "about",
// "base".
QIcon KelvarinIcon(const char* name);
