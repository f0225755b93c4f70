// The report's output folder and files, its streams, error texts and clock on POSIX.
#include "report/report_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

struct Identity {
    dev_t device;
    ino_t inode;
};

// The parent of an absolute canonical path ("/a/b" -> "/a", "/a" -> "/").
std::string ParentOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

// Splits `path` into its canonical existing part and the components below it that do not
// exist yet ("." dropped, ".." taken back lexically: nothing below the existing part is a
// link). RETURNS false with *error when no part of it can be resolved.
bool ResolveOut(const std::string& path, std::string* existing, std::vector<std::string>* missing,
                int32_t* error)
{
    std::string head = path;
    std::vector<std::string> tail;   // in reverse order
    char resolved[PATH_MAX];
    for (;;) {
        if (realpath(head.empty() ? "." : head.c_str(), resolved) != nullptr) {
            break;
        }
        if (errno != ENOENT || head.empty() || head == "/") {
            *error = errno;
            return false;
        }
        while (head.size() > 1 && head.back() == '/') {
            head.pop_back();
        }
        size_t slash = head.find_last_of('/');
        tail.push_back(slash == std::string::npos ? head : head.substr(slash + 1));
        head = slash == std::string::npos ? std::string() : head.substr(0, slash == 0 ? 1 : slash);
    }
    *existing = resolved;
    missing->clear();
    for (auto component = tail.rbegin(); component != tail.rend(); ++component) {
        if (component->empty() || *component == ".") {
            continue;
        }
        if (*component == "..") {
            if (!missing->empty()) {
                missing->pop_back();
            } else {
                *existing = ParentOf(*existing);
            }
            continue;
        }
        missing->push_back(*component);
    }
    return true;
}

}  // namespace

int32_t PrepareOutFolder(const std::string& out, const std::vector<std::string>& results,
                         std::string* folder, int32_t* error)
{
    std::vector<Identity> identities;
    std::vector<size_t> owners;
    for (size_t index = 0; index < results.size(); ++index) {
        struct stat status;
        if (stat(results[index].c_str(), &status) == 0) {   // an unreadable one is said later
            identities.push_back(Identity{status.st_dev, status.st_ino});
            owners.push_back(index);
        }
    }
    std::string existing;
    std::vector<std::string> missing;
    if (!ResolveOut(out, &existing, &missing, error)) {
        return kTreeSystem;
    }
    // Once more without "..": a folder that ".." led back to may exist after all.
    std::string lexical = existing;
    for (const std::string& component : missing) {
        lexical = JoinPath(lexical, component);
    }
    if (!missing.empty() && !ResolveOut(lexical, &existing, &missing, error)) {
        return kTreeSystem;
    }
    // The folder itself (when it exists) and every folder above it.
    for (std::string above = existing;; above = ParentOf(above)) {
        struct stat status;
        if (stat(above.c_str(), &status) == 0) {
            for (size_t index = 0; index < identities.size(); ++index) {
                if (identities[index].device == status.st_dev &&
                    identities[index].inode == status.st_ino) {
                    *error = static_cast<int32_t>(owners[index]);
                    return kOutInsideResults;
                }
            }
        }
        if (above == "/") {
            break;
        }
    }
    std::string path = existing;
    for (const std::string& component : missing) {
        path = JoinPath(path, component);
        if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
            *error = errno;
            return kTreeSystem;
        }
    }
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        *error = ENOTDIR;
        return kTreeSystem;
    }
    *folder = path;
    return kTreeOk;
}

int32_t CreateOutFile(const std::string& folder, const char* name, OutFile* file, int32_t* error)
{
    file->path = JoinPath(folder, name);
    file->buffer.clear();
    file->error = 0;
    int descriptor =
        open(file->path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        *error = errno;
        file->handle = -1;
        return kTreeSystem;
    }
    file->handle = descriptor;
    return kTreeOk;
}

int32_t WriteHandle(intptr_t handle, const char* bytes, size_t size)
{
    while (size > 0) {
        ssize_t written = write(static_cast<int>(handle), bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? errno : ENOSPC;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

int32_t CloseOutHandle(intptr_t handle)
{
    return close(static_cast<int>(handle)) == 0 ? 0 : errno;
}

void WriteStream(int stream, const char* bytes, size_t size)
{
    WriteHandle(stream == 2 ? STDERR_FILENO : STDOUT_FILENO, bytes, size);
}

std::string UtcNowText()
{
    time_t now = time(nullptr);
    struct tm parts;
    char text[32] = {};
    if (gmtime_r(&now, &parts) == nullptr ||
        strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &parts) == 0) {
        return std::string();
    }
    return text;
}
