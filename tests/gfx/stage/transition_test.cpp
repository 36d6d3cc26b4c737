// Transition effects on the virtual clock: when their steps come and on which thread, what each
// step leaves in the window, and the cases where an effect draws nothing at all.
//
// The window is an 8-bit DIB section in a memory DC that starts out showing the old picture.
// Pictures and window share one colour table in which every index has a colour of its own, so
// the window's pixels are the pictures' indices and a step can be read back as indices. The step
// hook copies the window after every step.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "../../platform/vclock_fixture.h"
#include "gfx/dib.h"
#include "gfx/transition.h"
#include "platform/mmsystem.h"
#include "platform/win32.h"
#include "platform/wingdi.h"

using namespace skv;

namespace {

constexpr int kW = 64, kH = 48;
constexpr uint8_t kNew = 1, kOld = 2;

void colourTable(RGBQUAD out[256]) {
    for (int i = 0; i < 256; ++i)
        out[i] =
            RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i / 2), 0};
}

// Pixels as indices, top row first.
using Frame = std::vector<uint8_t>;

Frame frameOf(int w, int h, const std::function<uint8_t(int x, int y)>& pixel) {
    Frame f(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            f[static_cast<size_t>(y * w + x)] = pixel(x, y);
    return f;
}

std::unique_ptr<nDIB> picture(int w, int h, const std::function<uint8_t(int x, int y)>& pixel) {
    RGBQUAD colours[256];
    colourTable(colours);
    auto d = std::make_unique<nDIB>();
    d->create(w, h, nullptr, colours);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *d->pixelAt(x, y) = pixel(x, y);
    return d;
}

std::unique_ptr<nDIB> flat(uint8_t index, int w = kW, int h = kH) {
    return picture(w, h, [=](int, int) { return index; });
}

Frame frameOf(const nDIB& d) {
    return frameOf(d.width(), d.height(), [&](int x, int y) { return *d.pixelAt(x, y); });
}

// "" when equal, else where the first pixel differs.
std::string firstDifference(const Frame& got, const Frame& want, int w) {
    if (got.size() != want.size()) return "sizes differ";
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != want[i]) {
            std::ostringstream s;
            s << "at (" << i % w << "," << i / w << ") got " << int(got[i]) << " want "
              << int(want[i]);
            return s.str();
        }
    return "";
}

// The window: a bottom-up 8-bit DIB section selected into a memory DC.
struct Window {
    int w, h;
    size_t stride;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint8_t* bits = nullptr;

    explicit Window(const nDIB& shows) : w(shows.width()), h(shows.height()) {
        DibInfo info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 8;
        colourTable(info.bmiColors);
        dc = CreateCompatibleDC(nullptr);
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                  &p, nullptr, 0);
        bits = static_cast<uint8_t*>(p);
        previous = SelectObject(dc, bitmap);
        stride = static_cast<size_t>(shows.stride()); // both bottom-up, rows padded alike
        std::memcpy(bits, shows.bits(), stride * static_cast<size_t>(h));
    }
    ~Window() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Frame frame() const {
        return frameOf(w, h, [&](int x, int y) { return bits[(h - 1 - y) * stride + x]; });
    }
};

const TransitionTable& table() {
    static const TransitionTable t = [] {
        TransitionTable built;
        buildTransitionTable(built);
        return built;
    }();
    return t;
}

// What one effect did, as its step hook saw it.
struct Outcome {
    int32_t answer = 0;
    std::vector<int32_t> numbers;
    std::vector<DWORD> times; // ms since the effect was started
    std::vector<DWORD> threads;
    std::vector<Frame> frames; // the window after each step
    DWORD returnedAfter = 0;
    uint32_t randomState = 0; // the context's, afterwards
    Frame after;              // the window, once the effect has returned
};

