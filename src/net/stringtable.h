// The module's string table: the user-visible texts, looked up by entry number the way a Windows
// module's string resources are.
//
// | entries        | use                                                          |
// |----------------|--------------------------------------------------------------|
// | 1-12, 20, 30   | the host's status line and error boxes                       |
// | 100, 101       | a movie already open; a movie without a valid score          |
// | 13401-13420    | error texts for status codes (statuscodes.h, errorText)      |
#pragma once

#include <cstdint>

namespace skv {

// Where the incompatible-viewer texts send users (a literal, so that the table can splice it in).
#define SKV_MAKER_WEB_ADDRESS "http://www.skyvora.example/"
inline constexpr const char kMakerWebAddress[] = SKV_MAKER_WEB_ADDRESS;

enum ModuleStringId : uint32_t {
    IDS_CANNOT_ACCESS_URL = 1,
    IDS_CANNOT_CREATE_PLUGIN = 2,
    IDS_CANNOT_CREATE_PLAYER = 3,
    IDS_CANNOT_CREATE_OBJECT_MANAGER = 4,
    IDS_CONNECTING = 5,
    IDS_PLAYING = 6,
    IDS_STREAMING_RATE = 7,
    IDS_INCOMPATIBLE_VIEWER = 8,
    IDS_SERVER_BUSY = 9,
    IDS_SERVER_NOT_FOUND = 10,
    IDS_SERVER_UNKNOWN_ERROR = 11,
    IDS_CONNECTION_FAILED = 12,
    IDS_SERVER_TIMED_OUT = 20,
    IDS_ERROR_SERIALIZING = 30,
    IDS_MOVIE_ALREADY_OPEN = 100,
    IDS_NO_VALID_SCORE = 101,
};

// The text of an entry, or null when the table has none.
const char* moduleString(uint32_t id);

// LoadString's contract: copies the entry into `buffer`, truncated to `capacity` - 1 characters
// and NUL-terminated, and returns the number of characters copied; 0 (and an empty buffer, when
// there is room for one) when the entry is missing.
int32_t loadModuleString(uint32_t id, char* buffer, int32_t capacity);

} // namespace skv
