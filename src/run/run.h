// The cleaning run: its sequence, the console and log reporting, host information,
// and the bounded text helpers every subsystem composes its paths and messages with.
#pragma once

#include <cstddef>
#include <cstdint>

// Paths and composed messages live in buffers of the platform's path limit.
constexpr size_t kPathSize = 260;

constexpr double kPurgekitVersion = 2.0;
constexpr char kLogFileName[] = "PURGEKIT.LOG";

// ---- Host information -------------------------------------------------------------------

// Platform codes: the family in the high part plus major * 0x100 plus the minor version
// written so that it reads like its decimal value (NT 3.51 is the one exception).
constexpr uint32_t kPlatformUnknown = 0;
constexpr uint32_t kPlatformNt351 = 0x10451;
constexpr uint32_t kPlatformNt40 = 0x10400;
constexpr uint32_t kPlatformWin2000 = 0x10500;
constexpr uint32_t kPlatformWinXp = 0x10501;
constexpr uint32_t kPlatformWin95 = 0x100400;
constexpr uint32_t kPlatformWin98 = 0x100410;
constexpr uint32_t kPlatformWinMe = 0x100490;

struct HostInfo {
    uint32_t platformCode;
};

constexpr int32_t kHostInfoOk = 0;
constexpr int32_t kHostInfoNoRecord = -2;
constexpr int32_t kHostInfoNoVersion = -3;

// Fills the record with the platform code (0 when not recognised).
// RETURNS: 0; -2 no record given; -3 the version query failed (code left 0).
int32_t GetHostInfo(HostInfo* info);

// The display name of a platform code; "UNKNOWN OS" for anything not in the table.
const char* PlatformName(uint32_t platformCode);

// ---- Console and log reporting ----------------------------------------------------------
// Messages are data: they are written verbatim, never used as formats.

void LogWrite(const char* message);   // log only; silent when the log cannot be opened
void Report(const char* message);     // log, then console
void LogCount(int32_t number);        // "%i Files" to log then console, only if the log opened
void LogDateTime();                   // the local date and time line, log only
void ShowIntroBanner();               // banner, then one key
void ShowClosingBanner();             // one key, then the information box

// Standard output is fully buffered in a buffer of kConsoleBufferSize bytes, set up once at the
// start of the run before anything is printed, and flushed after each message and each banner
// group: each reaches the console whole, in one write, as soon as it is printed.
constexpr size_t kConsoleBufferSize = 4096;
void BufferConsoleOutput();
void PrintToConsole(const char* text);   // verbatim, kept in the buffer (a group's lines)
void ShowOnConsole(const char* text);    // verbatim, then flushed with what the buffer holds

// ---- Bounded text -----------------------------------------------------------------------
// Each writes at most `size` bytes including the terminating zero, and cuts what does not
// fit. They return true when nothing had to be cut.

bool CopyText(char* out, size_t size, const char* text);
bool AppendText(char* out, size_t size, const char* text);
// head + argument + tail, composed in `out`.
bool ComposeText(char* out, size_t size, const char* head, const char* argument, const char* tail);
// A signed decimal number, padded with leading zeros to at least `minDigits` digits (as
// "%i" and "%02i" write it). Numbers are composed here rather than by the C runtime's
// formatting, whose multibyte support needs platform functions that not every promised Windows
// has.
bool AppendDecimal(char* out, size_t size, int32_t value, uint32_t minDigits = 1);
// The program's version as "%2.2f" writes it: "2.00".
bool AppendVersion(char* out, size_t size);

// The system folder path: GetSystemDirectoryA with a backslash appended unless it ends in
// one. RETURNS false when the platform gives no path (`out` empty) or the backslash does not
// fit (`out` holds the path as far as it fits): such a path must not be acted upon.
bool GetSystemFolderPath(char* out, size_t size);
// The Windows folder (GetWindowsDirectoryA) in the same way.
bool GetWindowsFolderPath(char* out, size_t size);

// ---- The run ----------------------------------------------------------------------------

// The whole program: banner, the cleaning stages in their fixed order, closing box.
// RETURNS: the exit code, always 0.
int RunCleaning();
