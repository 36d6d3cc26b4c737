#include "resources.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "movie/cursors.h"
#include "net/stringtable.h"
#include "plugin/registration.h"
#include "plugin/splash.h"

namespace skvres {

namespace {

constexpr int kCursorSize = 32;
constexpr int kCursorRowBytes = kCursorSize / 8; // 1 bit per pixel, already a multiple of 4

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// "1,7,7,300" as its four numbers; missing ones are 0.
std::vector<unsigned> versionNumbers(const char* text) {
    std::vector<unsigned> parts;
    unsigned n = 0;
    for (const char* p = text;; ++p) {
        if (*p >= '0' && *p <= '9') {
            n = n * 10 + static_cast<unsigned>(*p - '0');
        } else if (*p == ',' || *p == '\0') {
            parts.push_back(n);
            n = 0;
            if (!*p) break;
        }
    }
    parts.resize(4, 0);
    return parts;
}

// One plane of a cursor image, rows from the bottom as a DIB keeps them: a bit is set where
// `on` is true of the art's letter.
template <typename Predicate>
void putCursorPlane(std::vector<uint8_t>& out, const char* const* art, Predicate on) {
    for (int y = kCursorSize - 1; y >= 0; --y)
        for (int byte = 0; byte < kCursorRowBytes; ++byte) {
            uint8_t bits = 0;
            for (int x = byte * 8; x < byte * 8 + 8; ++x)
                bits = static_cast<uint8_t>(bits << 1 | (on(art[y][x]) ? 1 : 0));
            out.push_back(bits);
        }
}

bool writeIfChanged(const std::filesystem::path& path, const std::string& bytes,
                    std::string* error) {
    {
        std::ifstream in(path, std::ios::binary);
        if (in && std::string(std::istreambuf_iterator<char>(in), {}) == bytes) return true;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out) out.close();
    if (!out) {
        if (error) *error = "cannot write " + path.string() + "; check that the folder is writable";
        return false;
    }
    return true;
}

} // namespace

std::string rcString(const std::string& text) {
    std::string out = "\"";
    char previous = 0;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"') {
            out += "\"\"";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c >= 0x7F || (c == '?' && previous == '?')) {
            // windres runs the C preprocessor first, which warns of "??" as a trigraph.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", c);
            out += escape;
        } else {
            out += ch;
        }
        previous = ch;
    }
    return out + "\"";
}

std::string resourceScript() {
    namespace reg = skv::plugin;
    const std::vector<unsigned> v = versionNumbers(reg::kFileVersion);
    char numbers[64], text[64];
    std::snprintf(numbers, sizeof numbers, "%u,%u,%u,%u", v[0], v[1], v[2], v[3]);
    std::snprintf(text, sizeof text, "%u, %u, %u, %u", v[0], v[1], v[2], v[3]);
    std::ostringstream rc;
    // Numbers instead of the names of winver.h, so that no header is needed.
    rc << "// The plug-in module's resources, written by skvres from the code's own data.\n"
       << "#pragma code_page(1252)\n\n"
       << "1 VERSIONINFO\n"
       << "FILEVERSION " << numbers << "\n"
       << "PRODUCTVERSION " << numbers << "\n"
       << "FILEFLAGSMASK 0x3F\n"
       << "FILEFLAGS 0x0\n"
       << "FILEOS 0x4\n"   // VOS__WINDOWS32
       << "FILETYPE 0x2\n" // VFT_DLL
       << "FILESUBTYPE 0x0\n"
       << "BEGIN\n"
       << "  BLOCK \"StringFileInfo\"\n"
       << "  BEGIN\n"
       << "    BLOCK \"040904E4\"\n"
       << "    BEGIN\n";
    auto value = [&](const char* key, const std::string& data) {
        // Browsers read the values with their terminating NUL; spelled out, it is there
        // whichever resource compiler builds the script.
        std::string literal = rcString(data);
        literal.insert(literal.size() - 1, "\\0");
        rc << "      VALUE \"" << key << "\", " << literal << "\n";
    };
    value("CompanyName", reg::kCompanyName);
    value("FileDescription", reg::kProductName);
    value("FileVersion", text);
    value("InternalName", reg::kInternalName);
    value("OriginalFilename", "npskyv32.dll");
    value("ProductName", reg::kProductName);
    value("ProductVersion", text);
    value("MIMEType", reg::kMimeType);
    value("FileExtents", reg::kFileExtents);
    value("FileOpenName", reg::kFileOpenName);
    rc << "    END\n"
       << "  END\n"
       << "  BLOCK \"VarFileInfo\"\n"
       << "  BEGIN\n"
       << "    VALUE \"Translation\", 0x409, 1252\n"
       << "  END\n"
       << "END\n\n";
    // Every entry the table has, so that a new one needs no change here.
    rc << "STRINGTABLE\nBEGIN\n";
    for (uint32_t id = 1; id <= 0xFFFF; ++id)
        if (const char* entry = skv::moduleString(id))
            rc << "  " << id << ", " << rcString(entry) << "\n";
    rc << "END\n\n";
    // LoadBitmap(module, "BUFFERING") looks the picture up by name; the cursors go by number.
    rc << "BUFFERING BITMAP \"buffering.bmp\"\n"
       << skv::kClickCursor << " CURSOR \"cursor_6000.cur\"\n"
       << skv::kWaitCursor << " CURSOR \"cursor_6001.cur\"\n";
    return rc.str();
}

