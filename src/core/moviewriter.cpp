#include "core/moviewriter.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/classids.h"
#include "core/endmarkers.h"
#include "core/guid.h"

namespace skv {

namespace {
void putLE32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}
uint32_t getLE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
} // namespace

std::vector<uint8_t> StreamHeader::encode() const {
    std::vector<uint8_t> v(kSize, 0);
    std::memcpy(v.data(), "QMS ", 4);
    putLE32(v, 4, word4);
    putLE32(v, 8, movieId.Data1);
    v[12] = static_cast<uint8_t>(movieId.Data2);
    v[13] = static_cast<uint8_t>(movieId.Data2 >> 8);
    v[14] = static_cast<uint8_t>(movieId.Data3);
    v[15] = static_cast<uint8_t>(movieId.Data3 >> 8);
    std::memcpy(v.data() + 16, movieId.Data4, 8);
    putLE32(v, 24, static_cast<uint32_t>(streamVersion));
    putLE32(v, 28, word28);
    return v;
}

bool StreamHeader::decode(const uint8_t* b, size_t size, StreamHeader* out) {
    if (size < kSize || std::memcmp(b, "QMS ", 4) != 0) return false;
    out->word4 = getLE32(b + 4);
    out->movieId.Data1 = getLE32(b + 8);
    out->movieId.Data2 = static_cast<uint16_t>(b[12] | (b[13] << 8));
    out->movieId.Data3 = static_cast<uint16_t>(b[14] | (b[15] << 8));
    std::memcpy(out->movieId.Data4, b + 16, 8);
    out->streamVersion = static_cast<int32_t>(getLE32(b + 24));
    out->word28 = getLE32(b + 28);
    return true;
}

MovieWriter::MovieWriter(const StreamHeader& header)
    : header_(header), pipe_(new MemoryPipe), archive_(pipe_, uArchive::kStoring) {
    archive_.setStreamVersion(header.streamVersion);
}

void MovieWriter::add(skvObject& object) {
    writeObject(archive_, object);
    if (guidEqual(object.classId, CLSID_NTrailer) || guidEqual(object.classId, CLSID_NChain))
        ended_ = true;
}

std::vector<uint8_t> MovieWriter::finish() {
    if (!ended_) {
        // Derived from the movie's identifier rather than freshly generated, so that the same
        // movie always gives the same bytes.
        NTrailer trailer;
        trailer.objectId = header_.movieId;
        trailer.objectId.Data1 ^= 0x524C5254; // "TRLR"
        add(trailer);
    }
    std::vector<uint8_t> out = header_.encode();
    std::vector<uint8_t> body = deflateRaw(pipe_->bytes());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> MovieWriter::deflateRaw(const std::vector<uint8_t>& in) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&z, static_cast<uLong>(in.size())) + 16);
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

bool MovieWriter::writeFile(const std::string& path, const std::vector<uint8_t>& bytes,
                            std::string* error) {
    std::string tmp = path + ".partial";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        if (error) *error = "cannot create '" + tmp + "': " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (ok && std::rename(tmp.c_str(), path.c_str()) == 0) return true;
    if (error) *error = "cannot write '" + path + "': " + std::strerror(errno);
    std::remove(tmp.c_str());
    return false;
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>* out, std::string* error,
                   size_t maxBytes) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (error) *error = "cannot open '" + path + "': " + std::strerror(errno);
        return false;
    }
    out->clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (out->size() + n > maxBytes) {
            std::fclose(f);
            if (error) *error = "'" + path + "' is too large to be a movie";
            return false;
        }
        out->insert(out->end(), buf, buf + n);
    }
    bool failed = std::ferror(f);
    std::fclose(f);
    if (failed && error) *error = "cannot read '" + path + "': " + std::strerror(errno);
    return !failed;
}

} // namespace skv
