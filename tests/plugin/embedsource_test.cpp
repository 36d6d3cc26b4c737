// The embed source names the movie: its first line, cut at the first control character.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "plugin/embedsource.h"
#include "plugin/pluginwindow.h"

using skv::plugin::addressFromEmbedSource;
using skv::plugin::readEmbedSourceFile;

TEST(EmbedSource, FirstLineEndsAtAnyControlCharacter) {
    const std::string crlf = "qmsp://host/movie.qms\r\nsecond line\r\n";
    EXPECT_EQ(addressFromEmbedSource(crlf.data(), crlf.size()), "qmsp://host/movie.qms");
    const std::string tab = "file:/a b.skm\tcomment";
    EXPECT_EQ(addressFromEmbedSource(tab.data(), tab.size()), "file:/a b.skm");
    const std::string nul("file:/x\0y", 9);
    EXPECT_EQ(addressFromEmbedSource(nul.data(), nul.size()), "file:/x");
    // Bytes above 0x7F are part of an address, not control characters.
    const std::string utf8 = "file:/m\xC3\xA9tro.skm\n";
    EXPECT_EQ(addressFromEmbedSource(utf8.data(), utf8.size()), "file:/m\xC3\xA9tro.skm");
    EXPECT_EQ(addressFromEmbedSource("\r\nfile:/late", 11), "");
    EXPECT_EQ(addressFromEmbedSource(nullptr, 5), "");
}

TEST(EmbedSource, OnlyTheFirst1023BytesCount) {
    const std::string longLine(2000, 'a');
    EXPECT_EQ(addressFromEmbedSource(longLine.data(), longLine.size()).size(), 1023u);
}

TEST(EmbedSource, FileThatCannotBeReadGivesNoAddress) {
    const auto dir = std::filesystem::temp_directory_path() / "skv_embedsource_test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "movie.skm").string();
    std::ofstream(path, std::ios::binary) << "file:/movies/demo.skm\r\n";
    EXPECT_EQ(readEmbedSourceFile(path.c_str()), "file:/movies/demo.skm");
    EXPECT_EQ(readEmbedSourceFile((dir / "absent.skm").string().c_str()), "");
    EXPECT_EQ(readEmbedSourceFile(""), "");
    std::filesystem::remove_all(dir);
}

TEST(BufferingProgress, NeverGoesBackAndNeverPasses100) {
    using skv::plugin::nextProgressPercent;
    EXPECT_EQ(nextProgressPercent(0, 500, 0), 0); // target not known yet
    EXPECT_EQ(nextProgressPercent(0, 500, 2000), 25);
    EXPECT_EQ(nextProgressPercent(25, 100, 2000), 25); // a smaller sample shows no step back
    EXPECT_EQ(nextProgressPercent(25, 9000, 2000), 100);
    // A byte count near the 32-bit limit does not overflow the product.
    EXPECT_EQ(nextProgressPercent(0, 0x7FFFFFFF, 0x7FFFFFFF), 100);
    EXPECT_EQ(nextProgressPercent(40, 1, 0x70000000), 40);
}
