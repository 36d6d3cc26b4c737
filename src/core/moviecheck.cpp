#include "core/moviecheck.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/abandon.h"
#include "core/archive.h"
#include "core/classids.h"
#include "core/errors.h"
#include "core/guid.h"
#include "core/object.h"
#include "core/pipe.h"
#include "core/registry.h"

namespace skv {

namespace {

namespace fs = std::filesystem;

// The first bytes of the kinds of file most often given by mistake: pictures and sounds meant
// for a movie source, archives a movie came in, programs.
struct Signature {
    const char* bytes;
    size_t size;
    const char* format;
};

constexpr Signature kSignatures[] = {
    {"\x89PNG\r\n\x1a\n", 8, "PNG"},
    {"\xFF\xD8\xFF", 3, "JPEG"},
    {"GIF87a", 6, "GIF"},
    {"GIF89a", 6, "GIF"},
    {"PK\x03\x04", 4, "ZIP"},
    {"\x1F\x8B", 2, "gzip"},
    {"\x7F"
     "ELF",
     4, "ELF"},
    {"%PDF", 4, "PDF"},
    {"OggS", 4, "Ogg"},
};

const char* signatureOf(const std::vector<uint8_t>& b) {
    for (const Signature& s : kSignatures)
        if (b.size() >= s.size && std::memcmp(b.data(), s.bytes, s.size) == 0) return s.format;
    if (b.size() >= 12 && std::memcmp(b.data(), "RIFF", 4) == 0)
        return std::memcmp(b.data() + 8, "WAVE", 4) == 0 ? "WAV" : "RIFF";
    // "BM" alone begins too many texts: a bitmap file also gives its info header's size.
    if (b.size() >= 18 && b[0] == 'B' && b[1] == 'M') {
        const uint32_t info = b[14] | b[15] << 8 | b[16] << 16 | uint32_t(b[17]) << 24;
        if (info == 12 || info == 40 || info == 56 || info == 108 || info == 124) return "BMP";
    }
    return nullptr;
}

// Text: no control characters but the ones text uses, and well-formed UTF-8, in the first
// kilobytes (a sequence cut by that limit is forgiven).
bool looksLikeText(const std::vector<uint8_t>& b) {
    const size_t n = std::min<size_t>(b.size(), 4096);
    for (size_t i = 0; i < n;) {
        const uint8_t c = b[i];
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') return false;
        if (c == 0x7F) return false;
        size_t follow = c < 0x80             ? 0
                        : (c & 0xE0) == 0xC0 ? 1
                        : (c & 0xF0) == 0xE0 ? 2
                        : (c & 0xF8) == 0xF0 ? 3
                                             : 4;
        if (follow == 4) return false;
        for (size_t k = 1; k <= follow; ++k)
            if (i + k < n && (b[i + k] & 0xC0) != 0x80) return false;
        i += 1 + follow;
    }
    return true;
}

// A movie source's manifest: named movie.toml, or holding its [movie] table.
bool looksLikeManifest(const std::vector<uint8_t>& b, const std::string& name) {
    if (!name.empty() && fs::path(name).filename() == "movie.toml") return true;
    const std::string text(b.begin(), b.begin() + std::min<size_t>(b.size(), 65536));
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        size_t i = at;
        while (i < end && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (text.compare(i, 7, "[movie]") == 0) return true;
        at = end + 1;
    }
    return false;
}

// "skvc build examples/demo -o demo.skm" for the source folder `folder`.
std::string buildCommandFor(const std::string& folder) {
    size_t length = folder.size();
    while (length > 1 && folder[length - 1] == '/')
        --length;
    const std::string dir = length ? folder.substr(0, length) : std::string(1, '.');
    std::string movie = fs::path(dir).filename().string();
    if (movie.empty() || movie == "." || movie == "..") movie = "movie";
    std::string command = "skvc build ";
    command.append(dir).append(" -o ").append(movie).append(".skm");
    return command;
}

// The body, inflated only as far as the objects ask. A read that asks for more than will come
// raises the archive's short read itself, so that the archive writes no diagnostic line of its
// own: this check is asked, it reports, and the line is for a player that stops.
class BodyPipe : public Pipe {
public:
    enum class End { None, OutOfInput, PastEnd, Damaged };

    BodyPipe(const uint8_t* body, size_t size) {
        z_.next_in = const_cast<Bytef*>(body);
        z_.avail_in = static_cast<uInt>(size);
        ready_ = inflateInit2(&z_, -15) == Z_OK;
        openStatus_ = 0;
    }
    ~BodyPipe() override { inflateEnd(&z_); }

    int32_t read(void* buffer, int32_t n) override {
        if (n < 0) throw CoreError{kErrShortRead};
        const size_t want = static_cast<size_t>(n);
        while (out_.size() - at_ < want && end_ == End::None)
            if (!produce(want - (out_.size() - at_))) end_ = stop_;
        if (out_.size() - at_ < want) throw CoreError{kErrShortRead};
        std::memcpy(buffer, out_.data() + at_, want);
        at_ += want;
        position_ += want;
        return n;
    }
    int32_t write(const void*, int32_t) override { return -1; }

