// The report's platform pieces, one implementation for POSIX (*_posix.cpp) and one for Win32
// (*_win32.cpp), chosen by the build. Error numbers are errno values on POSIX and
// GetLastError values on Win32. Paths are UTF-8 on Windows, bytes on POSIX.
//
// The results tree is read without following links: a machine folder or a file in it that is
// a symbolic link (on Windows any reparse point: links, junctions) is not read, so that a
// folder written by a machine cannot point the report, run as root or an administrator, at
// any other file. Files are opened for reading only and never changed.
#pragma once

#include "error_text/error_text.h"
#include "report/report.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t kTreeOk = 0;
constexpr int32_t kTreeLink = -40;        // a link: not followed
constexpr int32_t kTreeNotFile = -41;     // not a regular file (a folder, device, FIFO, ...)
constexpr int32_t kTreeNotFolder = -42;   // not a folder
constexpr int32_t kTreeSystem = -43;      // the platform refused: *error holds its number
constexpr int32_t kOutInsideResults = -44;   // OUT_DIR is a results folder or lies inside one

// An open folder of the results tree: a descriptor on POSIX (read relative to it, so no
// component can be swapped for a link underneath), its path on Win32.
struct TreeFolder {
    intptr_t handle;
    std::string path;   // as shown in messages
};

enum class EntryKind : uint8_t { kFile, kFolder, kLink, kOther };
struct TreeEntry {
    std::string name;
    EntryKind kind;
};

struct TreeFile {
    intptr_t handle;
};

// tree_*.cpp
// A results folder as given on the command line (a link named there is followed).
// RETURNS kTreeOk, kTreeNotFolder or kTreeSystem.
int32_t OpenResultsFolder(const std::string& path, TreeFolder* folder, int32_t* error);
// A folder inside an open one, never through a link. RETURNS kTreeOk, kTreeLink,
// kTreeNotFolder or kTreeSystem.
int32_t OpenTreeFolder(const TreeFolder& parent, const std::string& name, TreeFolder* folder,
                       int32_t* error);
void CloseTreeFolder(TreeFolder* folder);
// The folder's entries other than "." and "..", in the order listed. RETURNS kTreeOk or
// kTreeSystem (the entries listed before the failure are kept).
int32_t ListTreeFolder(const TreeFolder& folder, std::vector<TreeEntry>* entries, int32_t* error);
// A regular file of the folder, read-only, never through a link. RETURNS kTreeOk, kTreeLink,
// kTreeNotFile or kTreeSystem.
int32_t OpenTreeFile(const TreeFolder& folder, const std::string& name, TreeFile* file,
                     int32_t* error);
// Up to `size` bytes; *got 0 at the end. RETURNS kTreeOk or kTreeSystem.
int32_t ReadTreeFile(TreeFile* file, char* into, size_t size, size_t* got, int32_t* error);
void CloseTreeFile(TreeFile* file);
// `folder` + separator + `name`, for messages.
std::string JoinPath(const std::string& folder, const std::string& name);

// system_*.cpp
// Checks that OUT_DIR is none of the results folders and lies inside none of them (by the
// folders' identity, whatever links or spellings lead there), then creates it and its parents
// where missing; *folder is its absolute path, in which the outputs are then made.
// RETURNS kTreeOk, kOutInsideResults (*error: the index of that results folder) or kTreeSystem.
int32_t PrepareOutFolder(const std::string& out, const std::vector<std::string>& results,
                         std::string* folder, int32_t* error);
// Creates (or empties) `name` in the folder, never through a link. RETURNS kTreeOk or
// kTreeSystem.
int32_t CreateOutFile(const std::string& folder, const char* name, OutFile* file, int32_t* error);
// RETURNS 0 or the error number.
int32_t WriteHandle(intptr_t handle, const char* bytes, size_t size);
int32_t CloseOutHandle(intptr_t handle);
void WriteStream(int stream, const char* bytes, size_t size);   // 1 stdout, 2 stderr
// The current time, UTC: "2026-12-07T15:30:12Z".
std::string UtcNowText();
