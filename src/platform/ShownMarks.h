#pragma once

class QApplication;

// For measuring the program from outside: when QUILLMERE_SHOWN_MARKS is set in
// the environment, writes "shown <window name> <steady-clock nanoseconds>" to
// standard output once per window, when its first paint has been done, and
// "key Return <nanoseconds>" when a Return key press reaches the program.
// Nothing otherwise.
void installShownMarks(QApplication& app);