Outcome run(int32_t effect, nDIB& now, nDIB& old, uint32_t duration, int32_t chunk,
            uint32_t randomState = 1) {
    Window window(old);
    Outcome o;
    std::mutex mu;
    const DWORD begin = timeGetTime();
    TransitionContext context;
    context.randomState = randomState;
    context.stepHook = [&](int32_t step) {
        std::lock_guard<std::mutex> g(mu);
        o.numbers.push_back(step);
        o.times.push_back(timeGetTime() - begin);
        o.threads.push_back(GetCurrentThreadId());
        o.frames.push_back(window.frame());
    };
    o.answer =
        runTransition(table(), effect, window.dc, &now, &old, 30, duration, chunk, 0, &context);
    o.returnedAfter = timeGetTime() - begin;
    o.randomState = context.randomState;
    o.after = window.frame();
    std::lock_guard<std::mutex> g(mu);
    for (size_t i = 0; i < o.numbers.size(); ++i)
        EXPECT_EQ(o.numbers[i], static_cast<int32_t>(i + 1)) << "effect " << effect;
    return o;
}

// Step k (1 to `steps`) leaves want(k) in the window.
void expectSteps(const Outcome& o, size_t steps, int w,
                 const std::function<Frame(size_t k)>& want) {
    ASSERT_GE(o.frames.size(), steps);
    for (size_t k = 1; k <= steps; ++k)
        EXPECT_EQ(firstDifference(o.frames[k - 1], want(k), w), "") << "step " << k;
}

std::vector<DWORD> every(DWORD delay, size_t count) {
    std::vector<DWORD> t;
    for (size_t k = 0; k < count; ++k)
        t.push_back(static_cast<DWORD>(k) * delay);
    return t;
}

class TransitionTest : public VirtualClockTest {
protected:
    void TearDown() override {
        skv::platform::setTimerDeviceAvailable(true);
        VirtualClockTest::TearDown();
    }
};

using TransitionFrame = TransitionTest;
using TransitionWipe = TransitionTest;
using TransitionPush = TransitionTest;
using TransitionCover = TransitionTest;
using TransitionUncover = TransitionTest;
using TransitionBlinds = TransitionTest;
using TransitionDissolve = TransitionTest;
using TransitionZoom = TransitionTest;

// ---- the frame every effect runs in ------------------------------------------------------------

TEST_F(TransitionFrame, EffectsWithoutARoutineAnswer0AndDrawNothing) {
    for (int i = 0; i < TransitionTable::kSlots; ++i)
        EXPECT_EQ(table().slots[i] != nullptr, i >= 1 && i <= 52) << "slot " << i;
    auto now = flat(kNew), old = flat(kOld);
    for (int32_t effect : {-1, 0, 53, 59, 60, 1000}) {
        const Outcome o = run(effect, *now, *old, 1000, 8);
        EXPECT_EQ(o.answer, 0) << effect;
        EXPECT_TRUE(o.numbers.empty()) << effect;
        EXPECT_EQ(o.after, frameOf(*old)) << effect;
        EXPECT_EQ(o.returnedAfter, 0u) << effect;
    }
}

TEST_F(TransitionFrame, FirstStepOnTheCallerThenEveryDelayOnTheTimerUntilTheLast) {
    auto now = flat(kNew), old = flat(kOld);
    // 64 columns, 8 a step, in 1000 ms: 8 steps 125 ms apart, the last one the whole picture.
    const Outcome o = run(1, *now, *old, 1000, 8);
    EXPECT_EQ(o.answer, 1);
    EXPECT_EQ(o.times, every(125, 8));
    // The caller is held until the last step has been drawn.
    EXPECT_EQ(o.returnedAfter, 875u);
    ASSERT_EQ(o.threads.size(), 8u);
    EXPECT_EQ(o.threads[0], GetCurrentThreadId());
    for (size_t i = 1; i < o.threads.size(); ++i) {
        EXPECT_NE(o.threads[i], GetCurrentThreadId()) << "step " << i + 1;
        EXPECT_EQ(o.threads[i], o.threads[1]) << "step " << i + 1;
    }
    EXPECT_EQ(o.after, frameOf(*now));
}

