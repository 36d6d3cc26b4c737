// What checkMovieBytes and checkMovieFile find in files that are not movies, in streams cut
// short at known places (the body deflated with a full flush between objects, so a cut can fall
// exactly between two of them) and in damaged streams, and the sentences they make of it.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/classids.h"
#include "core/endmarkers.h"
#include "core/errors.h"
#include "core/guid.h"
#include "core/moviecheck.h"
#include "core/moviewriter.h"
#include "core/registry.h"

using namespace skv;
namespace fs = std::filesystem;

namespace {

constexpr GUID kParcelClass{0x57A3C4EC, 9, 9, {8, 7, 6, 5, 4, 3, 2, 1}};
constexpr GUID kStrangerClass{0x57A3DEAD, 9, 9, {8, 7, 6, 5, 4, 3, 2, 1}};

// An object with a counted body of bytes that hardly compress, so that a cut half-way through
// its compressed form falls half-way through the object.
class Parcel : public skvObject {
public:
    explicit Parcel(size_t n = 0, const GUID& cls = kParcelClass) : data(n) {
        setClassId(cls);
        uint32_t x = 12345;
        for (uint8_t& b : data)
            b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
    }
    int32_t sizeHint() override { return static_cast<int32_t>(data.size()); }
    void serialize(uArchive& ar) override {
        skvObject::serialize(ar);
        if (ar.isStoring()) {
            ar.writeInt32(static_cast<int32_t>(data.size()));
            ar.write(data.data(), static_cast<int32_t>(data.size()));
        } else {
            const int32_t n = ar.readInt32();
            if (n < 0 || n > (1 << 20)) throw CoreError{kErrShortRead};
            data.resize(static_cast<size_t>(n));
            ar.read(data.data(), n);
        }
    }
    std::vector<uint8_t> data;
};

const ClassRegistration parcelReg(kParcelClass, &makeObject<Parcel>, "Parcel");

struct Registered {
    Registered() { registerCoreClasses(); }
} registered;

// A stream whose body is deflated in pieces, each ending with a full flush: cutting the file at
// pieceEnds[i] leaves a body that inflates to exactly the first i + 1 pieces.
struct FlushedStream {
    std::vector<uint8_t> bytes;
    std::vector<size_t> pieceEnds;
};

FlushedStream flushedStream(const std::vector<std::vector<uint8_t>>& pieces) {
    FlushedStream s;
    s.bytes = StreamHeader{}.encode();
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    for (size_t i = 0; i < pieces.size(); ++i) {
        std::vector<uint8_t> in = pieces[i];
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(in.size());
        const int flush = i + 1 == pieces.size() ? Z_FINISH : Z_FULL_FLUSH;
        int rc;
        do {
            uint8_t out[4096];
            z.next_out = out;
            z.avail_out = sizeof out;
            rc = deflate(&z, flush);
            s.bytes.insert(s.bytes.end(), out, out + (sizeof out - z.avail_out));
        } while (z.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
        s.pieceEnds.push_back(s.bytes.size());
    }
    deflateEnd(&z);
    return s;
}

// The stored form of each object, one piece each.
std::vector<std::vector<uint8_t>> piecesOf(std::vector<skvObject*> objects) {
    std::vector<std::vector<uint8_t>> pieces;
    MovieWriter w;
    size_t before = 0;
    for (skvObject* o : objects) {
        w.add(*o);
        pieces.emplace_back(w.content().begin() + static_cast<std::ptrdiff_t>(before),
                            w.content().end());
        before = w.content().size();
    }
    return pieces;
}

std::vector<uint8_t> cut(const std::vector<uint8_t>& bytes, size_t n) {
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

std::vector<uint8_t> bytesOf(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

} // namespace

TEST(MovieCheckGrouping, ThousandsAreGroupedWithASpace) {
    EXPECT_EQ(groupedNumber(0), "0");
    EXPECT_EQ(groupedNumber(999), "999");
    EXPECT_EQ(groupedNumber(1000), "1 000");
    EXPECT_EQ(groupedNumber(1204), "1 204");
    EXPECT_EQ(groupedNumber(11828), "11 828");
    EXPECT_EQ(groupedNumber(1234567), "1 234 567");
}

TEST(MovieCheckNotAMovie, FilesOfOtherKindsAreNamedForWhatTheyAre) {
    EXPECT_EQ(checkMovieBytes({}).sentence("empty.skm"), "empty.skm is empty");

    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
    MovieCheck c = checkMovieBytes(png);
    EXPECT_EQ(c.finding, MovieFinding::OtherFormat);
    EXPECT_EQ(c.sentence("ball.png"),
              "ball.png is not a Skyvora movie: it starts with a PNG signature");
    EXPECT_EQ(checkMovieBytes({0xFF, 0xD8, 0xFF, 0xE0}).format, "JPEG");
    EXPECT_EQ(checkMovieBytes(bytesOf(std::string("\x7F"
                                                  "ELF\x02\x01\x01",
                                                  7)))
                  .reason(),
              "it starts with an ELF signature");
    // "BM" begins many a text; a bitmap file also gives its info header's size.
    EXPECT_EQ(checkMovieBytes(bytesOf("BMW and other cars\n")).finding, MovieFinding::Text);

    c = checkMovieBytes(bytesOf("[movie]\nstage = [64, 48]\n"), "examples/demo/movie.toml");
    EXPECT_EQ(c.finding, MovieFinding::Text);
    EXPECT_EQ(c.sentence("movie.toml"),
              "movie.toml is not a Skyvora movie: it is text; a movie source? build it with: "
              "skvc build examples/demo -o demo.skm");
    // A manifest under another name, in the folder the program runs in.
    EXPECT_EQ(checkMovieBytes(bytesOf("# notes\n  [movie]\ntempo = 4\n"), "m.txt").buildCommand,
              "skvc build . -o movie.skm");
    // Other text has nothing to build.
    c = checkMovieBytes(bytesOf("file:/movies/a.skm\r\n"), "a.txt");
    EXPECT_EQ(c.sentence("a.txt"), "a.txt is not a Skyvora movie: it is text");

    c = checkMovieBytes({0x00, 0x13, 0x37, 0xFE, 0x01});
    EXPECT_EQ(c.finding, MovieFinding::NotAStream);
    EXPECT_FALSE(c.isStream());
    // Not UTF-8: a Latin-1 byte between letters.
    EXPECT_EQ(checkMovieBytes(bytesOf("caf\xE9 au lait")).finding, MovieFinding::NotAStream);
}

TEST(MovieCheckNotAMovie, FoldersAndMissingFilesOnDisk) {
    const fs::path dir = fs::temp_directory_path() / ("moviecheck_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "src");
    std::ofstream(dir / "src" / "movie.toml") << "[movie]\n";
    const std::string folder = (dir / "src").string();
    EXPECT_EQ(checkMovieFile(folder).sentence("src"),
              "src is a folder, not a movie; a movie source? build it with: skvc build " + folder +
                  " -o src.skm");
    EXPECT_EQ(checkMovieFile(dir.string()).sentence("d"), "d is a folder, not a movie");
    EXPECT_EQ(checkMovieFile((dir / "gone.skm").string()).finding, MovieFinding::Missing);
    // A file on disk is checked as its bytes are, its own name telling a manifest.
    EXPECT_TRUE(checkMovieFile((dir / "src" / "movie.toml").string()).movieSource);
    fs::remove_all(dir);
}

TEST(MovieCheckStream, WholeStreamListsItsObjectsAndEndMarker) {
    Parcel a(10), b(3000);
    MovieWriter w;
    w.add(a);
    w.add(b);
    const MovieCheck c = checkMovieBytes(w.finish());
    EXPECT_EQ(c.finding, MovieFinding::Movie);
    ASSERT_EQ(c.objects.size(), 3u);
    EXPECT_TRUE(guidEqual(c.objects[0].classId, kParcelClass));
    EXPECT_EQ(c.objects[1].sizeHint, 3000);
    EXPECT_TRUE(guidEqual(c.endClassId, CLSID_NTrailer));
    EXPECT_TRUE(c.bodyComplete);
}

TEST(MovieCheckStream, CutStreamsSayWhereTheyEnd) {
    Parcel a(200), b(5000);
    NTrailer end;
    const FlushedStream s = flushedStream(piecesOf({&a, &b, &end}));

    MovieCheck c = checkMovieBytes(cut(s.bytes, 10));
    EXPECT_EQ(c.sentence("m.skm"),
              "m.skm ends after 10 bytes, in the middle of its 32-byte header");
    EXPECT_FALSE(c.isStream());

    c = checkMovieBytes(cut(s.bytes, StreamHeader::kSize));
    EXPECT_EQ(c.sentence("m.skm"), "m.skm ends after 32 bytes, before its first object");

    // Exactly after the first object.
    c = checkMovieBytes(cut(s.bytes, s.pieceEnds[0]));
    EXPECT_EQ(c.finding, MovieFinding::Truncated);
    EXPECT_FALSE(c.cutInObject);
    EXPECT_EQ(c.objects.size(), 1u);
    EXPECT_EQ(c.sentence("m.skm"), "m.skm ends after " + groupedNumber(s.pieceEnds[0]) +
                                       " bytes, after object 0, before its end marker");

    // Inside the second object's body, and inside its header.
    const size_t inside = (s.pieceEnds[0] + s.pieceEnds[1]) / 2;
    c = checkMovieBytes(cut(s.bytes, inside));
    EXPECT_EQ(c.finding, MovieFinding::Truncated);
    EXPECT_EQ(c.sentence("mymovie.skm"), "mymovie.skm ends after " + groupedNumber(inside) +
                                             " bytes, in the middle of an object (object 1, "
                                             "Parcel)");
    EXPECT_EQ(c.objects.size(), 1u);
}

TEST(MovieCheckStream, ACheckWritesNoShortReadLineOfItsOwn) {
    Parcel a(5000);
    NTrailer end;
    const FlushedStream s = flushedStream(piecesOf({&a, &end}));
    testing::internal::CaptureStdout();
    const MovieCheck c = checkMovieBytes(cut(s.bytes, s.pieceEnds[0] - 40));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(c.finding, MovieFinding::Truncated);
    EXPECT_TRUE(c.cutInObject);
}

TEST(MovieCheckStream, DamagedStreamsAreToldFromCutOnes) {
    Parcel a(100), b(100), stranger(4, kStrangerClass);
    NTrailer end;
    // A body that inflates whole but holds no end marker, or stops inside an object.
    std::vector<std::vector<uint8_t>> pieces = piecesOf({&a, &b});
    MovieCheck c = checkMovieBytes(flushedStream(pieces).bytes);
    EXPECT_EQ(c.finding, MovieFinding::Damaged);
    EXPECT_TRUE(c.bodyComplete);
    EXPECT_EQ(c.sentence("m.skm"),
              "m.skm is damaged: its objects end after 2 without an end marker");

    pieces[1].resize(pieces[1].size() - 10);
    c = checkMovieBytes(flushedStream(pieces).bytes);
    EXPECT_EQ(c.finding, MovieFinding::Damaged);
    EXPECT_EQ(c.sentence("m.skm"), "m.skm is damaged: its body ends in the middle of an object "
                                   "(object 1, Parcel) though it is complete");

    // An object whose count is impossible.
    pieces = piecesOf({&a, &b, &end});
    pieces[1][skvObject::kHeaderSize + 3] = 0x7F;
    c = checkMovieBytes(flushedStream(pieces).bytes);
    EXPECT_EQ(c.finding, MovieFinding::Damaged);
    EXPECT_FALSE(c.objectError.empty());

    // A body that is not DEFLATE data at all: 0xFF starts a block of the reserved type.
    std::vector<uint8_t> bytes = StreamHeader{}.encode();
    bytes.insert(bytes.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    c = checkMovieBytes(bytes);
    EXPECT_TRUE(c.bodyDamaged);
    EXPECT_EQ(c.finding, MovieFinding::Damaged);

    c = checkMovieBytes(flushedStream(piecesOf({&a, &stranger, &end})).bytes);
    EXPECT_EQ(c.finding, MovieFinding::UnknownClass);
    EXPECT_TRUE(guidEqual(c.endClassId, kStrangerClass));
    EXPECT_EQ(c.objects.size(), 1u);
}
