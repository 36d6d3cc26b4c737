// Anonymous pipes: capacity, blocking on both sides, broken pipes, and bulk transfer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/pipes.h"
#include "platform/win32.h"
#include "vclock_fixture.h"

namespace {

using PipeTest = VirtualClockTest;

struct Writer {
    HANDLE writeEnd;
    std::vector<char> data;
    DWORD written = 0;
    BOOL ok = FALSE;
    DWORD error = 0;
};

DWORD WINAPI writeAll(LPVOID p) {
    auto* w = static_cast<Writer*>(p);
    w->ok = WriteFile(w->writeEnd, w->data.data(), static_cast<DWORD>(w->data.size()), &w->written,
                      nullptr);
    w->error = GetLastError();
    return 0;
}

std::vector<char> pattern(size_t n) {
    std::vector<char> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<char>(i * 7 + i / 251);
    return v;
}

TEST_F(PipeTest, WriterBeyondTheCapacityBlocksUntilTheReaderDrains) {
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 16));
    Writer wr{w, pattern(40)};
    HANDLE t = startThread(writeAll, &wr);
    // The writer stays blocked (idle: the clock moves on to this time-out) until room is made.
    EXPECT_EQ(WaitForSingleObject(t, 1000), WAIT_TIMEOUT);
    EXPECT_EQ(elapsed(), 1000u);

    std::vector<char> got;
    char buf[64];
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(r, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(n, 16u); // never more than the capacity was buffered
    got.insert(got.end(), buf, buf + n);
    while (got.size() < 40) {
        ASSERT_TRUE(ReadFile(r, buf, sizeof buf, &n, nullptr));
        ASSERT_GT(n, 0u);
        ASSERT_LE(n, 16u);
        got.insert(got.end(), buf, buf + n);
    }
    joinThread(t);
    EXPECT_TRUE(wr.ok);
    EXPECT_EQ(wr.written, 40u);
    EXPECT_EQ(got, wr.data);
    CloseHandle(r);
    CloseHandle(w);
}

TEST_F(PipeTest, DefaultCapacityIs4096Bytes) {
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 0));
    std::vector<char> full = pattern(4096);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(w, full.data(), 4096, &n, nullptr)); // fits without a reader
    EXPECT_EQ(n, 4096u);
    Writer one{w, {'x'}};
    HANDLE t = startThread(writeAll, &one);
    EXPECT_EQ(WaitForSingleObject(t, 50), WAIT_TIMEOUT); // the 4097th byte waits
    char buf[10];
    ASSERT_TRUE(ReadFile(r, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(n, 10u);
    joinThread(t);
    EXPECT_TRUE(one.ok);
    CloseHandle(r);
    CloseHandle(w);
}

TEST(Pipe, ReadReturnsWhatIsThereThenTheRestThenBrokenPipe) {
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 64));
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(w, "hello", 5, &n, nullptr));
    ASSERT_TRUE(CloseHandle(w));
    char buf[16] = {};
    ASSERT_TRUE(ReadFile(r, buf, 3, &n, nullptr));
    EXPECT_EQ(n, 3u);
    ASSERT_TRUE(ReadFile(r, buf + 3, 10, &n, nullptr));
    EXPECT_EQ(n, 2u);
    EXPECT_STREQ(buf, "hello");
    n = 99;
    EXPECT_FALSE(ReadFile(r, buf, 10, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    EXPECT_EQ(n, 0u);
    CloseHandle(r);
}

TEST(Pipe, WriteAfterTheReaderClosedFailsWithNoData) {
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 64));
    ASSERT_TRUE(CloseHandle(r));
    DWORD n = 99;
    EXPECT_FALSE(WriteFile(w, "abc", 3, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_DATA));
    EXPECT_EQ(n, 0u);
    CloseHandle(w);
}

TEST(Pipe, EachEndOnlyGoesOneWay) {
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 64));
    DWORD n;
    char c = 'x';
    EXPECT_FALSE(WriteFile(r, &c, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(ReadFile(w, &c, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(r);
    CloseHandle(w);
}

TEST_F(PipeTest, ClosingTheReaderWakesABlockedWriterWithWhatItWrote) {
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 16));
    Writer wr{w, pattern(40)};
    HANDLE t = startThread(writeAll, &wr);
    char buf[16];
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(r, buf, 16, &n, nullptr));
    ASSERT_EQ(n, 16u);
    // The writer refills the pipe and blocks again (which is when the clock can move).
    EXPECT_EQ(WaitForSingleObject(t, 10), WAIT_TIMEOUT);
    CloseHandle(r);
    joinThread(t);
    EXPECT_FALSE(wr.ok);
    EXPECT_EQ(wr.error, static_cast<DWORD>(ERROR_NO_DATA));
    EXPECT_EQ(wr.written, 32u);
    CloseHandle(w);
}

