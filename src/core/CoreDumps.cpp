#include "CoreDumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

bool disableCoreDumps() {
    const rlimit none{0, 0};
    const bool noCoreFile = ::setrlimit(RLIMIT_CORE, &none) == 0;
    // Not dumpable also means no core file whatever the limit, and no ptrace attach.
    const bool notDumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    return noCoreFile && notDumpable;
}
