#pragma once

// While a write waits for a lock another program holds, the windows show the
// busy pointer; it goes back to normal once the program reacts again.
void showBusyPointerDuringLockWaits();
