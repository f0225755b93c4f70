// The walk on Win32: depth first without recursion through FindFirstFileExW on "\\?\" paths
// (no 260-character limit); the attributes of the listing tell files from folders, so files
// cost no extra call. Reparse points (links, junctions) are entered only when asked. Only the
// folder given is made absolute: the names listed are appended to it exactly as they are,
// since the platform's own path rules would strip a name's trailing dots and blanks.
#include "sweep/sweep_context.h"
#include "sweep/sweep_platform.h"
#include "sweep/wide_path_win32.h"

#include <windows.h>

namespace {

struct Frame {
    HANDLE find;
    WIN32_FIND_DATAW pending;     // the entry FindFirstFileExW handed over with the handle
    bool hasPending;
    size_t pathLength;            // of this folder's display path in Walk::path
    DWORD volume;
    uint64_t index;               // the folder's file index, for loops through links
};

struct Walk {
    SweepContext* context;
    std::string path;             // UTF-8, as printed
    size_t rootLength;            // of the folder as given, in `path`
    std::vector<Frame> stack;
    DWORD rootVolume;
    FINDEX_INFO_LEVELS listLevel;
    DWORD listFlags;
};

// Listings without short names, fetched in larger pieces, where the system has them (Windows 7
// and later); earlier systems refuse both as invalid parameters.
void ChooseListing(Walk* walk)
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    bool seven =
        GetVersionExW(&version) && (version.dwMajorVersion > 6 ||
                                    (version.dwMajorVersion == 6 && version.dwMinorVersion >= 1));
    walk->listLevel = seven ? FindExInfoBasic : FindExInfoStandard;
    walk->listFlags = seven ? FIND_FIRST_EX_LARGE_FETCH : 0;
}

// A file whose data is not on the disk (archived by a storage manager, or a cloud placeholder)
// is left unread unless asked: opening or reading it would recall or download it. The walk has
// its attributes from the listing, so nothing is opened to tell.
bool DataIsElsewhere(DWORD attributes)
{
    const DWORD kRecallOnOpen = 0x00040000;         // FILE_ATTRIBUTE_RECALL_ON_OPEN
    const DWORD kRecallOnDataAccess = 0x00400000;   // FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS
    return (attributes & (FILE_ATTRIBUTE_OFFLINE | kRecallOnOpen | kRecallOnDataAccess)) != 0;
}

void TakeFile(SweepContext* context, WorkItem&& item, DWORD attributes)
{
    if (DataIsElsewhere(attributes) && !context->options->readOffline) {
        ReportSkippedFile(context, item.path);
    } else {
        SubmitFile(context, std::move(item));
    }
}

// The volume and file index of a folder. RETURNS false when it cannot be opened.
bool FolderIdentity(const std::wstring& path, DWORD* volume, uint64_t* index, DWORD* error)
{
    HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    bool known = GetFileInformationByHandle(handle, &information) != FALSE;
    *error = known ? 0 : GetLastError();
    CloseHandle(handle);
    *volume = information.dwVolumeSerialNumber;
    *index = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return known;
}

