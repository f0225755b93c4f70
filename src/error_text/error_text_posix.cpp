#include "error_text/error_text.h"

#include <string.h>

std::string ErrorText(int32_t error)
{
    char text[256] = {};
    // The GNU strerror_r returns its text (maybe not in `text`); the XSI one fills `text`.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return std::string(strerror_r(error, text, sizeof(text)));
#else
    if (strerror_r(error, text, sizeof(text)) != 0) {
        return "Error " + std::to_string(error);
    }
    return std::string(text);
#endif
}
