#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "core/filepipe.h"
#include "core/pipepipe.h"
#include "platform/clock.h"
#include "worker.h"

using namespace skv;
using skv::test::Worker;

namespace {

// A fresh file name in the temporary directory, removed at the end of the test.
class TempFile {
public:
    TempFile() {
        char dir[MAX_PATH], name[MAX_PATH];
        EXPECT_GT(GetTempPathA(sizeof dir, dir), 0u);
        EXPECT_NE(GetTempFileNameA(dir, "skv", 0, name), 0u);
        path_ = name;
    }
    ~TempFile() { DeleteFileA(path_.c_str()); }
    const char* c_str() const { return path_.c_str(); }
    bool exists() const { return GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

private:
    std::string path_;
};

std::vector<uint8_t> pattern(size_t n, uint8_t seed = 0) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(seed + i * 31 + (i >> 8));
    return v;
}

// Waits (on the virtual clock) for a thread blocked on `pipe` to finish; if it does not, closes
// the pipe so that the thread is let go and the test fails instead of hanging.
bool finishesOrIsLetGo(Worker& w, Pipe& pipe) {
    if (w.finishedWithin(1000)) return true;
    pipe.close();
    return false;
}

// Each test runs on the virtual clock. A virtual Sleep in the test thread returns only once every
// other participating thread is blocked, which is how a test knows a reader is really waiting;
// a bounded wait for a thread that hangs costs no real time.
class PipeTest : public ::testing::Test {
protected:
    void SetUp() override { platform::setVirtualClock(true); }
    void TearDown() override {
        platform::setVirtualClock(false);
        platform::leaveVirtualClock();
    }
};

using FilePipeRead = PipeTest;

TEST_F(FilePipeRead, BlocksUntilTheRestArrives) {
    TempFile f;
    uFilePipe pipe(f.c_str(), uFilePipe::kCreate);
    ASSERT_EQ(pipe.openStatus(), 0);
    const std::vector<uint8_t> data = pattern(1024);
    ASSERT_EQ(pipe.write(data.data(), 100), 100);

    std::vector<uint8_t> got(1024);
    std::atomic<int32_t> result{-2};
    Worker reader([&] { result = pipe.read(got.data(), 1024); });

    Sleep(100); // the reader is asleep on the pipe now
    EXPECT_EQ(result.load(), -2);
    ASSERT_EQ(pipe.write(data.data() + 100, 500), 500);
    Sleep(100); // woken, not enough yet, asleep again
    EXPECT_EQ(result.load(), -2);
    EXPECT_EQ(pipe.readPosition(), 0u);
    ASSERT_EQ(pipe.write(data.data() + 600, 424), 424);
    ASSERT_TRUE(finishesOrIsLetGo(reader, pipe));
    EXPECT_EQ(result.load(), 1024);
    EXPECT_EQ(got, data);
    EXPECT_EQ(pipe.readPosition(), 1024u);
}

TEST_F(FilePipeRead, CloseFromAThirdThreadWakesTheReader) {
    TempFile f;
    uFilePipe pipe(f.c_str(), uFilePipe::kCreate);
    const std::vector<uint8_t> data = pattern(100);
    ASSERT_EQ(pipe.write(data.data(), 100), 100);
    std::vector<uint8_t> got(1024);
    std::atomic<int32_t> result{-2};
    Worker reader([&] { result = pipe.read(got.data(), 1024); });
    Sleep(100);
    EXPECT_EQ(result.load(), -2);
    {
        Worker closer([&] { pipe.close(); });
    }
    ASSERT_TRUE(reader.finishedWithin(1000));
    EXPECT_EQ(result.load(), 0);
    EXPECT_TRUE(pipe.isClosed());
    EXPECT_EQ(pipe.read(got.data(), 1), 0);
}

TEST_F(FilePipeRead, DestroyingThePipeReleasesAWaitingReader) {
    // The destructor must let the woken reader leave read() before the pipe's memory and
    // handles go; AddressSanitizer reports it otherwise.
    TempFile f;
    auto* pipe = new uFilePipe(f.c_str(), uFilePipe::kCreate);
    std::vector<uint8_t> got(16);
    std::atomic<int32_t> result{-2};
    Worker reader([&] { result = pipe->read(got.data(), 16); });
    Sleep(100);
    EXPECT_EQ(result.load(), -2);
    pipe->release();
    ASSERT_TRUE(reader.finishedWithin(1000));
    EXPECT_EQ(result.load(), 0);
}

TEST_F(FilePipeRead, KnowingTheTotalReleasesAReaderWaitingForMore) {
    TempFile f;
    uFilePipe pipe(f.c_str(), uFilePipe::kCreate);
    const std::vector<uint8_t> data = pattern(100);
    ASSERT_EQ(pipe.write(data.data(), 100), 100);
    std::vector<uint8_t> got(1024);
    std::atomic<int32_t> result{-2};
    Worker reader([&] { result = pipe.read(got.data(), 1024); });
    Sleep(100);
    EXPECT_EQ(result.load(), -2);
    pipe.setExpectedSize(100);
    EXPECT_TRUE(finishesOrIsLetGo(reader, pipe));
    EXPECT_EQ(result.load(), 100);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), got.begin()));
}

