// A transition cut short: the player going away does not wait for the rest of a long effect.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "gfx/dib.h"
#include "gfx/transition.h"
#include "platform/clock.h"
#include "platform/win32.h"
#include "platform/wingdi.h"

namespace {

using namespace skv;

constexpr int kW = 32, kH = 24;

// An 8-bit DIB section in a memory DC: the "window" the effect draws to.
struct Target {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint8_t* bits = nullptr;
    explicit Target(const RGBQUAD* colours) {
        std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
        auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
        h->biSize = sizeof(BITMAPINFOHEADER);
        h->biWidth = kW;
        h->biHeight = kH;
        h->biPlanes = 1;
        h->biBitCount = 8;
        std::memcpy(info.data() + sizeof(BITMAPINFOHEADER), colours, 256 * sizeof(RGBQUAD));
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS,
                                  &p, nullptr, 0);
        bits = static_cast<uint8_t*>(p);
        previous = SelectObject(dc, bitmap);
    }
    ~Target() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    int count(uint8_t value) const {
        int n = 0;
        for (int i = 0; i < kW * kH; ++i)
            n += bits[i] == value;
        return n;
    }
};

struct EffectRun {
    TransitionTable table;
    nDIB* now;
    nDIB* before;
    HDC dc;
    TransitionContext* context;
    int32_t effect;
    uint32_t duration;
};

DWORD WINAPI runEffect(LPVOID p) {
    auto* r = static_cast<EffectRun*>(p);
    runTransition(r->table, r->effect, r->dc, r->now, r->before, 30, r->duration, 1, 0, r->context);
    return 0;
}

class TransitionCut : public ::testing::Test {
protected:
    void SetUp() override { platform::setVirtualClock(true, 5000); }
    void TearDown() override {
        platform::setVirtualClock(false);
        platform::leaveVirtualClock();
    }
};

TEST_F(TransitionCut, ALongEffectEndsAtOnceWithTheNewPicture) {
    RGBQUAD colours[256] = {};
    colours[1] = RGBQUAD{255, 0, 0, 0};
    colours[2] = RGBQUAD{0, 0, 255, 0};
    Target target(colours);
    std::memset(target.bits, 2, kW * kH);
    std::vector<uint8_t> blue(kW * kH, 1), red(kW * kH, 2);
    nDIB now, before;
    now.create(kW, kH, blue.data(), colours);
    before.create(kW, kH, red.data(), colours);

    // Blinds of chunk 1 over 30 seconds: the first step is drawn, the next is seconds away.
    for (int32_t effect : {37, 23, 1}) {
        SCOPED_TRACE(effect);
        std::memset(target.bits, 2, kW * kH);
        HANDLE firstStep = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::atomic<int> steps{0};
        TransitionContext context;
        context.cutShort = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        context.stepHook = [&](int32_t) {
            steps.fetch_add(1);
            SetEvent(firstStep);
        };
        EffectRun run{{}, &now, &before, target.dc, &context, effect, 30000};
        buildTransitionTable(run.table);
        const uint64_t start = platform::clockNowMs();
        HANDLE t = CreateThread(nullptr, 128 * 1024, runEffect, &run, 0, nullptr);
        ASSERT_EQ(WaitForSingleObject(firstStep, INFINITE), WAIT_OBJECT_0);
        EXPECT_LT(target.count(1), kW * kH); // only part of the new picture so far
        SetEvent(context.cutShort);
        ASSERT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
        // No time passed: the rest of the effect was not waited for.
        EXPECT_EQ(platform::clockNowMs(), start);
        EXPECT_EQ(steps.load(), 1);
        EXPECT_EQ(target.count(1), kW * kH);
        // Its timer is gone: nothing draws any more, however long we wait.
        std::memset(target.bits, 2, kW * kH);
        Sleep(60000);
        EXPECT_EQ(target.count(2), kW * kH);
        CloseHandle(t);
        CloseHandle(firstStep);
        CloseHandle(context.cutShort);
    }
}

} // namespace
