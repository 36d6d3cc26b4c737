// The ink routines against memcpy of the same bytes: each draws a 512 x 384 stage's worth of
// sprite pixels into a 512 x 384 stage, as one sprite (/0) or as sixteen (/1). After the runs a
// table gives each ink's speed in Mpixel/s and as a share of memcpy's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gfx/dib.h"
#include "gfx/inks.h"

namespace {

constexpr int kWidth = 512, kHeight = 384;
constexpr int64_t kPixels = int64_t{kWidth} * kHeight;

// A sprite of the stage's size: varied pixels, about a third of them the transparent index 0,
// in runs as a drawn figure has them.
std::unique_ptr<skv::nDIB> makeSprite(int w, int h) {
    auto s = std::make_unique<skv::nDIB>();
    s->create(w, h);
    uint32_t seed = 7;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            const bool hole = ((x / 16 + y / 12) % 3) == 0;
            *s->pixelAt(x, y) = hole ? 0 : static_cast<uint8_t>(1 + (seed >> 16) % 254);
        }
    s->transparentIndex = 0;
    s->whiteIndex = 0;
    s->blackIndex = 255;
    s->backgroundIndex = 0;
    s->foregroundIndex = 255;
    s->makeMask();
    return s;
}

// Argument 0: one sprite as large as the stage. Argument 1: sixteen 128 x 96 sprites tiling it,
// so that every row is a separate piece of work, as with the usual smaller sprites.
struct Stage {
    explicit Stage(int64_t tiled)
        : sprite(tiled ? makeSprite(kWidth / 4, kHeight / 4) : makeSprite(kWidth, kHeight)),
          tiles(tiled ? 4 : 1) {
        stage.create(kWidth, kHeight);
    }
    void draw(skv::InkRoutine ink) {
        const int w = sprite->width(), h = sprite->height();
        for (int ty = 0; ty < tiles; ++ty)
            for (int tx = 0; tx < tiles; ++tx)
                ink(stage, *sprite, tx * w, ty * h, w, h, 0, 0);
    }
    std::unique_ptr<skv::nDIB> sprite;
    int tiles;
    skv::nDIB stage;
};

void setRate(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kPixels); // items are pixels
}

void BM_memcpy(benchmark::State& state) {
    Stage s(0);
    for (auto _ : state) {
        std::memcpy(s.stage.bits(), s.sprite->bits(), static_cast<size_t>(kPixels));
        benchmark::ClobberMemory();
    }
    setRate(state);
}

void runInk(benchmark::State& state, skv::InkRoutine ink, bool substitute) {
    Stage s(state.range(0));
    if (substitute) s.sprite->backgroundIndex = 7; // white drawn as 7: a lookup per pixel
    for (auto _ : state) {
        s.draw(ink);
        benchmark::ClobberMemory();
    }
    setRate(state);
}

void BM_inkCopy(benchmark::State& state) {
    runInk(state, &skv::inkCopy, false);
}
void BM_inkCopySubstituting(benchmark::State& state) {
    runInk(state, &skv::inkCopy, true);
}
void BM_inkTransparent(benchmark::State& state) {
    runInk(state, &skv::inkTransparent, false);
}
void BM_inkMatte(benchmark::State& state) {
    runInk(state, &skv::inkMatte, false);
}

BENCHMARK(BM_memcpy);
BENCHMARK(BM_inkCopy)->Arg(0)->Arg(1);
BENCHMARK(BM_inkCopySubstituting)->Arg(0)->Arg(1);
BENCHMARK(BM_inkTransparent)->Arg(0)->Arg(1);
BENCHMARK(BM_inkMatte)->Arg(0)->Arg(1);

// Prints as usual and remembers each run's time per iteration for the table at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0)
                seconds_[r.benchmark_name()] = r.GetAdjustedRealTime() / 1e9;
    }

    void printTable() const {
        auto base = seconds_.find("BM_memcpy");
        if (base == seconds_.end()) return;
        std::printf("\n%-26s %12s %12s\n", "routine", "Mpixel/s", "of memcpy");
        for (const auto& [name, s] : seconds_)
            std::printf("%-26s %12.0f %11.0f%%\n", name.c_str(), kPixels / s / 1e6,
                        100.0 * base->second / s);
    }

private:
    std::map<std::string, double> seconds_; // seconds per iteration
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printTable();
    benchmark::Shutdown();
    return 0;
}