TEST_F(FilePipeRead, LastReadStopsAtTheExpectedTotal) {
    TempFile f;
    uFilePipe pipe(f.c_str(), uFilePipe::kCreate);
    const std::vector<uint8_t> data = pattern(1000);
    ASSERT_EQ(pipe.write(data.data(), 1000), 1000);
    pipe.setExpectedSize(1000);
    EXPECT_EQ(pipe.expectedSize(), 1000u);

    std::vector<uint8_t> got(1024);
    int32_t first = -2, second = -2, third = -2;
    Worker reader([&] {
        first = pipe.read(got.data(), 900);
        second = pipe.read(got.data() + 900, 1024);
        third = pipe.read(got.data(), 1024);
    });
    ASSERT_TRUE(finishesOrIsLetGo(reader, pipe));
    EXPECT_EQ(first, 900);
    EXPECT_EQ(second, 100);
    EXPECT_EQ(third, 0);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), got.begin()));
    EXPECT_EQ(pipe.readPosition(), 1000u);
}

TEST_F(FilePipeRead, StreamsEverythingBetweenAWriterAndAReader) {
    TempFile f;
    uFilePipe pipe(f.c_str(), uFilePipe::kCreate);
    const std::vector<uint8_t> data = pattern(20000, 5);
    pipe.setExpectedSize(static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> got;
    {
        Worker reader([&] {
            uint8_t buf[1024];
            for (int32_t n; (n = pipe.read(buf, sizeof buf)) > 0;)
                got.insert(got.end(), buf, buf + n);
        });
        Worker writer([&] {
            for (size_t at = 0; at < data.size(); at += 37) {
                auto n = static_cast<int32_t>(std::min<size_t>(37, data.size() - at));
                EXPECT_EQ(pipe.write(data.data() + at, n), n);
            }
        });
    }
    EXPECT_EQ(got, data);
}

TEST(FilePipe, TruncateEmptiesAnOldCacheFile) {
    TempFile f;
    const std::vector<uint8_t> old = pattern(500, 1);
    {
        uFilePipe pipe(f.c_str(), uFilePipe::kCreate);
        ASSERT_EQ(pipe.write(old.data(), 500), 500);
    }
    // Reopened without creating afresh: what was cached is still there.
    uFilePipe pipe(f.c_str(), 0);
    ASSERT_EQ(pipe.openStatus(), 0);
    EXPECT_EQ(pipe.writtenBytes(), 500u);
    uint8_t buf[200];
    ASSERT_EQ(pipe.read(buf, 200), 200);
    EXPECT_TRUE(std::equal(buf, buf + 200, old.begin()));

    pipe.truncate(0);
    EXPECT_EQ(pipe.size(), 0);
    EXPECT_EQ(pipe.writtenBytes(), 0u);
    EXPECT_EQ(pipe.readPosition(), 0u);
    const std::vector<uint8_t> fresh = pattern(10, 9);
    ASSERT_EQ(pipe.write(fresh.data(), 10), 10);
    pipe.setExpectedSize(10);
    uint8_t back[64];
    ASSERT_EQ(pipe.read(back, sizeof back), 10);
    EXPECT_TRUE(std::equal(fresh.begin(), fresh.end(), back));
}

TEST(FilePipe, CreateAfreshEmptiesAndSizeRefreshesWritten) {
    TempFile f;
    const std::vector<uint8_t> data = pattern(300);
    {
        uFilePipe pipe(f.c_str(), 0);
        ASSERT_EQ(pipe.write(data.data(), 300), 300);
        EXPECT_EQ(pipe.size(), 300);
    }
    uFilePipe pipe(f.c_str(), uFilePipe::kCreate);
    EXPECT_EQ(pipe.writtenBytes(), 0u);
    EXPECT_EQ(pipe.size(), 0);
    EXPECT_EQ(pipe.expectedSize(), uFilePipe::kUnknownSize);
}

TEST(FilePipe, DeleteOnCloseLeavesNoFile) {
    TempFile f;
    {
        uFilePipe keep(f.c_str(), uFilePipe::kCreate);
        keep.close();
    }
    EXPECT_TRUE(f.exists());
    uFilePipe pipe(f.c_str(), uFilePipe::kCreate | uFilePipe::kDeleteOnClose);
    ASSERT_EQ(pipe.openStatus(), 0);
    const uint8_t byte = 1;
    ASSERT_EQ(pipe.write(&byte, 1), 1);
    pipe.close();
    EXPECT_FALSE(f.exists());
}

TEST(FilePipe, SecondOpenerIsRefusedAndDeletesNothing) {
    TempFile f;
    auto* first = new uFilePipe(f.c_str(), uFilePipe::kCreate);
    ASSERT_EQ(first->openStatus(), 0);
    const uint8_t cached[3] = {7, 8, 9};
    ASSERT_EQ(first->write(cached, 3), 3);
    {
        uFilePipe second(f.c_str(), uFilePipe::kDeleteOnClose);
        EXPECT_EQ(second.openStatus(), 1);
        EXPECT_EQ(second.size(), -1);
        uint8_t buf[4];
        EXPECT_EQ(second.read(buf, 4), 0);
        // The pipe that failed to open never owned the file: closing it, even after the owner
        // has let go, must not remove what was cached.
        first->release();
        second.close();
    }
    EXPECT_TRUE(f.exists());
    uFilePipe third(f.c_str(), 0);
    EXPECT_EQ(third.openStatus(), 0);
    EXPECT_EQ(third.writtenBytes(), 3u);
}

TEST(FilePipe, WriteAfterCloseReportsAndReturnsZero) {
    TempFile f;
    uFilePipe pipe(f.c_str(), uFilePipe::kCreate);
    pipe.close();
    const uint8_t bytes[5] = {};
    testing::internal::CaptureStdout();
    EXPECT_EQ(pipe.write(bytes, 5), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "error: uFilePipe write returned 0, expected 5\n");
}

TEST(FilePipe, BadArgumentsAreRefused) {
    TempFile f;
    uFilePipe pipe(f.c_str(), uFilePipe::kCreate);
    uint8_t buf[4];
    EXPECT_EQ(pipe.read(buf, -1), -1);
    EXPECT_EQ(pipe.read(nullptr, 4), -1);
    EXPECT_EQ(pipe.read(buf, 0), 0);
    EXPECT_EQ(pipe.write(buf, -5), 0);
    EXPECT_EQ(pipe.writtenBytes(), 0u);
    uFilePipe unnamed(nullptr, uFilePipe::kCreate);
    EXPECT_EQ(unnamed.openStatus(), 1);
}

TEST(CacheDirectory, IsBesideTheModuleAndExists) {
    const std::string dir = cacheDirectory();
    const std::string suffix = std::string("qmsCache") + SKV_PATH_SEPARATOR;
    ASSERT_GE(dir.size(), suffix.size());
    EXPECT_EQ(dir.substr(dir.size() - suffix.size()), suffix);
    const DWORD attributes = GetFileAttributesA(dir.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    // This code is linked into the test program: the cache lives beside it.
    char program[4096];
    DWORD len = GetModuleFileNameA(nullptr, program, sizeof program);
    ASSERT_GT(len, 0u);
    std::string programDir(program, len);
    programDir.resize(programDir.rfind(SKV_PATH_SEPARATOR) + 1);
    EXPECT_EQ(dir, programDir + suffix);
    EXPECT_EQ(cacheDirectory(), dir); // an existing directory is fine
}

using PipePipeTest = PipeTest;

TEST_F(PipePipeTest, ReadOfMoreThanTheClosedPipeHeldFails) {
    uPipePipe pipe(0);
    ASSERT_EQ(pipe.openStatus(), 0);
    const uint8_t two[2] = {1, 2};
    ASSERT_EQ(pipe.write(two, 2), 2);
    pipe.close();
    EXPECT_EQ(pipe.write(two, 2), -1);
    uint8_t buf[4];
    EXPECT_EQ(pipe.read(buf, 4), -1);
}

TEST_F(PipePipeTest, ReadGathersExactlyNBytesAcrossWrites) {
    uPipePipe pipe(0);
    const std::vector<uint8_t> data = pattern(10);
    std::vector<uint8_t> got(10);
    std::atomic<int32_t> result{-2};
    Worker reader([&] { result = pipe.read(got.data(), 10); });
    for (size_t at = 0; at < 10; at += 3) {
        Sleep(10); // the reader has taken what there was and waits for the rest
        EXPECT_EQ(result.load(), -2);
        auto n = static_cast<int32_t>(std::min<size_t>(3, 10 - at));
        ASSERT_EQ(pipe.write(data.data() + at, n), n);
    }
    reader.join();
    EXPECT_EQ(result.load(), 10);
    EXPECT_EQ(got, data);
}

TEST_F(PipePipeTest, FullPipeBlocksTheWriterUntilTheReaderDrains) {
    uPipePipe pipe(64);
    const std::vector<uint8_t> data = pattern(1000, 3);
    std::atomic<int32_t> wrote{-2};
    Worker writer([&] { wrote = pipe.write(data.data(), 1000); });
    Sleep(10);
    EXPECT_EQ(wrote.load(), -2); // 64 bytes fit; the rest waits for room
    std::vector<uint8_t> got(1000);
    EXPECT_EQ(pipe.read(got.data(), 1000), 1000);
    writer.join();
    EXPECT_EQ(wrote.load(), 1000);
    EXPECT_EQ(got, data);
}

TEST_F(PipePipeTest, CloseReleasesAWriterBlockedOnAFullPipe) {
    uPipePipe pipe(16);
    const std::vector<uint8_t> data = pattern(100);
    std::atomic<int32_t> wrote{-2};
    Worker writer([&] { wrote = pipe.write(data.data(), 100); });
    Sleep(10);
    EXPECT_EQ(wrote.load(), -2);
    pipe.close();
    ASSERT_TRUE(writer.finishedWithin(1000));
    EXPECT_EQ(wrote.load(), -1);
    // What made it into the pipe before the close is still delivered.
    uint8_t buf[16];
    EXPECT_EQ(pipe.read(buf, 16), 16);
    EXPECT_TRUE(std::equal(buf, buf + 16, data.begin()));
    EXPECT_EQ(pipe.read(buf, 1), -1);
}

} // namespace
