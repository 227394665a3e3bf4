#pragma once

#include <QString>

struct AppContext;

// The utility's "Browser" action: writes the browsers' manifests for the host
// beside the program, asks before another program's are replaced, and tells
// what was done.
void setUpBrowsers(AppContext& context, const QString& home, const QString& hostPath);