bool NextEntry(Frame* frame, WIN32_FIND_DATAW* entry, DWORD* error)
{
    *error = 0;
    for (;;) {
        if (frame->hasPending) {
            *entry = frame->pending;
            frame->hasPending = false;
        } else if (!FindNextFileW(frame->find, entry)) {
            DWORD last = GetLastError();
            *error = last == ERROR_NO_MORE_FILES ? 0 : last;
            return false;
        }
        const wchar_t* name = entry->cFileName;
        if (!(name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0')))) {
            return true;
        }
    }
}

void EnterFolder(Walk* walk)
{
    const SweepOptions& options = *walk->context->options;
    std::wstring wide = ExtendedPath(walk->path, walk->rootLength);
    DWORD volume = 0;
    uint64_t index = 0;
    DWORD error = 0;
    bool identify = options.followSymlinks || options.oneFileSystem || options.haveMove ||
                    walk->stack.empty();
    if (identify && !FolderIdentity(wide, &volume, &index, &error)) {
        ReportPathError(walk->context, walk->path, static_cast<int32_t>(error));
        return;
    }
    if (!walk->stack.empty() && options.oneFileSystem && volume != walk->rootVolume) {
        return;
    }
    for (const Frame& frame : walk->stack) {
        if (options.followSymlinks && frame.volume == volume && frame.index == index) {
            return;   // a loop: this folder is already being walked above
        }
    }
    const SweepContext& context = *walk->context;
    if (options.haveMove && context.quarantineDevice == volume &&
        context.quarantineIndex == index) {
        return;   // the quarantine itself: what is held there was found already
    }
    Frame frame = {};
    std::wstring pattern = wide + (wide.back() == L'\\' ? L"*" : L"\\*");
    frame.find = FindFirstFileExW(pattern.c_str(), walk->listLevel, &frame.pending,
                                  FindExSearchNameMatch, nullptr, walk->listFlags);
    if (frame.find == INVALID_HANDLE_VALUE) {
        DWORD last = GetLastError();
        if (last !=
            ERROR_FILE_NOT_FOUND) {   // an empty folder has not even "." on some file systems
            ReportPathError(walk->context, walk->path, static_cast<int32_t>(last));
        }
        return;
    }
    if (walk->stack.empty()) {
        walk->rootVolume = volume;
    }
    frame.hasPending = true;
    frame.pathLength = walk->path.size();
    frame.volume = volume;
    frame.index = index;
    walk->stack.push_back(frame);
    SetCurrentFolder(walk->context, walk->path);
}

// Whether a reparse point is a link (symbolic link, junction, mount point and the like) rather
// than a file or folder holding data of its own behind a driver (deduplicated, compressed,
// cloud or archived files), which is scanned as the plain file or folder it is. An unknown tag
// counts as a link, so no loop can come of it (Wine reports no tag at all).
bool IsLink(const WIN32_FIND_DATAW& entry)
{
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return false;
    }
    const DWORD tag = entry.dwReserved0;
    const DWORD kDataTags[] = {
        0x80000013,   // IO_REPARSE_TAG_DEDUP
        0x80000017,   // IO_REPARSE_TAG_WOF
        0xC0000004,   // IO_REPARSE_TAG_HSM
        0x80000006,   // IO_REPARSE_TAG_HSM2
        0x80000007,   // IO_REPARSE_TAG_SIS
    };
    for (DWORD data : kDataTags) {
        if (tag == data) {
            return false;
        }
    }
    return (tag & 0xFFFF0FFFu) != 0x9000001Au;   // IO_REPARSE_TAG_CLOUD and its variants
}

void VisitEntry(Walk* walk, const WIN32_FIND_DATAW& entry)
{
    DWORD attributes = entry.dwFileAttributes;
    // A reparse point that is no link is opened through its driver, as a plain file.
    bool follow = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (IsLink(entry)) {
        if (!walk->context->options->followSymlinks) {
            return;
        }
        attributes = GetFileAttributesW(ExtendedPath(walk->path, walk->rootLength).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return;   // a dangling link: nothing to scan
        }
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        EnterFolder(walk);
    } else if ((attributes & FILE_ATTRIBUTE_DEVICE) == 0) {
        TakeFile(walk->context, WorkItem{walk->path, follow, walk->rootLength}, attributes);
    }
}

void WalkFolder(SweepContext* context, const std::string& root)
{
    Walk walk{context, root, root.size(), {}, 0, FindExInfoStandard, 0};
    ChooseListing(&walk);
    EnterFolder(&walk);
    while (!walk.stack.empty()) {
        Frame& top = walk.stack.back();
        WIN32_FIND_DATAW entry;
        DWORD error = 0;
        if (!NextEntry(&top, &entry, &error)) {
            walk.path.resize(top.pathLength);
            if (error != 0) {
                ReportPathError(context, walk.path, static_cast<int32_t>(error));
            }
            FindClose(top.find);
            walk.stack.pop_back();
            continue;
        }
        walk.path.resize(top.pathLength);
        // No separator after a bare drive ("C:" is that drive's current folder, "C:x" in it).
        bool bareDrive = walk.path.size() == 2 && walk.path[1] == ':';
        if (!bareDrive && !walk.path.empty() && walk.path.back() != '\\' &&
            walk.path.back() != '/') {
            walk.path.push_back('\\');
        }
        walk.path += WideToUtf8(entry.cFileName, wcslen(entry.cFileName));
        if (IsExcluded(*context->options, walk.path)) {
            continue;
        }
        VisitEntry(&walk, entry);
    }
}

}  // namespace

void WalkPath(SweepContext* context, const std::string& given)
{
    std::string path = given;
    // "C:\dir\" is "C:\dir"; a drive's root ("C:\", "\\.\Z:\", "\\?\C:\") stays.
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/') &&
           path[path.size() - 2] != ':') {
        path.pop_back();
    }
    if (IsExcluded(*context->options, path)) {
        return;
    }
    std::wstring wide = ExtendedPath(path);
    DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = wide.empty() ? ERROR_INVALID_NAME : GetLastError();
        ReportPathError(context, given, static_cast<int32_t>(error));
        return;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        WalkFolder(context, path);
    } else if ((attributes & FILE_ATTRIBUTE_DEVICE) == 0) {
        TakeFile(context, WorkItem{path, true, path.size()}, attributes);
    }
}
