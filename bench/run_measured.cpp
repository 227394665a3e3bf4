// run_measured COMMAND [ARGUMENTS...]: runs the command with this program's
// standard input and its output thrown away, then prints "<exit status>
// <milliseconds> <peak resident kB>" of it. A process's peak resident memory
// counts that of the process it was started from (the memory it shared until
// its exec), so a benchmark program of tens of megabytes starts its commands
// through this small one.
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: run_measured COMMAND [ARGUMENTS...]\n", stderr);
        return 2;
    }
    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return 1;
    clock_gettime(CLOCK_MONOTONIC, &end);
    const double ms = double(end.tv_sec - start.tv_sec) * 1e3 + double(end.tv_nsec - start.tv_nsec) / 1e6;
    std::printf("%d %.3f %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1, ms, usage.ru_maxrss);
    return 0;
}
