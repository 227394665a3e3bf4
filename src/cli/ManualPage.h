#pragma once

#include <QString>

// The manual page of quillmere-cli (roff, for man), written from the same
// definitions as the program's --help: every command with its options and an
// example, the options every command takes, the sections' fields, the JSON
// forms and the exit statuses.
QString manualPage();