    // What stopped the body, once something did.
    End end() const { return end_; }
    // Inflated bytes handed out so far.
    uint64_t position() const { return position_; }
    // Compressed bytes consumed so far.
    uint64_t consumed() const { return z_.total_in; }
    bool complete() const { return streamEnd_; }

private:
    // Inflates at least some more; false, with the reason in stop_, when nothing more comes.
    bool produce(size_t missing) {
        if (!ready_ || streamEnd_) {
            stop_ = ready_ ? End::PastEnd : End::Damaged;
            return false;
        }
        // Keep only what has not been handed out, then make room for at least what is missing.
        out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(at_));
        at_ = 0;
        const size_t have = out_.size();
        const size_t room = std::max<size_t>(missing, 65536);
        out_.resize(have + room);
        z_.next_out = out_.data() + have;
        z_.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&z_, Z_NO_FLUSH);
        const size_t made = room - z_.avail_out;
        out_.resize(have + made);
        if (rc == Z_STREAM_END) {
            streamEnd_ = true;
            stop_ = End::PastEnd;
        } else if (rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_NEED_DICT) {
            stop_ = End::Damaged;
            return false;
        } else if (z_.avail_in == 0) {
            stop_ = End::OutOfInput;
        } else if (made == 0) {
            stop_ = End::Damaged; // no progress with input left: nothing more will come out
            return false;
        }
        return made > 0;
    }

    z_stream z_{};
    bool ready_ = false;
    bool streamEnd_ = false;
    std::vector<uint8_t> out_;
    size_t at_ = 0;
    uint64_t position_ = 0;
    End end_ = End::None;  // set once a read could not be satisfied
    End stop_ = End::None; // what the next production that makes nothing will be stopped by
};

bool isEndMarker(const GUID& classId) {
    return guidEqual(classId, CLSID_NTrailer) || guidEqual(classId, CLSID_NChain);
}

// Reads the objects after the header, recording each, up to an end marker or whatever stops them.
void readObjects(const std::vector<uint8_t>& bytes, MovieCheck* c) {
    auto* pipe =
        new BodyPipe(bytes.data() + StreamHeader::kSize, bytes.size() - StreamHeader::kSize);
    uArchive ar(pipe, uArchive::kLoading); // frees the pipe
    ar.setStreamVersion(c->header.streamVersion);
    for (;;) {
        const uint64_t start = pipe->position();
        ObjectReadInfo info;
        skvObject* object = nullptr;
        try {
            object = readObjectEx(ar, &info);
        } catch (...) {
            if (pipe->end() == BodyPipe::End::None) c->objectError = caughtExceptionText().c_str();
        }
        // A class's body may have swallowed the short read; what the pipe saw is the truth.
        if (object && pipe->end() != BodyPipe::End::None) {
            object->destroy();
            object = nullptr;
        }
        if (object) {
            // The end marker is listed too, as the last object of the stream.
            c->objects.push_back({object->classId, object->objectId, object->storedSizeHint});
            const GUID cls = object->classId;
            object->destroy();
            if (!isEndMarker(cls)) continue;
            c->endClassId = cls;
            c->finding = MovieFinding::Movie;
            break;
        }
        c->bodyComplete = pipe->complete();
        if (info.headerRead && !isClassRegistered(info.classId)) {
            c->finding = MovieFinding::UnknownClass;
            c->endClassId = info.classId;
            break;
        }
        c->cutInObject = pipe->position() > start || info.headerRead;
        c->cutClassKnown = info.headerRead;
        c->cutClassId = info.classId;
        switch (pipe->end()) {
        case BodyPipe::End::OutOfInput:
            c->finding = MovieFinding::Truncated;
            break;
        case BodyPipe::End::Damaged:
            c->finding = MovieFinding::Damaged;
            c->bodyDamaged = true;
            c->damagedAt = StreamHeader::kSize + pipe->consumed();
            break;
        default: // the body ended whole inside an object or before an end marker, or a bad object
            c->finding = MovieFinding::Damaged;
            break;
        }
        break;
    }
    c->bodyComplete = c->bodyComplete || pipe->complete();
}

std::string ordinalObject(size_t index, bool known, const GUID& classId) {
    std::string s = "object " + std::to_string(index);
    if (known) s += std::string(", ") + classNameOf(classId);
    return s;
}

} // namespace

std::string groupedNumber(uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out;
}

