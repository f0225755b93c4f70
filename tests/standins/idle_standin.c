/* A harmless stand-in for a worm process: it does nothing but sleep until it is ended.
 * Built without the C run-time so the whole program is a few hundred bytes of code, and
 * carries a pad section of initialized data that make_standin.cpp fills with a variant's
 * byte patterns at their absolute file offsets. The pad is never read by the program. */
#include <windows.h>

#define PAD_SIZE 0x8000

__attribute__((used, section(".sigpad"))) const unsigned char g_standinPad[PAD_SIZE] = {
    'P', 'U', 'R', 'G', 'E', 'K', 'I', 'T', ' ', 's', 't', 'a', 'n', 'd', '-', 'i', 'n'};

void __stdcall IdleStart(void)
{
    for (;;) {
        Sleep(1000);
    }
}
