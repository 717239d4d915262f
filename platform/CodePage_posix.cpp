#include <iconv.h>

#include <cerrno>

#include "platform/Ports.h"

namespace grid {

bool utf8ToCodePage932(const std::string& utf8, std::string& cp932) {
    cp932.clear();
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in = utf8;
    char* src = in.data();
    size_t srcLeft = in.size();
    bool ok = true;
    char chunk[256];
    while (srcLeft > 0) {
        char* dst = chunk;
        size_t dstLeft = sizeof chunk;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        cp932.append(chunk, static_cast<size_t>(dst - chunk));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    return ok;
}

}  // namespace grid
