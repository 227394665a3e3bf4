/* Preloaded into a test's child process: every fsync and fdatasync fails with EIO,
   as on a disk that cannot promise its writes. */
#include <errno.h>

int fsync(int fd) {
    (void)fd;
    errno = EIO;
    return -1;
}

int fdatasync(int fd) {
    (void)fd;
    errno = EIO;
    return -1;
}
