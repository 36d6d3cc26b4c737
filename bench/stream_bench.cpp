// The stream pipeline (codec thread inflating into the OS pipe, serialize thread reading objects
// into an object manager) against plain raw inflate of the same bytes into memory, in one run.
// Throughput is reported as inflated megabytes per second; the pipeline should reach at least
// half of plain inflate.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/archive.h"
#include "core/localstream.h"
#include "core/moviewriter.h"
#include "core/registry.h"

namespace {

constexpr GUID kBlobClass{0xBE7C0B1B, 1, 1, {1, 1, 1, 1, 1, 1, 1, 1}};

// An object with a counted body, sized like the bitmaps and sounds of a real movie.
class Blob : public skv::skvObject {
public:
    Blob() { setClassId(kBlobClass); }
    void serialize(skv::uArchive& ar) override {
        skv::skvObject::serialize(ar);
        if (ar.isStoring()) {
            ar.writeInt32(static_cast<int32_t>(data.size()));
            ar.write(data.data(), static_cast<int32_t>(data.size()));
        } else {
            int32_t n = ar.readInt32();
            if (n < 0 || n > (1 << 24)) throw skv::CoreError{skv::kErrShortRead};
            data.resize(static_cast<size_t>(n));
            ar.read(data.data(), n);
        }
    }
    std::vector<uint8_t> data;
};

const skv::ClassRegistration blobReg(kBlobClass, &skv::makeObject<Blob>, "Blob");

struct Movie {
    std::vector<uint8_t> stream;
    size_t inflated = 0;
};

const Movie& movie() {
    static Movie m = [] {
        skv::registerCoreClasses();
        skv::MovieWriter w;
        uint32_t x = 12345;
        size_t total = 0;
        while (total < 21u * 1024 * 1024) {
            Blob b;
            b.data.resize(1024 + (x % 15) * 1024);
            // Moderately compressible: short runs of a few values, like 8-bit artwork.
            for (size_t i = 0; i < b.data.size(); ++i) {
                x = x * 1103515245u + 12345u;
                b.data[i] = static_cast<uint8_t>((x >> 24) % 6 + (i / 64) % 4);
            }
            w.add(b);
            total += b.data.size() + 68;
        }
        Movie mv;
        mv.inflated = w.content().size();
        mv.stream = w.finish();
        return mv;
    }();
    return m;
}

void BM_PipelineIntoObjectManager(benchmark::State& state) {
    const Movie& m = movie();
    for (auto _ : state) {
        skv::LocalStream s(m.stream);
        if (!s.run() || s.endReason() != skv::SerializeThread::EndReason::Marker)
            state.SkipWithError("the stream did not end with its marker");
        benchmark::DoNotOptimize(s.objects().size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * m.inflated));
}

void BM_PlainInflateIntoMemory(benchmark::State& state) {
    const Movie& m = movie();
    std::vector<uint8_t> out(m.inflated + 1024);
    for (auto _ : state) {
        z_stream z{};
        inflateInit2(&z, -15);
        z.next_in = const_cast<Bytef*>(m.stream.data() + skv::StreamHeader::kSize);
        z.avail_in = static_cast<uInt>(m.stream.size() - skv::StreamHeader::kSize);
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * m.inflated));
}

// The codec thread's inflate alone: 1024-byte input and output chunks, copied into memory.
void BM_ChunkedInflateIntoMemory(benchmark::State& state) {
    const Movie& m = movie();
    std::vector<uint8_t> out(m.inflated + 1024);
    for (auto _ : state) {
        z_stream z{};
        inflateInit2(&z, -15);
        const uint8_t* in = m.stream.data() + skv::StreamHeader::kSize;
        size_t left = m.stream.size() - skv::StreamHeader::kSize, produced = 0;
        Bytef buf[1024];
        int rc = Z_OK;
        do {
            if (z.avail_in == 0) {
                size_t n = std::min<size_t>(left, 1024);
                z.next_in = const_cast<Bytef*>(in);
                z.avail_in = static_cast<uInt>(n);
                in += n;
                left -= n;
            }
            z.next_out = buf;
            z.avail_out = sizeof buf;
            rc = inflate(&z, Z_NO_FLUSH);
            size_t n = sizeof buf - z.avail_out;
            std::memcpy(out.data() + produced, buf, n);
            produced += n;
        } while (rc == Z_OK);
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * m.inflated));
}

} // namespace

BENCHMARK(BM_ChunkedInflateIntoMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainInflateIntoMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PipelineIntoObjectManager)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