struct Reader {
    HANDLE readEnd;
    BOOL ok = TRUE;
    DWORD error = 0;
    DWORD read = 99;
};

TEST_F(PipeTest, ClosingTheWriterWakesABlockedReader) {
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 16));
    Reader rd{r};
    HANDLE t = startThread(
        [](LPVOID p) -> DWORD {
            auto* rd = static_cast<Reader*>(p);
            char buf[8];
            rd->ok = ReadFile(rd->readEnd, buf, sizeof buf, &rd->read, nullptr);
            rd->error = GetLastError();
            return 0;
        },
        &rd);
    EXPECT_EQ(WaitForSingleObject(t, 10), WAIT_TIMEOUT); // blocked: nothing to read
    CloseHandle(w);
    joinThread(t);
    EXPECT_FALSE(rd.ok);
    EXPECT_EQ(rd.error, static_cast<DWORD>(ERROR_BROKEN_PIPE));
    EXPECT_EQ(rd.read, 0u);
    CloseHandle(r);
}

struct Bulk {
    HANDLE writeEnd;
    size_t total;
};

TEST(Pipe, BulkTransferInSmallChunksArrivesIntact) {
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 4096));
    static constexpr size_t kTotal = 4 * 1024 * 1024;
    Bulk b{w, kTotal};
    HANDLE t = startThread(
        [](LPVOID p) -> DWORD {
            auto* b = static_cast<Bulk*>(p);
            std::vector<char> chunk(1024);
            for (size_t off = 0; off < b->total; off += chunk.size()) {
                for (size_t i = 0; i < chunk.size(); ++i)
                    chunk[i] = static_cast<char>((off + i) % 253);
                DWORD n = 0;
                if (!WriteFile(b->writeEnd, chunk.data(), 1024, &n, nullptr) || n != 1024) return 1;
            }
            CloseHandle(b->writeEnd);
            return 0;
        },
        &b);
    size_t at = 0;
    bool intact = true;
    char buf[1024];
    DWORD n = 0;
    while (ReadFile(r, buf, sizeof buf, &n, nullptr)) {
        for (DWORD i = 0; i < n; ++i)
            intact = intact && buf[i] == static_cast<char>((at + i) % 253);
        at += n;
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    EXPECT_EQ(joinThread(t), 0u);
    EXPECT_EQ(at, kTotal);
    EXPECT_TRUE(intact);
    CloseHandle(r);
}

// Whole-record reads: a record written in pieces comes back in one read; a record longer than
// the pipe comes back a pipe-full at a time; an odd mix of record and chunk sizes (records over
// half the pipe while the writer waits for room) never stalls either side.
TEST(Pipe, ReadPipeFullyAssemblesRecordsWhateverThePieces) {
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 1000));
    static constexpr size_t kTotal = 600 * 1000;
    Bulk b{w, kTotal};
    HANDLE t = startThread(
        [](LPVOID p) -> DWORD {
            auto* b = static_cast<Bulk*>(p);
            std::vector<char> chunk(700);
            size_t off = 0, piece = 1;
            while (off < b->total) {
                size_t n = std::min({piece, chunk.size(), b->total - off});
                for (size_t i = 0; i < n; ++i)
                    chunk[i] = static_cast<char>((off + i) % 251);
                DWORD done = 0;
                if (!WriteFile(b->writeEnd, chunk.data(), static_cast<DWORD>(n), &done, nullptr))
                    return 1;
                off += n;
                piece = piece * 7 % 701 + 1;
            }
            CloseHandle(b->writeEnd);
            return 0;
        },
        &b);
    size_t at = 0, want = 3;
    bool intact = true, whole = true;
    std::vector<char> buf(1500);
    DWORD n = 0;
    while (skv::platform::readPipeFully(r, buf.data(), static_cast<DWORD>(want), &n)) {
        // A record never comes back short unless the pipe cannot hold it or the writer is done.
        whole = whole && (n == want || n == 1000 || at + n == kTotal);
        for (DWORD i = 0; i < n; ++i)
            intact = intact && buf[i] == static_cast<char>((at + i) % 251);
        at += n;
        want = want * 13 % 1499 + 1;
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    EXPECT_EQ(joinThread(t), 0u);
    EXPECT_EQ(at, kTotal);
    EXPECT_TRUE(intact);
    EXPECT_TRUE(whole);
    CloseHandle(r);
}

TEST(Pipe, ReadPipeFullyReturnsTheTailWhenTheWriterHasGone) {
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 64));
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(w, "abcde", 5, &n, nullptr));
    CloseHandle(w);
    char buf[16] = {};
    ASSERT_TRUE(skv::platform::readPipeFully(r, buf, 10, &n));
    EXPECT_EQ(n, 5u);
    EXPECT_STREQ(buf, "abcde");
    EXPECT_FALSE(skv::platform::readPipeFully(r, buf, 10, &n));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    CloseHandle(r);
}

} // namespace
