#include "detect/read_file_at.h"

int32_t ReadFileAt(FILE* file, uint32_t count, int32_t offset, uint8_t* buffer,
                   uint32_t* delivered)
{
    if (delivered != nullptr) {
        *delivered = 0;
    }
    if (file == nullptr || buffer == nullptr || count > kMaxReadSize) {
        return kReadInvalidArguments;
    }
    size_t got = 0;
    if (offset >= 0 && fseek(file, offset, SEEK_SET) == 0) {
        got = fread(buffer, 1, count, file);
    }
    if (delivered != nullptr) {
        *delivered = static_cast<uint32_t>(got);
    }
    return got >= kMinReadDelivered ? kReadOk : kReadShort;
}
