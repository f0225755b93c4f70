// An empty program: a clean program for the scenarios to plant, and the baseline of the
// cleaner's benchmark (bench/run_cleaner_bench.sh), the cost of starting and ending a program
// of this build under Wine and nothing else.
int main()
{
    return 0;
}