TEST_F(TransitionFrame, WithoutATimerDeviceNothingIsDrawn) {
    auto now = flat(kNew), old = flat(kOld);
    skv::platform::setTimerDeviceAvailable(false);
    for (int32_t effect : {1, 23, 37, 47}) {
        Window window(*old);
        EXPECT_EQ(table().slots[effect](window.dc, now.get(), old.get(), 30, 1000, 8, 0), -1)
            << effect;
        EXPECT_EQ(window.frame(), frameOf(*old)) << effect;
        // runTransition answers 1 all the same: the routine was there and ran.
        const Outcome o = run(effect, *now, *old, 1000, 8);
        EXPECT_EQ(o.answer, 1) << effect;
        EXPECT_TRUE(o.numbers.empty()) << effect;
        EXPECT_EQ(o.after, frameOf(*old)) << effect;
    }
}

TEST_F(TransitionFrame, DurationZeroRunsAs250Milliseconds) {
    auto now = flat(kNew), old = flat(kOld);
    const Outcome zero = run(1, *now, *old, 0, 32);
    const Outcome quarter = run(1, *now, *old, 250, 32);
    EXPECT_EQ(zero.times, every(125, 2));
    EXPECT_EQ(zero.times, quarter.times);
    EXPECT_EQ(zero.frames, quarter.frames);
}

// A second stage, as a second embed on the page has, running wipe 1 on a thread of its own.
struct SecondStage {
    std::unique_ptr<nDIB> now = flat(kNew), old = flat(kOld);
    Window window{*old};
    HANDLE firstStep = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> steps{0};

    static DWORD WINAPI run(LPVOID self) {
        auto& s = *static_cast<SecondStage*>(self);
        TransitionContext context;
        context.stepHook = [&s](int32_t) {
            if (++s.steps == 1) SetEvent(s.firstStep);
        };
        runTransition(table(), 1, s.window.dc, s.now.get(), s.old.get(), 30, 1000, 8, 0, &context);
        return 0;
    }
};

TEST_F(TransitionFrame, TwoStagesMayStartTheSameEffectWhileTheTimerDrawsIt) {
    auto now = flat(kNew), old = flat(kOld);
    auto* second = new SecondStage;
    HANDLE thread = nullptr;
    bool secondStepped = false;
    Window window(*old);
    TransitionContext context;
    // While the timer draws step 2 of this stage's wipe, the second stage starts its own.
    context.stepHook = [&](int32_t step) {
        if (step != 2) return;
        thread = startThread(&SecondStage::run, second);
        secondStepped = WaitForSingleObject(second->firstStep, 1000) == WAIT_OBJECT_0;
    };
    EXPECT_EQ(runTransition(table(), 1, window.dc, now.get(), old.get(), 30, 1000, 8, 0, &context),
              1);
    EXPECT_TRUE(secondStepped) << "the second stage's first step was not drawn";
    EXPECT_EQ(window.frame(), frameOf(*now));
    ASSERT_NE(thread, nullptr);
    if (WaitForSingleObject(thread, 60000) != WAIT_OBJECT_0) {
        // It waits for steps that never come; leave it, and what it uses, as they are.
        ADD_FAILURE() << "the second stage's effect never ended";
        return;
    }
    CloseHandle(thread);
    EXPECT_EQ(second->steps.load(), 8);
    EXPECT_EQ(second->window.frame(), frameOf(*second->now));
    CloseHandle(second->firstStep);
    delete second;
}

// ---- effects moving along one axis ---------------------------------------------------------

// Pictures striped along the axis of motion (each column, or each row, its own index), so that
// a frame tells which column or row of which picture shows where.
constexpr uint8_t kNewBase = 10, kOldBase = 100;

