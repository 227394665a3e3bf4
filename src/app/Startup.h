#pragma once

struct AppContext;

// Brings old Jet-format database files of the program directory into the
// program's own format before anything opens them. Tells the user what was
// converted; returns false, after a critical message, when a file could not be.
bool convertLegacyFiles(AppContext& context);
