// The header of an HTTP/1.0 reply, read one byte at a time so that nothing after it is consumed:
// the movie stream's length word follows the header directly.
//
// Lines end with CR LF and may be at most 256 bytes long, the CR LF included. The status line is
// scanned as "HTTP/%*f %d"; 200 is success, 204, 205, 206 and 404 give -404, 401, 402 and 406
// give -401, 403 gives -403 and anything else (a status line that does not scan included) -500.
// Any other status ends the parse at once. Further lines are skipped up to a line that is exactly
// CR LF or space CR LF. A longer line, or an end of the bytes before the header ends, gives -1.
#pragma once

#include <cstdint>
#include <functional>

namespace skv {

constexpr int kHttpLineLimit = 256;

// Delivers the next byte of the reply; false when the connection closed or failed.
using ReadByte = std::function<bool(char&)>;

// 0 on a complete 200 header, else the error code above. With `contentLength` the value of a
// "Content-Length:" line (its name compared without regard to case) is stored there, or -1 when
// the header has none.
int32_t parseHttpHeader(const ReadByte& readByte, int32_t* contentLength = nullptr);

} // namespace skv
