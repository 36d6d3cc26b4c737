#include "net/source.h"

#include <cstring>

namespace skv {

Source::Source(const char* url) {
    if (url) std::strncpy(url_, url, kMaxUrl);
}

} // namespace skv
