#pragma once

#include "BenchResult.h"

// Whole-process figures, each paired with a minimal Qt program (its own binary,
// one empty window) run in turn with the program in the same run:
//  - launch to the sign-in window painted, against launch to the empty window painted;
//  - Return on the sign-in window with the password typed, until the main window
//    is painted, over the records of programDirectory, against Return in the
//    empty window until a second empty window is painted.
// Both programs mark these moments themselves (QUILLMERE_SHOWN_MARKS); keys are
// typed through the X server by xdotool, as a user's would arrive.
void measureLaunch(std::vector<BenchResult>& out);
void measureSignIn(const QString& programDirectory, const QString& suffix, std::vector<BenchResult>& out);
