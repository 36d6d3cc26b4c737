// Replays a fuzz target's corpus without libFuzzer: every file under the directories given, then
// each file again with deterministic mutations (bit flips, truncations, byte runs), then a series
// of pseudo-random inputs. Used where the compiler has no libFuzzer, so that every test run
// exercises the parsers with hostile bytes under the sanitizers.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

struct Rng {
    uint64_t s = 0x9E3779B97F4A7C15ull;
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<uint32_t>(s >> 11);
    }
};

void run(const std::vector<uint8_t>& v) {
    LLVMFuzzerTestOneInput(v.data(), v.size());
}

void mutate(const std::vector<uint8_t>& seed, Rng& rng, int rounds) {
    for (int r = 0; r < rounds; ++r) {
        std::vector<uint8_t> v = seed;
        switch (rng.next() % 4) {
        case 0: // flip a few bits
            for (int i = 0, n = 1 + rng.next() % 4; i < n && !v.empty(); ++i)
                v[rng.next() % v.size()] ^= static_cast<uint8_t>(1u << (rng.next() % 8));
            break;
        case 1: // cut short
            if (!v.empty()) v.resize(rng.next() % v.size());
            break;
        case 2: // overwrite a run with an extreme byte
            if (!v.empty()) {
                size_t at = rng.next() % v.size();
                size_t len = std::min<size_t>(v.size() - at, 1 + rng.next() % 8);
                std::fill_n(v.begin() + static_cast<long>(at), len, (rng.next() & 1) ? 0xFF : 0x7F);
            }
            break;
        default: // insert random bytes
        {
            size_t at = v.empty() ? 0 : rng.next() % v.size();
            std::vector<uint8_t> extra(1 + rng.next() % 16);
            for (auto& b : extra)
                b = static_cast<uint8_t>(rng.next());
            v.insert(v.begin() + static_cast<long>(at), extra.begin(), extra.end());
        }
        }
        run(v);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::vector<uint8_t>> seeds;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (!std::filesystem::exists(argv[i], ec)) continue;
        std::vector<std::filesystem::path> files;
        for (auto& e : std::filesystem::recursive_directory_iterator(argv[i], ec))
            if (e.is_regular_file()) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (auto& f : files) {
            std::ifstream in(f, std::ios::binary);
            seeds.emplace_back(std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>());
        }
    }
    Rng rng;
    for (auto& s : seeds)
        run(s);
    for (auto& s : seeds)
        mutate(s, rng, 200);
    for (int i = 0; i < 500; ++i) {
        std::vector<uint8_t> v(rng.next() % 512);
        for (auto& b : v)
            b = static_cast<uint8_t>(rng.next());
        run(v);
    }
    std::fprintf(stderr, "fuzz driver: %zu seeds, %zu inputs run, no fault\n", seeds.size(),
                 seeds.size() * 201 + 500);
    return 0;
}