std::unique_ptr<nDIB> striped(bool down, uint8_t base) {
    return picture(kW, kH, [=](int x, int y) { return uint8_t(base + (down ? y : x)); });
}

enum Axis : bool { kAcross = false, kDown = true };
// Where the new picture first shows: at the left or top edge (near) or at the opposite one.
enum Edge : bool { kNear = false, kFar = true };

struct Move {
    int32_t effect;
    Axis axis;
    Edge edge;
};

// 8 pixels a step in 1000 ms: 64 columns take 8 steps 125 ms apart, 48 rows 6 steps 166 ms
// apart. After step k the edge has gone e = 8k pixels; each picture either stays in place or
// travels with the edge.
void expectMoves(bool newTravels, bool oldTravels, std::initializer_list<Move> moves) {
    for (const Move& m : moves) {
        SCOPED_TRACE("effect " + std::to_string(m.effect));
        auto now = striped(m.axis, kNewBase), old = striped(m.axis, kOldBase);
        const Outcome o = run(m.effect, *now, *old, 1000, 8);
        const int S = m.axis == kDown ? kH : kW;
        const size_t steps = static_cast<size_t>(S / 8);
        ASSERT_EQ(o.frames.size(), steps);
        EXPECT_EQ(o.times, every(1000 / static_cast<DWORD>(steps), steps));
        const int d = m.edge == kFar ? -1 : 1; // the way the edge goes
        expectSteps(o, steps - 1, kW, [&](size_t k) {
            const int e = static_cast<int>(8 * k);
            return frameOf(kW, kH, [&](int x, int y) {
                const int p = m.axis == kDown ? y : x;
                if (m.edge == kFar ? p >= S - e : p < e)
                    return uint8_t(kNewBase + (newTravels ? p - d * (e - S) : p));
                return uint8_t(kOldBase + (oldTravels ? p - d * e : p));
            });
        });
        EXPECT_EQ(o.frames.back(), frameOf(*now));
    }
}

TEST_F(TransitionWipe, TheEdgeMovesByTheChunkEachStepOverStillPictures) {
    expectMoves(false, false,
                {{1, kAcross, kNear}, {2, kAcross, kFar}, {3, kDown, kNear}, {4, kDown, kFar}});
}

TEST_F(TransitionPush, TheNewPictureComesInBehindTheOldOneAsItMovesAway) {
    // 12: the new picture's right part enters at the left edge; the old one moves right.
    expectMoves(true, true,
                {{12, kAcross, kNear}, {11, kAcross, kFar}, {13, kDown, kNear}, {14, kDown, kFar}});
}

TEST_F(TransitionCover, TheNewPictureSlidesInOverTheStillOldOne) {
    expectMoves(true, false,
                {{33, kAcross, kNear}, {32, kAcross, kFar}, {29, kDown, kNear}, {34, kDown, kFar}});
}

TEST_F(TransitionUncover, TheOldPictureSlidesAwayOverTheNewOneInPlace) {
    expectMoves(false, true,
                {{17, kAcross, kNear}, {21, kAcross, kFar}, {19, kDown, kNear}, {15, kDown, kFar}});
}

TEST_F(TransitionWipe, TheChunkIsAtMost128AndStepsComeAtMost15ASecond) {
    auto wideNew = flat(kNew, 1024, 4), wideOld = flat(kOld, 1024, 4);
    // 200 is taken as 128: 8 steps over 1024 columns, 250 ms apart in 2000 ms.
    Outcome o = run(1, *wideNew, *wideOld, 2000, 200);
    ASSERT_EQ(o.frames.size(), 8u);
    EXPECT_EQ(o.times, every(250, 8));
    expectSteps(o, 7, 1024, [](size_t k) {
        return frameOf(1024, 4, [=](int x, int) { return x < int(128 * k) ? kNew : kOld; });
    });

    // One column a step would be 64 steps a second; the chunk becomes 64 * 1000 / 1000 / 15 = 4,
    // which makes 16 steps 62 ms apart.
    auto now = flat(kNew), old = flat(kOld);
    o = run(1, *now, *old, 1000, 1);
    ASSERT_EQ(o.frames.size(), 16u);
    EXPECT_EQ(o.times, every(62, 16));
    expectSteps(o, 15, kW, [](size_t k) {
        return frameOf(kW, kH, [=](int x, int) { return x < int(4 * k) ? kNew : kOld; });
    });
}

