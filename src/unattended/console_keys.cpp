// The two key presses the cleaner's key waits take, queued in the console's input buffer before
// the cleaner starts: a key pressed while no prompt is shown stays pending in the console and
// satisfies the next wait at once.
#include "unattended/unattended.h"

#include <windows.h>

namespace {

constexpr WORD kVirtualKey = 'K';       // the key of kQueuedKeyCharacter
constexpr WORD kScanCode = 0x25;        // its scan code on a standard keyboard
constexpr DWORD kRecordsQueued = kQueuedKeyPresses * 2;

HANDLE OpenConsoleInput()
{
    return CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

void FillKeyRecord(INPUT_RECORD* record, bool down)
{
    ZeroMemory(record, sizeof(*record));
    record->EventType = KEY_EVENT;
    record->Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record->Event.KeyEvent.wRepeatCount = 1;
    record->Event.KeyEvent.wVirtualKeyCode = kVirtualKey;
    record->Event.KeyEvent.wVirtualScanCode = kScanCode;
    record->Event.KeyEvent.uChar.AsciiChar = kQueuedKeyCharacter;
    record->Event.KeyEvent.dwControlKeyState = 0;
}

}  // namespace

// RETURNS kConsoleCleanerEnded (0) when all records were queued; kConsoleNone when the process
// has no console and cannot get one; kConsoleNoInput when the console's input cannot be
// opened; kConsoleKeysNotQueued when the console refuses the records; kConsoleKeysShort when it
// took fewer than were queued (`error` is then the number it took).
int32_t QueueKeyPresses(uint32_t* error)
{
    *error = 0;
    HANDLE input = OpenConsoleInput();
    if (input == INVALID_HANDLE_VALUE) {
        // A process started without a console (detached) gets one of its own.
        if (!AllocConsole()) {
            *error = GetLastError();
            return kConsoleNone;
        }
        input = OpenConsoleInput();
        if (input == INVALID_HANDLE_VALUE) {
            *error = GetLastError();
            return kConsoleNoInput;
        }
    }
    INPUT_RECORD records[kRecordsQueued];
    for (DWORD i = 0; i < kRecordsQueued; ++i) {
        FillKeyRecord(&records[i], i % 2 == 0);
    }
    DWORD written = 0;
    int32_t status = kConsoleCleanerEnded;
    if (!WriteConsoleInputA(input, records, kRecordsQueued, &written)) {
        *error = GetLastError();
        status = kConsoleKeysNotQueued;
    } else if (written != kRecordsQueued) {
        *error = written;
        status = kConsoleKeysShort;
    }
    CloseHandle(input);
    return status;
}

bool IsConsoleFailure(int32_t status)
{
    return status == kConsoleNone || status == kConsoleNoInput || status == kConsoleKeysNotQueued ||
           status == kConsoleKeysShort;
}
