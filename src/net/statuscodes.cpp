#include "net/statuscodes.h"

#include <algorithm>
#include <cstring>

#include "net/stringtable.h"

namespace skv {

namespace {

struct Named {
    uint32_t code;
    const char* name;
};

constexpr Named kNames[] = {
    {stsInternetThreadStarted, "stsInternetThreadStarted"},
    {stsInternetThreadStopped, "stsInternetThreadStopped"},
    {stsServerConnectionEstablished, "stsServerConnectionEstablished"},
    {stsUpdate, "stsUpdate"},
    {stsCodecThreadStarted, "stsCodecThreadStarted"},
    {stsCodecThreadStopped, "stsCodecThreadStopped"},
    {stsSerializeThreadStarted, "stsSerializeThreadStarted"},
    {stsSerializeThreadStopped, "stsSerializeThreadStopped"},
    {stsBufferingComplete, "stsBufferingComplete"},
    {stsPlaybackComplete, "stsPlaybackComplete"},
    {stsErrorConstructingStream, "stsErrorConstructingStream"},
    {stsUnknownError, "stsUnknownError"},
    {stsServerNotFound, "stsServerNotFound"},
    {stsServerBusy, "stsServerBusy"},
    {stsServerBadRequest, "stsServerBadRequest"},
    {stsErrorSerialzingObject, "stsErrorSerialzingObject"},
};

struct Mapped {
    int32_t error;
    uint32_t status;
};

constexpr Mapped kErrorStatus[] = {
    {-400, 0x80000FA7}, {-401, 0x80000FAA}, {-403, 0x80000FAB}, {-404, 0x80000FAC},
    {-500, 0x80000FAD}, {-501, 0x80000FAE}, {-502, 0x80000FAF}, {-600, 0x80000FB0},
    {-601, 0x80000FB1}, {-602, 0x80000FB2}, {-603, 0x80000FB3}, {-604, 0x80000FB4},
    {-605, 0x80000FB5},
};

struct Texted {
    uint32_t code;
    uint32_t entry;
};

constexpr Texted kErrorEntries[] = {
    {0x80000FA2, 13401}, {0x80000FA8, 13402}, {0x80000FA9, 13403}, {0x80000FA7, 13405},
    {0x80000FA6, 13406}, {0x80000FA5, 13407}, {0x80000FA3, 13408}, {0x80000FAA, 13409},
    {0x80000FAB, 13410}, {0x80000FAC, 13411}, {0x80000FAD, 13412}, {0x80000FAE, 13413},
    {0x80000FAF, 13414}, {0x80000FB0, 13415}, {0x80000FB1, 13416}, {0x80000FB2, 13417},
    {0x80000FB3, 13418}, {0x80000FB4, 13419}, {0x80000FB5, 13420},
};

constexpr uint32_t kProgressEntry = 13404;
constexpr const char kNoText[] = "Unknown Error: No Error text found.";

bool isProgressCode(uint32_t code) {
    return code == 4000 || code == 4001 || code == 4004 || (code >= 5000 && code <= 5012);
}

} // namespace

const char* statusName(uint32_t code) {
    for (const Named& n : kNames)
        if (n.code == code) return n.name;
    return nullptr;
}

uint32_t statusForError(int32_t errorCode) {
    for (const Mapped& m : kErrorStatus)
        if (m.error == errorCode) return m.status;
    return stsUnknownError;
}

uint32_t errorTextEntry(uint32_t code) {
    if (isProgressCode(code)) return kProgressEntry;
    for (const Texted& t : kErrorEntries)
        if (t.code == code) return t.entry;
    return 0;
}

int32_t errorText(uint32_t code, char* buffer, int32_t capacity) {
    if (buffer == nullptr || capacity < 1) return 0;
    const char* text = kNoText;
    if (uint32_t entry = errorTextEntry(code))
        if (const char* found = moduleString(entry)) text = found;
    size_t n = std::min(std::strlen(text), static_cast<size_t>(capacity - 1));
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return static_cast<int32_t>(n);
}

} // namespace skv
