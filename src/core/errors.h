// Failures raised inside the stream core.
//
// The stream core reports a failure by raising its integer code; catch-all handlers at thread
// bodies and at the object reader turn it into the end of a stream or a null object.
#pragma once

#include <cstdint>

namespace skv {

enum CoreErrorCode : int32_t {
    kErrShortRead = 666,     // an archive asked for more bytes than its pipe delivered
    kErrNullArgument = 1000, // a null or empty argument where one is required
    kErrAllocFailed = 2000,  // a zero-filled allocation failed
};

struct CoreError {
    int32_t code;
};

} // namespace skv
