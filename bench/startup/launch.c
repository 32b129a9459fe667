/* Starts one program of bench/startup.sh and times it from just before the
 * start: to the moment the program reports its main window on the screen
 * (bench/support/shownprobe.h writes the monotonic clock in nanoseconds to
 * its standard output, then ends itself) and to its end. Prints both in
 * microseconds: "SHOWN EXITED". Exits 1 when the program fails or never
 * reports.
 *
 *   bench_startup_launch PROGRAM [ARGS...] */
#define _GNU_SOURCE
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

static long long now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: bench_startup_launch PROGRAM [ARGS...]\n");
        return 2;
    }
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return 1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);

    const long long start = now();
    pid_t pid;
    if (posix_spawn(&pid, argv[1], &actions, NULL, argv + 1, environ) != 0) {
        perror(argv[1]);
        return 1;
    }
    close(out[1]);

    /* The report is the last number the program writes. */
    char text[4096];
    size_t used = 0;
    ssize_t got;
    while ((got = read(out[0], text + used, sizeof text - 1 - used)) > 0) {
        used += (size_t)got;
        if (used == sizeof text - 1) used = 0; /* only the tail matters */
    }
    int status;
    if (waitpid(pid, &status, 0) != pid) return 1;
    const long long end = now();
    text[used] = '\0';

    long long shown = 0;
    for (char* line = text; *line != '\0';) {
        char* next;
        const long long value = strtoll(line, &next, 10);
        if (next != line && value > 0) shown = value;
        while (*next != '\0' && *next != '\n') ++next;
        line = *next == '\n' ? next + 1 : next;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || shown < start) {
        fprintf(stderr, "bench_startup_launch: %s failed or never showed its window\n", argv[1]);
        return 1;
    }
    printf("%lld %lld\n", (shown - start) / 1000, (end - start) / 1000);
    return 0;
}
