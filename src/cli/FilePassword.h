#pragma once

#include "Arguments.h"

#include <QString>

// The password of a password-protected export file: the next line of standard
// input with --file-password-stdin (after the sign-in password's line when
// --password-stdin is given too), else typed on the terminal without being
// shown, twice when it protects a new file. Ends the command when there is none.
QString filePassword(const Arguments& arguments, bool forNewFile);