std::vector<uint8_t> cursorFile(uint16_t id) {
    int32_t hotX = 0, hotY = 0;
    const char* const* art = skv::pluginCursorArt(id, &hotX, &hotY);
    if (!art) return {};
    constexpr uint32_t kPlaneBytes = kCursorRowBytes * kCursorSize;
    constexpr uint32_t kImageBytes = 40 + 2 * 4 + 2 * kPlaneBytes;
    std::vector<uint8_t> f;
    // The directory: reserved, type 2 (a cursor), one image.
    put16(f, 0);
    put16(f, 2);
    put16(f, 1);
    // Its entry: size, no palette count, reserved; a cursor keeps its hot spot where an icon
    // has planes and bit count.
    f.push_back(kCursorSize);
    f.push_back(kCursorSize);
    f.push_back(0);
    f.push_back(0);
    put16(f, static_cast<uint32_t>(hotX));
    put16(f, static_cast<uint32_t>(hotY));
    put32(f, kImageBytes);
    put32(f, 6 + 16);
    // BITMAPINFOHEADER: the height counts the XOR and the AND plane.
    put32(f, 40);
    put32(f, kCursorSize);
    put32(f, 2 * kCursorSize);
    put16(f, 1); // planes
    put16(f, 1); // bits per pixel
    put32(f, 0); // BI_RGB
    put32(f, 2 * kPlaneBytes);
    put32(f, 0);
    put32(f, 0);
    put32(f, 2); // colours used
    put32(f, 0);
    put32(f, 0x00000000); // colour 0: black
    put32(f, 0x00FFFFFF); // colour 1: white
    // '#' black (AND 0, XOR 0), 'o' white (AND 0, XOR 1), '.' the screen (AND 1, XOR 0).
    putCursorPlane(f, art, [](char c) { return c == 'o'; });
    putCursorPlane(f, art, [](char c) { return c == '.'; });
    return f;
}

std::vector<uint8_t> bufferingBitmap() {
    const std::unique_ptr<skv::nDIB> picture = skv::plugin::loadBufferingPicture();
    return picture ? picture->bmpBytes() : std::vector<uint8_t>();
}

bool writeResources(const std::string& folder, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir(folder);
    fs::create_directories(dir, ec);
    if (ec) {
        if (error) *error = "cannot make the folder " + folder + ": " + ec.message();
        return false;
    }
    const std::vector<uint8_t> bmp = bufferingBitmap();
    if (bmp.empty()) {
        if (error) *error = "the BUFFERING picture could not be made";
        return false;
    }
    auto bytes = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
    return writeIfChanged(dir / "npskyv32.rc", resourceScript(), error) &&
           writeIfChanged(dir / "buffering.bmp", bytes(bmp), error) &&
           writeIfChanged(dir / "cursor_6000.cur", bytes(cursorFile(skv::kClickCursor)), error) &&
           writeIfChanged(dir / "cursor_6001.cur", bytes(cursorFile(skv::kWaitCursor)), error);
}

} // namespace skvres
