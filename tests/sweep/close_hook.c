// Preloaded into the sweep by the tests of an adversary who wins every race: when the sweep
// closes the file named by RACE_FILE (its scan over, its action not begun), the shell command
// RACE_SWAP runs first, once in each process. Built by the tests that use it.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
int close(int fd)
{
    static int done;
    int (*real_close)(int) = (int (*)(int))dlsym(RTLD_NEXT, "close");
    char link[64], path[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t length = readlink(link, path, sizeof path - 1);
    if (done || length <= 0 || getenv("RACE_FILE") == NULL) return real_close(fd);
    path[length] = 0;
    if (strcmp(path, getenv("RACE_FILE")) != 0) return real_close(fd);
    done = 1;
    int result = real_close(fd);
    unsetenv("LD_PRELOAD");
    if (system(getenv("RACE_SWAP")) != 0) abort();
    return result;
}
