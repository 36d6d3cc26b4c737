#include "resources.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "movie/cursors.h"
#include "net/stringtable.h"
#include "plugin/registration.h"
#include "plugin/splash.h"

namespace skvres {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// "1,7,7,300" as its four numbers.
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

bool writeIfChanged(const std::filesystem::path& path, const std::string& bytes,
                    std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (in) {
        std::ostringstream old;
        old << in.rdbuf();
        if (old.str() == bytes) return true;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        if (error) *error = "cannot write " + path.string() + ": check that the folder is writable";
        return false;
    }
    return true;
}

} // namespace

std::string rcString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"') {
            out += "\"\"";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c >= 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\%03o", c);
            out += esc;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string resourceScript() {
    const std::vector<unsigned> v = versionNumbers(skv::plugin::kFileVersion);
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%u,%u,%u,%u", v[0], v[1], v[2], v[3]);
    char dotted[64];
    std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", v[0], v[1], v[2], v[3]);
    std::ostringstream rc;
    rc << "// The plug-in module's resources, written by skvres from the code's own data.\n\n";
    rc << "1 VERSIONINFO\n"
       << "FILEVERSION " << numbers << "\n"
       << "PRODUCTVERSION " << numbers << "\n"
       << "FILEFLAGSMASK 0x3F\nFILEFLAGS 0x0\n"
       << "FILEOS 0x4\n"   // VOS__WINDOWS32
       << "FILETYPE 0x2\n" // VFT_DLL
       << "FILESUBTYPE 0x0\nBEGIN\n"
       << "  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904E4\"\n    BEGIN\n";
    auto value = [&](const char* key, const std::string& text) {
        // Browsers read the values with their terminating NUL.
        rc << "      VALUE \"" << key << "\", " << rcString(text + std::string(1, '\0')) << "\n";
    };
    value("CompanyName", skv::plugin::kCompanyName);
    value("FileDescription", skv::plugin::kProductName);
    value("FileVersion", dotted);
    value("InternalName", skv::plugin::kInternalName);
    value("OriginalFilename", "npskyv32.dll");
    value("ProductName", skv::plugin::kProductName);
    value("ProductVersion", dotted);
    value("MIMEType", skv::plugin::kMimeType);
    value("FileExtents", skv::plugin::kFileExtents);
    value("FileOpenName", skv::plugin::kFileOpenName);
    rc << "    END\n  END\n"
       << "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1252\n  END\n"
       << "END\n\n";
    rc << "STRINGTABLE\nBEGIN\n";
    for (uint32_t id = 1; id <= 0xFFFF; ++id)
        if (const char* text = skv::moduleString(id)) rc << "  " << id << ", " << rcString(text) << "\n";
    rc << "END\n\n";
    rc << "BUFFERING BITMAP \"buffering.bmp\"\n";
    rc << skv::kClickCursor << " CURSOR \"cursor_6000.cur\"\n";
    rc << skv::kWaitCursor << " CURSOR \"cursor_6001.cur\"\n";
    return rc.str();
}

std::vector<uint8_t> cursorFile(uint16_t id) {
    int32_t hotX = 0, hotY = 0;
    const char* const* art = skv::pluginCursorArt(id, &hotX, &hotY);
    if (!art) return {};
    constexpr int kSize = 32, kRow = kSize / 8;
    constexpr uint32_t kImageBytes = 40 + 8 + 2 * kRow * kSize;
    std::vector<uint8_t> f;
    put16(f, 0); // reserved
    put16(f, 2); // a cursor
    put16(f, 1); // one image
    f.push_back(kSize);
    f.push_back(kSize);
    f.push_back(0); // colours: not a palette image
    f.push_back(0);
    put16(f, static_cast<uint32_t>(hotX));
    put16(f, static_cast<uint32_t>(hotY));
    put32(f, kImageBytes);
    put32(f, 6 + 16); // the image follows the directory
    // BITMAPINFOHEADER: the height counts the XOR and the AND mask.
    put32(f, 40);
    put32(f, kSize);
    put32(f, 2 * kSize);
    put16(f, 1);
    put16(f, 1);
    put32(f, 0);
    put32(f, 2 * kRow * kSize);
    put32(f, 0);
    put32(f, 0);
    put32(f, 2);
    put32(f, 0);
    put32(f, 0x00000000); // colour 0: black
    put32(f, 0x00FFFFFF); // colour 1: white
    // '#' black (AND 0, XOR 0), 'o' white (AND 0, XOR 1), '.' the screen (AND 1, XOR 0); rows
    // from the bottom.
    for (const char mask : {'x', 'a'}) {
        for (int y = kSize - 1; y >= 0; --y) {
            for (int b = 0; b < kRow; ++b) {
                uint8_t bits = 0;
                for (int x = b * 8; x < b * 8 + 8; ++x) {
                    const char c = art[y][x];
                    const bool on = mask == 'x' ? c == 'o' : c == '.';
                    bits = static_cast<uint8_t>(bits << 1 | (on ? 1 : 0));
                }
                f.push_back(bits);
            }
        }
    }
    return f;
}

std::vector<uint8_t> bufferingBitmap() {
    const std::unique_ptr<skv::nDIB> picture = skv::plugin::loadBufferingPicture();
    return picture ? picture->bmpBytes() : std::vector<uint8_t>();
}

bool writeResources(const std::string& folder, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::filesystem::path dir(folder);
    auto text = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
    const std::vector<uint8_t> bmp = bufferingBitmap();
    if (bmp.empty()) {
        if (error) *error = "the BUFFERING picture could not be made";
        return false;
    }
    return writeIfChanged(dir / "npskyv32.rc", resourceScript(), error) &&
           writeIfChanged(dir / "buffering.bmp", text(bmp), error) &&
           writeIfChanged(dir / "cursor_6000.cur", text(cursorFile(skv::kClickCursor)), error) &&
           writeIfChanged(dir / "cursor_6001.cur", text(cursorFile(skv::kWaitCursor)), error);
}

} // namespace skvres
