// Movies for the streaming tests: a stream of numbered blobs written with the movie writer, saved
// under a name unique to the test (tests run in parallel and share the cache directory).
#pragma once

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/errors.h"
#include "core/filepipe.h"
#include "core/moviewriter.h"
#include "core/object.h"
#include "core/registry.h"
#include "platform/win32.h"

namespace skv::test {

constexpr GUID kNetBlobClass{0x4E7B10B5, 3, 3, {9, 8, 7, 6, 5, 4, 3, 2}};

class NetBlob : public skvObject {
public:
    NetBlob() { setClassId(kNetBlobClass); }
    void serialize(uArchive& ar) override {
        skvObject::serialize(ar);
        if (ar.isStoring()) {
            ar.writeInt32(static_cast<int32_t>(data.size()));
            ar.write(data.data(), static_cast<int32_t>(data.size()));
        } else {
            int32_t n = ar.readInt32();
            if (n < 0 || n > (1 << 20)) throw CoreError{kErrShortRead};
            data.resize(static_cast<size_t>(n));
            ar.read(data.data(), n);
        }
    }
    std::vector<uint8_t> data;
};

inline void registerNetBlob() {
    static const ClassRegistration reg(kNetBlobClass, &makeObject<NetBlob>, "NetBlob");
    registerCoreClasses();
}

inline GUID blobId(uint32_t i) {
    return GUID{0xB10B0000u + i, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
}

// A movie of `count` blobs of `size` barely compressible bytes each; `seed` varies content and
// movie identifier, so two seeds give two different headers.
inline std::vector<uint8_t> makeMovie(int count, size_t size, uint32_t seed) {
    registerNetBlob();
    StreamHeader h;
    h.movieId = GUID{0x30F1E000u + seed, 5, 5, {5, 5, 5, 5, 5, 5, 5, 5}};
    h.streamVersion = 7;
    MovieWriter w(h);
    uint32_t x = seed * 2654435761u + 1;
    for (int i = 0; i < count; ++i) {
        NetBlob b;
        b.objectId = blobId(static_cast<uint32_t>(i));
        b.data.resize(size);
        for (auto& c : b.data) {
            x = x * 1103515245u + 12345u;
            c = static_cast<uint8_t>(x >> 24);
        }
        w.add(b);
    }
    return w.finish();
}

inline std::string tempDir() {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return dir;
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(f.good()) << path;
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// A name unique to the running test in this process, usable as a file name.
inline std::string uniqueName(const char* suffix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string n = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : n)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    // The process id keeps two runs of the same test binary apart.
    return n + "_" + std::to_string(static_cast<long>(getpid())) + suffix;
}

} // namespace skv::test
