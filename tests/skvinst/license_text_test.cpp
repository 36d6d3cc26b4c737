#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "license_text.h"

namespace skvinst {
namespace {

// A file with the given bytes, read back as Setup reads license.txt (as text).
class LicenseFile {
public:
    explicit LicenseFile(const std::string& bytes) {
        char dir[260], name[260];
        GetTempPathA(sizeof dir, dir);
        GetTempFileNameA(dir, "lic", 0, name);
        path_ = name;
        std::FILE* out = std::fopen(path_.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
    ~LicenseFile() { DeleteFileA(path_.c_str()); }

    std::string read() const {
        std::FILE* in = std::fopen(path_.c_str(), "rt");
        if (!in) return "(cannot open)";
        const std::string text = readLicense(in);
        std::fclose(in);
        return text;
    }

private:
    std::string path_;
};

std::string lines(int count, const std::string& line, const char* end = "\n") {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += line + end;
    return out;
}

TEST(LicenseText, LinesEndWithCrLf) {
    EXPECT_EQ(LicenseFile("one\ntwo\n\nfour\n").read(), "one\r\ntwo\r\n\r\nfour\r\n");
    // A file written with CR LF reads as text the same: no doubled CR.
    EXPECT_EQ(LicenseFile("one\r\ntwo\r\n").read(), "one\r\ntwo\r\n");
    // The last line needs no line feed of its own.
    EXPECT_EQ(LicenseFile("one\nend").read(), "one\r\nend\r\n");
    EXPECT_EQ(LicenseFile("").read(), "");
}

TEST(LicenseText, LongLinesAreShownIn79CharacterPieces) {
    const std::string line(200, 'x');
    EXPECT_EQ(LicenseFile(line + "\nnext\n").read(),
              std::string(79, 'x') + "\r\n" + std::string(79, 'x') + "\r\n" + std::string(42, 'x') +
                  "\r\n" + "next\r\n");
    // A line of exactly 79 characters fills a read; its line feed is the next read, an empty
    // line.
    EXPECT_EQ(LicenseFile(std::string(79, 'y') + "\nz\n").read(),
              std::string(79, 'y') + "\r\n\r\nz\r\n");
    EXPECT_EQ(LicenseFile(std::string(78, 'y') + "\nz\n").read(),
              std::string(78, 'y') + "\r\nz\r\n");
}

TEST(LicenseText, AtMostAThousandReads) {
    EXPECT_EQ(LicenseFile(lines(1500, "a")).read(), lines(1000, "a", "\r\n"));
    // Reads, not lines: the thousandth read is the first piece of a long line.
    const std::string shown = LicenseFile(lines(999, "a") + std::string(100, 'x') + "\n").read();
    EXPECT_EQ(shown, lines(999, "a", "\r\n") + std::string(79, 'x') + "\r\n");
}

TEST(LicenseText, TheTextFitsTenThousandBytesAndEndsAtALine) {
    // Lines of 78 characters take 80 bytes each with CR LF.
    const std::string line(78, 'q');
    const std::string shown = LicenseFile(lines(200, line)).read();
    const size_t fitting = (kLicenseBufferSize - 1) / 80; // the NUL needs its byte
    EXPECT_EQ(shown, lines(static_cast<int>(fitting), line, "\r\n"));
    EXPECT_LT(shown.size(), kLicenseBufferSize);
}

TEST(LicenseText, NothingAfterALineThatDoesNotFitIsShown) {
    // 9978 bytes of text; then a line that does not fit, and one that would.
    const std::string start = lines(138, std::string(70, 'r')) + std::string(40, 'r') + "\n";
    const std::string startShown =
        lines(138, std::string(70, 'r'), "\r\n") + std::string(40, 'r') + "\r\n";
    ASSERT_EQ(startShown.size(), 9978u);
    EXPECT_EQ(LicenseFile(start + std::string(20, 's') + "\nt\n").read(), startShown);
}

TEST(LicenseText, AddKeepsRoomForTheTerminatingNul) {
    LicenseText text;
    ASSERT_TRUE(text.add(std::string(9995, 'a') + "\n"));
    EXPECT_EQ(text.text().size(), 9997u);
    EXPECT_FALSE(text.add("b")) << "b, CR LF and the NUL would need 10001 bytes";
    EXPECT_EQ(text.text().size(), 9997u) << "a refused piece must leave the text as it was";
    EXPECT_TRUE(text.add("")) << "an empty line fills the buffer exactly";
    EXPECT_EQ(text.text().size(), kLicenseBufferSize - 1);
}

} // namespace
} // namespace skvinst
