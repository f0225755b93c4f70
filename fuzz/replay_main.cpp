// Replays fuzz inputs through the fuzz target without the fuzzing engine, as a normal test:
// every file named, and every file in every folder named (sorted), once each.
//   scan_replay PATH...
// Exit code 0 when all ran (a finding aborts with the sanitizer's or the target's report).
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool ReadAll(const std::string& path, std::vector<uint8_t>* bytes)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + got);
    }
    std::fclose(file);
    return true;
}

void Collect(const std::string& path, std::vector<std::string>* files)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        return;
    }
    if (!S_ISDIR(status.st_mode)) {
        files->push_back(path);
        return;
    }
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr) {
        return;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && name[0] != '.' && name != "README.md") {
            names.push_back(path + "/" + name);
        }
    }
    closedir(folder);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        Collect(name, files);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> files;
    for (int index = 1; index < argc; ++index) {
        Collect(argv[index], &files);
    }
    for (const std::string& path : files) {
        std::vector<uint8_t> bytes;
        if (!ReadAll(path, &bytes)) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs without a finding\n", files.size());
    return 0;
}