TEST_F(TransitionCover, DiagonallyBothEdgesArriveOnTheSameStep) {
    auto now = flat(kNew), old = flat(kOld);
    // 36 comes in from the bottom-left corner. 6 steps of 8 rows cover the height; the columns
    // take as many steps, so each moves by about 64 / 6.
    const Outcome o = run(36, *now, *old, 1000, 8);
    ASSERT_EQ(o.frames.size(), 6u);
    EXPECT_EQ(o.times, every(166, 6));
    int lastWidth = 0;
    for (size_t k = 1; k < 6; ++k) {
        const Frame& f = o.frames[k - 1];
        // The corner's extent, read along the bottom row and up the left column.
        int width = 0, height = 0;
        while (width < kW && f[size_t((kH - 1) * kW + width)] == kNew)
            ++width;
        while (height < kH && f[size_t((kH - 1 - height) * kW)] == kNew)
            ++height;
        EXPECT_EQ(height, static_cast<int>(8 * k)) << "step " << k;
        EXPECT_NEAR(width, 64.0 * k / 6, 1.0) << "step " << k;
        EXPECT_GT(width, lastWidth) << "step " << k;
        lastWidth = width;
        const Frame want = frameOf(
            kW, kH, [&](int x, int y) { return x < width && y >= kH - height ? kNew : kOld; });
        EXPECT_EQ(firstDifference(f, want, kW), "") << "step " << k;
    }
    EXPECT_EQ(o.frames.back(), frameOf(*now));
}

// ---- blinds ------------------------------------------------------------------------------------

TEST_F(TransitionBlinds, EveryBandOpensByTheChunkAtOnce) {
    auto now = flat(kNew), old = flat(kOld);
    // 37: 12 bands of 4 rows, a row of each a step.
    Outcome o = run(37, *now, *old, 1000, 1);
    ASSERT_EQ(o.frames.size(), 5u);
    EXPECT_EQ(o.times, every(250, 5));
    expectSteps(o, 4, kW, [](size_t k) {
        return frameOf(kW, kH, [=](int, int y) { return y % 4 < int(k) ? kNew : kOld; });
    });
    EXPECT_EQ(o.after, frameOf(*now));

    // A chunk beyond a band is a band: everything opens on the first step.
    o = run(37, *now, *old, 1000, 10);
    ASSERT_EQ(o.frames.size(), 2u);
    EXPECT_EQ(o.times, every(1000, 2));
    EXPECT_EQ(o.frames[0], frameOf(*now));

    // 49: 12 bands of 5 columns; the 4 columns left over come with the whole picture at the end.
    o = run(49, *now, *old, 1000, 1);
    ASSERT_EQ(o.frames.size(), 6u);
    EXPECT_EQ(o.times, every(200, 6));
    expectSteps(o, 5, kW, [](size_t k) {
        return frameOf(kW, kH, [=](int x, int) { return x < 60 && x % 5 < int(k) ? kNew : kOld; });
    });
    EXPECT_EQ(o.after, frameOf(*now));
}

// ---- block dissolve -----------------------------------------------------------------------------

