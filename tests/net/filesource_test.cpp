// Choosing a source from a URL, and reading a movie stream from a local file.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

#include "net/filesource.h"
#include "net/source.h"

namespace {

struct SourceDeleter {
    void operator()(skv::Source* s) const { s->destroy(); }
};
using SourcePtr = std::unique_ptr<skv::Source, SourceDeleter>;

// The path a URL's file source opens, "<null>" when refused, "<server>" for any other source.
std::string filePathFor(const char* url) {
    SourcePtr s(skv::openSource(url));
    if (!s) return "<null>";
    auto* f = dynamic_cast<skv::FileSource*>(s.get());
    return f ? f->path() : "<server>";
}

TEST(OpenSource, FileUrlsInEveryFormNameTheSameAbsolutePath) {
    EXPECT_EQ(filePathFor("file:///tmp/movies/a.skm"), "/tmp/movies/a.skm");
    EXPECT_EQ(filePathFor("file://tmp/movies/a.skm"), "/tmp/movies/a.skm");
    EXPECT_EQ(filePathFor("file:/tmp/movies/a.skm"), "/tmp/movies/a.skm");
    EXPECT_EQ(filePathFor("FiLe:tmp/movies/a.skm"), "/tmp/movies/a.skm");
    // A drive letter starts the path itself.
    EXPECT_EQ(filePathFor("file:///C:/movies/a.skm"), "C:/movies/a.skm");
}

TEST(OpenSource, TextWithoutAKnownSchemeIsAFileNamedByTheWholeText) {
    EXPECT_EQ(filePathFor("/tmp/a.skm"), "/tmp/a.skm");
    EXPECT_EQ(filePathFor("movies/a.skm"), "movies/a.skm"); // relative: checked in absolute form
    EXPECT_EQ(filePathFor("http://example.com/a.skm"), "http://example.com/a.skm");
    EXPECT_EQ(filePathFor("dir/x:y.skm"), "dir/x:y.skm"); // a '/' before the ':': no scheme
    // A scheme must fit 15 characters; a longer one is part of the file name.
    EXPECT_EQ(filePathFor("abcdefghijklmnop:/a.skm"), "abcdefghijklmnop:/a.skm");
    EXPECT_EQ(filePathFor("abcdefghijklmno:/a.skm"), "abcdefghijklmno:/a.skm");
}

TEST(OpenSource, NetworkSharesAreRefused) {
    EXPECT_EQ(filePathFor("//server/share/a.skm"), "<null>");
    EXPECT_EQ(filePathFor(nullptr), "<null>");
}

TEST(OpenSource, ASourceKeepsAtMost255CharactersOfItsUrl) {
    // Longer than 255 characters, but short enough for a Windows path with its drive, in names no
    // system refuses.
    const std::string folder = "/" + std::string(20, 'm');
    std::string url = "/tmp";
    for (int i = 0; i < 11; ++i)
        url.append(folder);
    url.append("/").append(std::string(20, 'n'));
    ASSERT_EQ(url.size(), 256u);
    SourcePtr s(skv::openSource(url.c_str()));
    ASSERT_TRUE(s);
    EXPECT_EQ(std::string(s->url()), url.substr(0, 255));
    // The file name itself is not cut short.
    EXPECT_EQ(static_cast<skv::FileSource*>(s.get())->path(), url);
}

class FileSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/skv_filesource_XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        path_ = name;
        for (int i = 0; i < 5000; ++i)
            bytes_.push_back(static_cast<char>(i * 13 + i / 256));
        ASSERT_EQ(write(fd, bytes_.data(), bytes_.size()), static_cast<ssize_t>(bytes_.size()));
        ::close(fd);
    }
    void TearDown() override { std::remove(path_.c_str()); }

    std::string path_;
    std::string bytes_;
};

TEST_F(FileSourceTest, RequestOpensAtTheOffsetAndReadsToTheEnd) {
    SourcePtr s(skv::openSource(("file://" + path_).c_str()));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->contentLength(), 0);
    ASSERT_EQ(s->request(0), 0);
    EXPECT_EQ(s->contentLength(), 5000);
    std::string got;
    char buf[2048];
    for (int32_t n; (n = s->read(buf, sizeof buf)) > 0;)
        got.append(buf, static_cast<size_t>(n));
    EXPECT_EQ(got, bytes_);
    EXPECT_EQ(s->read(buf, sizeof buf), 0);

    // Resuming: the full length again, then the bytes from the offset on.
    ASSERT_EQ(s->request(4000), 0);
    EXPECT_EQ(s->contentLength(), 5000);
    EXPECT_EQ(s->read(buf, sizeof buf), 1000);
    EXPECT_EQ(std::string(buf, 1000), bytes_.substr(4000));

    s->close();
    EXPECT_EQ(s->read(buf, sizeof buf), 0);
    ASSERT_EQ(s->request(10), 0); // a later request opens the file again
    EXPECT_EQ(s->read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), bytes_.substr(10, 4));
}

TEST_F(FileSourceTest, FilesThatCannotBeOpenedGiveMinusFour) {
    SourcePtr missing(skv::openSource((path_ + ".missing").c_str()));
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->request(0), -4);
    char buf[8];
    EXPECT_EQ(missing->read(buf, sizeof buf), 0);

    SourcePtr directory(skv::openSource("file:///tmp"));
    ASSERT_TRUE(directory);
    EXPECT_EQ(directory->request(0), -4);

    SourcePtr s(skv::openSource(path_.c_str()));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->request(-1), -4);
    EXPECT_EQ(s->read(buf, sizeof buf), 0);
}

} // namespace