MovieCheck checkMovieBytes(const std::vector<uint8_t>& bytes, const std::string& name) {
    MovieCheck c;
    c.fileSize = bytes.size();
    if (bytes.empty()) {
        c.finding = MovieFinding::Empty;
        return c;
    }
    static constexpr char kMark[] = "QMS ";
    if (std::memcmp(bytes.data(), kMark, std::min<size_t>(bytes.size(), 4)) != 0) {
        if (const char* format = signatureOf(bytes)) {
            c.finding = MovieFinding::OtherFormat;
            c.format = format;
        } else if (looksLikeText(bytes)) {
            c.finding = MovieFinding::Text;
            c.movieSource = looksLikeManifest(bytes, name);
            if (c.movieSource)
                c.buildCommand = buildCommandFor(fs::path(name).parent_path().string());
        } else {
            c.finding = MovieFinding::NotAStream;
        }
        return c;
    }
    if (!StreamHeader::decode(bytes.data(), bytes.size(), &c.header)) {
        c.finding = MovieFinding::CutInHeader;
        return c;
    }
    readObjects(bytes, &c);
    return c;
}

MovieCheck checkMovieFile(const std::string& path) {
    MovieCheck c;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (!fs::exists(st)) {
        c.finding = MovieFinding::Missing;
        c.systemError = ec ? ec.message() : "No such file or directory";
        return c;
    }
    if (fs::is_directory(st)) {
        c.finding = MovieFinding::Folder;
        c.movieSource = fs::exists(fs::path(path) / "movie.toml", ec);
        if (c.movieSource) c.buildCommand = buildCommandFor(path);
        return c;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readWholeFile(path, &bytes, &error)) {
        c.finding = MovieFinding::Unreadable;
        c.systemError = error;
        return c;
    }
    return checkMovieBytes(bytes, path);
}

bool MovieCheck::isStream() const {
    switch (finding) {
    case MovieFinding::Truncated:
    case MovieFinding::Damaged:
    case MovieFinding::UnknownClass:
    case MovieFinding::Movie:
        return true;
    default:
        return false;
    }
}

std::string MovieCheck::reason() const {
    const std::string hint =
        movieSource ? "; a movie source? build it with: " + buildCommand : std::string();
    switch (finding) {
    case MovieFinding::Missing:
        return "it does not exist";
    case MovieFinding::Unreadable:
        return "it cannot be read (" + systemError + ")";
    case MovieFinding::Folder:
        return "it is a folder" + hint;
    case MovieFinding::Empty:
        return "it is empty";
    case MovieFinding::OtherFormat:
        return std::string("it starts with ") +
               (std::strchr("AEIOU", format.empty() ? 'x' : format[0]) ? "an " : "a ") + format +
               " signature";
    case MovieFinding::Text:
        return "it is text" + hint;
    case MovieFinding::NotAStream:
        return "it does not begin with the 32-byte \"QMS \" header of a movie stream";
    default:
        return sentence("it");
    }
}

std::string MovieCheck::sentence(const std::string& name) const {
    const std::string size = groupedNumber(fileSize);
    const size_t n = objects.size();
    switch (finding) {
    case MovieFinding::Movie:
        return name + " is a Skyvora movie: " + std::to_string(n) +
               " objects, the last its end marker";
    case MovieFinding::Missing:
        return name + " does not exist";
    case MovieFinding::Unreadable:
        return name + " cannot be read: " + systemError;
    case MovieFinding::Folder:
        return name + " is a folder, not a movie" +
               (movieSource ? "; a movie source? build it with: " + buildCommand : std::string());
    case MovieFinding::Empty:
        return name + " is empty";
    case MovieFinding::OtherFormat:
    case MovieFinding::Text:
    case MovieFinding::NotAStream:
        return name + " is not a Skyvora movie: " + reason();
    case MovieFinding::CutInHeader:
        return name + " ends after " + size + " bytes, in the middle of its 32-byte header";
    case MovieFinding::Truncated:
        if (cutInObject)
            return name + " ends after " + size + " bytes, in the middle of an object (" +
                   ordinalObject(n, cutClassKnown, cutClassId) + ")";
        if (n == 0) return name + " ends after " + size + " bytes, before its first object";
        return name + " ends after " + size + " bytes, after object " + std::to_string(n - 1) +
               ", before its end marker";
    case MovieFinding::Damaged:
        if (bodyDamaged)
            return name + " is damaged: its compressed body cannot be inflated past byte " +
                   groupedNumber(damagedAt);
        if (!objectError.empty())
            return name + " is damaged: " + ordinalObject(n, cutClassKnown, cutClassId) +
                   " cannot be read (" + objectError + ")";
        if (cutInObject)
            return name + " is damaged: its body ends in the middle of an object (" +
                   ordinalObject(n, cutClassKnown, cutClassId) + ") though it is complete";
        return name + " is damaged: its objects end after " + std::to_string(n) +
               " without an end marker";
    case MovieFinding::UnknownClass:
        return name + " holds an object of a class this player does not know (object " +
               std::to_string(n) + ", class " + guidText(endClassId) +
               "); it may be meant for a newer player";
    }
    return name;
}

} // namespace skv
