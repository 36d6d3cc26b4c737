// Transition effects on Windows' own multimedia timers, under Wine: every effect runs to its end
// on the timer's thread, leaves the new picture in the window, and has stopped touching its
// state when it returns (an effect's last step comes from the timer's thread while the caller
// waits, and the caller frees the state as soon as it wakes).
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "gfx/dib.h"
#include "gfx/transition.h"
#include "platform/mmsystem.h"
#include "platform/win32.h"
#include "platform/wingdi.h"

namespace {

using namespace skv;

constexpr int kW = 48, kH = 32;

void colourTable(RGBQUAD out[256]) {
    for (int i = 0; i < 256; ++i)
        out[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 0, 0};
}

std::unique_ptr<nDIB> flat(uint8_t index) {
    RGBQUAD colours[256];
    colourTable(colours);
    auto d = std::make_unique<nDIB>();
    d->create(kW, kH, nullptr, colours);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            *d->pixelAt(x, y) = index;
    return d;
}

// An 8-bit DIB section in a memory DC, showing `index` everywhere at first.
struct Window {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint8_t* bits = nullptr;

    explicit Window(uint8_t index) {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colours[256];
        } info{};
        info.header.biSize = sizeof info.header;
        info.header.biWidth = kW;
        info.header.biHeight = kH;
        info.header.biPlanes = 1;
        info.header.biBitCount = 8;
        colourTable(info.colours);
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                  &p, nullptr, 0);
        bits = static_cast<uint8_t*>(p);
        previous = SelectObject(dc, bitmap);
        std::memset(bits, index, static_cast<size_t>(kW) * kH);
    }
    ~Window() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    int count(uint8_t index) const {
        GdiFlush();
        int n = 0;
        for (int i = 0; i < kW * kH; ++i)
            n += bits[i] == index;
        return n;
    }
};

TEST(WindowsTransitions, EveryEffectEndsOnTheNewPictureAndLetsGoOfItsState) {
    TransitionTable table;
    buildTransitionTable(table);
    for (int32_t effect = 1; effect <= 52; ++effect) {
        // One after the other: a step still running when its effect returned would find its
        // state's memory taken by the next effect's. (150 ms: long enough for a few steps.)
        {
            auto now = flat(1), old = flat(2);
            Window window(2);
            std::atomic<int> steps{0};
            std::atomic<DWORD> stepThread{0};
            TransitionContext context;
            context.stepHook = [&](int32_t) {
                ++steps;
                stepThread = GetCurrentThreadId();
            };
            ASSERT_EQ(runTransition(table, effect, window.dc, now.get(), old.get(), 30, 150, 8, 0,
                                    &context),
                      1)
                << "effect " << effect;
            const int stepsAtReturn = steps.load();
            EXPECT_GE(stepsAtReturn, 2) << "effect " << effect << " made one step only";
            EXPECT_NE(stepThread.load(), GetCurrentThreadId())
                << "effect " << effect << ": its last step did not come from the timer";
            EXPECT_EQ(window.count(1), kW * kH) << "effect " << effect;
        }
    }
}

} // namespace
