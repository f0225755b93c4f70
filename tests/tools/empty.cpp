// An empty program: a clean program for the scenarios to plant, and the baseline of the
// cleaner's benchmark (bench/run_cleaner_bench.sh), the cost of starting and ending a program
// of this build under Wine and nothing else. With "/keys" it also makes the cleaner's two key
// waits (every stream flushed, one key read from the console), whose cost under a Wine
// console is Wine's own.
#include <conio.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "/keys") == 0) {
        for (int wait = 0; wait < 2; ++wait) {
            _flushall();
            _getch();
            _flushall();
        }
    }
    return 0;
}