TEST_F(TransitionDissolve, AllSevenNumbersDrawTheSameOrderFromTheSameRandomState) {
    auto now = flat(kNew), old = flat(kOld);
    const Outcome first = run(23, *now, *old, 1000, 4, 7);
    EXPECT_NE(first.randomState, 7u); // the orders were drawn from the context
    EXPECT_EQ(first.after, frameOf(*now));
    for (int32_t effect : {24, 25, 26, 50, 51, 52, 23}) {
        transitionRand(); // what the process draws elsewhere makes no difference
        const Outcome o = run(effect, *now, *old, 1000, 4, 7);
        EXPECT_EQ(o.times, first.times) << effect;
        EXPECT_TRUE(o.frames == first.frames) << effect;
        EXPECT_EQ(o.randomState, first.randomState) << effect;
    }
    EXPECT_FALSE(run(51, *now, *old, 1000, 4, 8).frames == first.frames);
}

TEST_F(TransitionDissolve, EachStepRevealsOneMoreWholeBlock) {
    // 64 x 64 in blocks of 8: a single tile of 64 blocks.
    auto now = flat(kNew, 64, 64), old = flat(kOld, 64, 64);
    const Outcome o = run(23, *now, *old, 1000, 8);
    ASSERT_GE(o.frames.size(), 64u);
    EXPECT_EQ(o.times, every(15, o.frames.size()));
    std::vector<bool> shown(64, false);
    for (size_t k = 1; k <= 63; ++k) {
        const Frame& f = o.frames[k - 1];
        int revealed = 0;
        for (int b = 0; b < 64; ++b) {
            const int bx = b % 8 * 8, by = b / 8 * 8;
            const uint8_t first = f[static_cast<size_t>(by * 64 + bx)];
            for (int y = by; y < by + 8; ++y)
                for (int x = bx; x < bx + 8; ++x)
                    ASSERT_EQ(f[static_cast<size_t>(y * 64 + x)], first)
                        << "block " << b << " is not whole at step " << k;
            if (shown[b]) {
                EXPECT_EQ(first, kNew) << "block " << b << " went back at step " << k;
            }
            shown[b] = first == kNew;
            revealed += shown[b];
        }
        EXPECT_EQ(revealed, static_cast<int>(k));
    }
    EXPECT_EQ(o.frames.back(), frameOf(*now));
}

// ---- zoom ---------------------------------------------------------------------------------------

TEST_F(TransitionZoom, OutlinesGoOutThreeAtATimeAndNoneIsLeftAtTheEnd) {
    auto now = flat(kNew), old = flat(kOld);
    constexpr uint8_t kInverted = static_cast<uint8_t>(~kOld);
    // Chunk 1: outlines 2 rows apart, half-heights 2, 4, ... 28, 41 ms apart; then the picture.
    const Outcome o = run(47, *now, *old, 1000, 1);
    ASSERT_EQ(o.frames.size(), 15u);
    EXPECT_EQ(o.times, every(41, 15));
    for (size_t k = 1; k <= 14; ++k) {
        const Frame& f = o.frames[k - 1];
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const uint8_t v = f[static_cast<size_t>(y * kW + x)];
                ASSERT_TRUE(v == kOld || v == kInverted) << x << "," << y << " step " << k;
                // Centred: the same under a half turn about the middle.
                ASSERT_EQ(v, f[static_cast<size_t>((kH - 1 - y) * kW + (kW - 1 - x))])
                    << x << "," << y << " step " << k;
            }
        // Down the middle column: the top and bottom edges of this step's outline and of the
        // two before it, each one row outside the half-height.
        std::vector<int> want;
        for (int y = 0; y < kH; ++y)
            for (int j = std::max<int>(1, int(k) - 2); j <= int(k); ++j)
                if (y == kH / 2 - 2 * j - 1 || y == kH / 2 + 2 * j) want.push_back(y);
        std::vector<int> got;
        for (int y = 0; y < kH; ++y)
            if (f[static_cast<size_t>(y * kW + kW / 2)] == kInverted) got.push_back(y);
        EXPECT_EQ(got, want) << "step " << k;
    }
    EXPECT_EQ(o.after, frameOf(*now));
}

} // namespace
