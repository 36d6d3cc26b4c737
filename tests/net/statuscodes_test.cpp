#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/statuscodes.h"
#include "net/stringtable.h"

using namespace skv;

namespace {

std::string textOf(uint32_t code) {
    char buf[512];
    errorText(code, buf, sizeof buf);
    return buf;
}

const char kNoText[] = "Unknown Error: No Error text found.";

} // namespace

TEST(StatusNames, NamedCodesAndTheUnnamedOnes) {
    EXPECT_STREQ(statusName(5005), "stsBufferingComplete");
    EXPECT_STREQ(statusName(4004), "stsServerConnectionEstablished");
    EXPECT_STREQ(statusName(0x80000FA8), "stsErrorSerialzingObject"); // the module's spelling
    EXPECT_STREQ(statusName(0x80000FA2), "stsErrorConstructingStream");
    EXPECT_EQ(statusName(0x80000FA9), nullptr);
    EXPECT_EQ(statusName(0x80000FB4), nullptr);
    EXPECT_EQ(statusName(5006), nullptr);
    EXPECT_EQ(statusName(0), nullptr);
}

TEST(StatusForError, EveryListedCodeAndTheFallback) {
    const std::pair<int32_t, uint32_t> table[] = {
        {-400, 0x80000FA7}, {-401, 0x80000FAA}, {-403, 0x80000FAB}, {-404, 0x80000FAC},
        {-500, 0x80000FAD}, {-501, 0x80000FAE}, {-502, 0x80000FAF}, {-600, 0x80000FB0},
        {-601, 0x80000FB1}, {-602, 0x80000FB2}, {-603, 0x80000FB3}, {-604, 0x80000FB4},
        {-605, 0x80000FB5},
    };
    for (auto [error, status] : table)
        EXPECT_EQ(statusForError(error), status) << error;
    for (int32_t other : {-999, -1, -4, -402, 0, 10061})
        EXPECT_EQ(statusForError(other), 0x80000FA3u) << other;
}

TEST(ErrorText, ErrorCodesGiveTheirEntries) {
    EXPECT_EQ(textOf(0x80000FA3), moduleString(13408));
    EXPECT_EQ(textOf(0x80000FA3),
              "An unknown error has occurred.  Please contact Quillon technical support.");
    EXPECT_EQ(textOf(0x80000FAC), "The Quillon Skyvora movie cannot be found on the server.");
    EXPECT_EQ(textOf(0x80000FB4), "The Skyvora is too busy at this time.  Please try again later.");
    EXPECT_EQ(textOf(0x80000FA9),
              std::string("The Quillon Skyvora Viewer is incompatible with the current server.  "
                          "Please visit ") +
                  kMakerWebAddress + " to obtain a compatible viewer(code 2.)");
    // Every error code from 0x80000FA2 to 0x80000FB5 except the unused 0x80000FA4 has a text.
    for (uint32_t code = 0x80000FA2; code <= 0x80000FB5; ++code) {
        if (code == 0x80000FA4)
            EXPECT_EQ(textOf(code), kNoText);
        else
            EXPECT_NE(textOf(code), kNoText) << std::hex << code;
    }
}

TEST(ErrorText, ProgressCodesGiveTheGenericEntryAndUnknownCodesTheFallback) {
    const std::string generic = moduleString(13404);
    for (uint32_t code : {4000u, 4001u, 4004u, 5000u, 5005u, 5006u, 5007u, 5012u})
        EXPECT_EQ(textOf(code), generic) << code;
    for (uint32_t code : {4002u, 5013u, 0u, 0x80000FB6u, 0x80000FA1u})
        EXPECT_EQ(textOf(code), kNoText) << code;
}

TEST(ErrorText, NeverWritesPastCapacityAndAlwaysTerminates) {
    char buf[32];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(errorText(0x80000FB5, buf, 10), 9);
    EXPECT_STREQ(buf, "Operation");
    EXPECT_EQ(buf[10], '#');
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(errorText(0x12345, buf, 8), 7);
    EXPECT_STREQ(buf, "Unknown");
    EXPECT_EQ(buf[8], '#');
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(errorText(0x80000FB5, buf, 1), 0);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(buf[1], '#');
    // No room at all: nothing is touched.
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(errorText(0x80000FB5, buf, 0), 0);
    EXPECT_EQ(buf[0], '#');
    EXPECT_EQ(errorText(0x80000FB5, nullptr, 16), 0);
    // A text exactly filling the buffer.
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(errorText(0x80000FAB, buf, 15), 14);
    EXPECT_STREQ(buf, "Access denied.");
}

TEST(ModuleStrings, LoadByNumberLikeLoadString) {
    char buf[64];
    EXPECT_EQ(loadModuleString(IDS_CONNECTING, buf, sizeof buf), 23);
    EXPECT_STREQ(buf, "Connecting to server...");
    EXPECT_EQ(loadModuleString(IDS_CONNECTING, buf, 5), 4);
    EXPECT_STREQ(buf, "Conn");
    EXPECT_EQ(loadModuleString(13421, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(loadModuleString(0, buf, sizeof buf), 0);
    // The format entry keeps its conversions for the host's status line.
    EXPECT_STREQ(moduleString(IDS_STREAMING_RATE),
                 "Streaming Skyvora Movie at %.2f K per second.  %d seconds remain before "
                 "playback begins.");
    EXPECT_STREQ(moduleString(30), "Error serailizing object");
    for (uint32_t id : {1u, 2u, 3u, 4u, 6u, 8u, 9u, 10u, 11u, 12u, 20u, 100u, 101u})
        EXPECT_NE(moduleString(id), nullptr) << id;
    for (uint32_t id = 13401; id <= 13420; ++id)
        EXPECT_NE(moduleString(id), nullptr) << id;
}
