#include "net/netop.h"

#include <cstring>

#include "core/errors.h"

namespace skv {

netOp::netOp(int32_t operation, const char* text, int32_t value)
    : operation(operation), value(value) {
    if (text == nullptr || *text == '\0') throw CoreError{kErrNullArgument};
    size_t n = std::strlen(text) + 1;
    text_ = std::make_unique<char[]>(n);
    std::memcpy(text_.get(), text, n);
}

} // namespace skv
