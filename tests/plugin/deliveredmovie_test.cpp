// An embed source that is the movie itself: told from a pointer file by the stream's signature,
// read from the embed's own URL when that is a local file holding the same stream, and otherwise
// from a copy of the delivered bytes that goes with the instance.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "plugin/deliveredmovie.h"
#include "plugin/embedsource.h"

namespace fs = std::filesystem;
using namespace skv::plugin;

namespace {

// A stream header (signature, a word, the movie identifier, version, a word) and some body.
std::string stream(char identity) {
    return "QMS " + std::string(4, '\x01') + std::string(16, identity) +
           std::string("\x02\x00\x00\x00\x00\x00\x00\x00", 8) + std::string(100, '\x7F');
}

// The length word a streaming server's HTTP answer puts before the stream.
std::string withLengthWord(const std::string& s) {
    std::string w(4, '\0');
    for (int i = 0; i < 4; ++i)
        w[i] = static_cast<char>(s.size() >> (8 * i));
    return w + s;
}

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(EmbedSourceKind, TheStreamIsToldByItsSignatureAtTheStartOrAfterALengthWord) {
    const std::string movie = stream('a');
    EmbedSource s = classifyEmbedSource(movie.data(), movie.size());
    EXPECT_TRUE(s.isStream);
    EXPECT_EQ(s.streamStart, 0u);
    const std::string served = withLengthWord(movie);
    s = classifyEmbedSource(served.data(), served.size());
    EXPECT_TRUE(s.isStream);
    EXPECT_EQ(s.streamStart, 4u);
    // A server's negative length word is an error code: no stream follows it.
    const std::string refused = std::string("\x6C\xFE\xFF\xFF", 4) + "QMS ";
    EXPECT_FALSE(classifyEmbedSource(refused.data(), refused.size()).isStream);
    // A pointer file is read as before, even one that mentions the signature later on.
    const std::string pointer = "file:/movies/QMS .skm\r\n";
    s = classifyEmbedSource(pointer.data(), pointer.size());
    EXPECT_FALSE(s.isStream);
    EXPECT_EQ(s.address, "file:/movies/QMS .skm");
    EXPECT_FALSE(classifyEmbedSource("QMS", 3).isStream);
}

TEST(DeliveredMovie, ReadFromTheEmbedsOwnFileOrElseFromACopyThatGoesWithIt) {
    const fs::path dir = fs::temp_directory_path() / ("skv_delivered_" + std::to_string(getpid()));
    fs::create_directories(dir);
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    };
    const std::string movie = stream('a');
    const std::string home = write("movie.skm", movie);
    // Same length, another movie: the cache would take one for the other.
    const std::string other = write("other.skm", stream('b'));
    const std::string delivered = write("delivered-1", movie);
    const std::string served = write("delivered-2", withLengthWord(movie));
    const EmbedSource plain = readEmbedSource(delivered.c_str());
    ASSERT_TRUE(plain.isStream);
    {
        DeliveredMovie d;
        EXPECT_EQ(d.address(home.c_str(), delivered.c_str(), plain), home);
        EXPECT_EQ(d.address(("file://" + home).c_str(), delivered.c_str(), plain),
                  "file://" + home);
        EXPECT_TRUE(d.copyPath().empty());
    }
    std::string copy;
    {
        DeliveredMovie d;
        const std::string address = d.address("http://127.0.0.1:8080/xsite/movie.skm",
                                              served.c_str(), readEmbedSource(served.c_str()));
        copy = d.copyPath();
        ASSERT_FALSE(copy.empty());
        EXPECT_EQ(address, "file:" + copy);
        // The stream alone, without the server's length word.
        EXPECT_EQ(readAll(copy), movie);
    }
    EXPECT_FALSE(fs::exists(copy));
    {
        DeliveredMovie d;
        const std::string address = d.address(other.c_str(), delivered.c_str(), plain);
        copy = d.copyPath();
        EXPECT_EQ(address, "file:" + copy);
        EXPECT_EQ(readAll(copy), movie);
    }
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_FALSE(urlHoldsDeliveredStream((dir / "gone.skm").c_str(), delivered.c_str()));
    fs::remove_all(dir);
}
