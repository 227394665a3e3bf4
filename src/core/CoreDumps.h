#pragma once

// A core file of this program would hold every password it had read and the
// sign-in password in clear. Turns core files off for the process, and keeps
// other programs of the same user from reading its memory. True when both held.
bool disableCoreDumps();
