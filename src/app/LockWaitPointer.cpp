#include "LockWaitPointer.h"

#include "store/LockWait.h"

#include <QApplication>
#include <QTimer>

void showBusyPointerDuringLockWaits() {
    setLockWaitHook([] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // The wait blocks this thread; the first turn of the event loop after it
        // means the write has finished, one way or the other.
        QTimer::singleShot(0, qApp, [] { QApplication::restoreOverrideCursor(); });
    });
}
