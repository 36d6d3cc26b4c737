// The HTTP reply header: line limits, the end of the header, Content-Length, and that nothing
// after the header is consumed.
#include <gtest/gtest.h>

#include <string>

#include "net/httpheader.h"

namespace {

struct Parsed {
    int32_t result;
    int32_t contentLength;
    std::string rest; // what the parser left unread
};

Parsed parse(const std::string& bytes, bool askLength = true) {
    size_t at = 0;
    Parsed p{};
    p.contentLength = -2;
    p.result = skv::parseHttpHeader(
        [&](char& c) {
            if (at >= bytes.size()) return false;
            c = bytes[at++];
            return true;
        },
        askLength ? &p.contentLength : nullptr);
    p.rest = bytes.substr(at);
    return p;
}

TEST(HttpHeader, EndsAtTheEmptyLineAndLeavesTheBodyUnread) {
    Parsed p = parse("HTTP/1.0 200 OK\r\nContent-Length: 5004\r\n\r\nBODY");
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.contentLength, 5004);
    EXPECT_EQ(p.rest, "BODY");
    // A line of one space ends the header too; the length is absent.
    p = parse("HTTP/1.1 200 OK\r\nServer: x\r\n \r\nBODY");
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.contentLength, -1);
    EXPECT_EQ(p.rest, "BODY");
    // A bare LF does not end a line.
    p = parse("HTTP/1.0 200 OK\r\nA\n\r\n\r\nBODY");
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.rest, "BODY");
}

TEST(HttpHeader, ContentLengthIsReadOnlyWhenAskedAndWithoutRegardToCase) {
    Parsed p = parse("HTTP/1.0 200 OK\r\ncontent-LENGTH: 77\r\n\r\n");
    EXPECT_EQ(p.contentLength, 77);
    p = parse("HTTP/1.0 200 OK\r\nContent-Length: 77\r\n\r\n", false);
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.contentLength, -2); // untouched
    // Absurd values are held to the int32 range rather than overflowing.
    p = parse("HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n");
    EXPECT_EQ(p.contentLength, INT32_MAX);
    p = parse("HTTP/1.0 200 OK\r\nContent-Length:\r\n\r\n");
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.contentLength, 0);
}

TEST(HttpHeader, StatusesMapToRequestCodesAndEndTheParseAtOnce) {
    struct Case {
        const char* status;
        int32_t expected;
    } cases[] = {
        {"HTTP/1.0 204 No Content", -404}, {"HTTP/1.0 205 Reset", -404},
        {"HTTP/1.0 206 Partial", -404},    {"HTTP/1.0 404 Not Found", -404},
        {"HTTP/1.0 401 No", -401},         {"HTTP/1.0 402 Pay", -401},
        {"HTTP/1.0 406 No", -401},         {"HTTP/1.0 403 Forbidden", -403},
        {"HTTP/1.0 302 Found", -500},      {"HTTP/1.0 500 Error", -500},
        {"HTTP/x 200 OK", -500},           {"", -500},
    };
    for (const Case& c : cases) {
        Parsed p = parse(std::string(c.status) + "\r\nRest: unread\r\n\r\n");
        EXPECT_EQ(p.result, c.expected) << c.status;
        EXPECT_EQ(p.rest, "Rest: unread\r\n\r\n") << c.status;
    }
}

TEST(HttpHeader, LinesLongerThan256BytesAndEarlyEndsFail) {
    std::string fits = "X: " + std::string(256 - 5, 'a') + "\r\n"; // 256 bytes with CR LF
    EXPECT_EQ(parse("HTTP/1.0 200 OK\r\n" + fits + "\r\n").result, 0);
    std::string over = "X: " + std::string(256 - 4, 'a') + "\r\n"; // 257
    EXPECT_EQ(parse("HTTP/1.0 200 OK\r\n" + over + "\r\n").result, -1);
    EXPECT_EQ(parse("HTTP/1.0 200 OK" + std::string(300, ' ') + "\r\n\r\n").result, -1);
    EXPECT_EQ(parse("HTTP/1.0 200 OK\r\nServer: x\r\n").result, -1);
    EXPECT_EQ(parse("HTTP/1.0 200 OK\r").result, -1);
    EXPECT_EQ(parse("").result, -1);
}

} // namespace
