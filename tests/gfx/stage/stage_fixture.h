// Stage tests run a real stage view (its own thread and window) under a parent window on the
// headless screen, on the virtual clock. Pictures are compared as rows of letters, one letter per
// colour, so that a failure shows where the picture differs.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Util/nmtx.h"
#include "core/objectmanager.h"
#include "gfx/dib.h"
#include "gfx/inks.h"
#include "gfx/palette.h"
#include "gfx/stageview.h"
#include "platform/clock.h"
#include "platform/display.h"

namespace skv::test {

using Art = std::vector<std::string>;

// The movie palette of the tests: the 20 static colours first, so that each static stands for
// itself, then five colours of their own at 20-24, every other entry black. The stage's identity
// palette then holds the five exactly, and the screen shows them as they are.
enum : uint8_t { kRed = 20, kGreen = 21, kBlue = 22, kYellow = 23, kPurple = 24 };
inline constexpr uint8_t kBlackIndex = 0;  // static 0
inline constexpr uint8_t kWhiteIndex = 19; // static 19

inline void fillTestPalette(RGBQUAD out[256]) {
    const PALETTEENTRY* statics = skv::platform::staticColours();
    for (int i = 0; i < 256; ++i)
        out[i] = RGBQUAD{0, 0, 0, 0};
    for (int i = 0; i < 20; ++i)
        out[i] = RGBQUAD{statics[i].peBlue, statics[i].peGreen, statics[i].peRed, 0};
    out[kRed] = RGBQUAD{40, 30, 200, 0};
    out[kGreen] = RGBQUAD{60, 160, 30, 0};
    out[kBlue] = RGBQUAD{200, 60, 40, 0};
    out[kYellow] = RGBQUAD{20, 200, 250, 0};
    out[kPurple] = RGBQUAD{120, 20, 90, 0};
}

// Letters for the colours a picture may show.
inline const std::map<uint32_t, char>& legend() {
    static const std::map<uint32_t, char> m = {
        {0xFFFFFF, 'W'}, {0x000000, 'K'}, {0xC81E28, 'R'}, {0x1EA03C, 'G'},
        {0x283CC8, 'B'}, {0xFAC814, 'Y'}, {0x5A1478, 'P'}, {0x808080, '-'},
    };
    return m;
}

// The part (x, y, w, h) of a captured picture as rows of letters; '?' for any other colour.
inline Art artOf(const skv::platform::Image& img, int x, int y, int w, int h) {
    Art rows;
    for (int r = y; r < y + h; ++r) {
        std::string row;
        for (int c = x; c < x + w; ++c) {
            if (c >= img.width || r >= img.height) {
                row += ' ';
                continue;
            }
            auto it = legend().find(img.at(c, r));
            row += it == legend().end() ? '?' : it->second;
        }
        rows.push_back(row);
    }
    return rows;
}

// A w x h bitmap of one colour index, with the test palette as its colours.
inline std::unique_ptr<nDIB> tile(int w, int h, uint8_t index) {
    auto d = std::make_unique<nDIB>();
    RGBQUAD colours[256];
    fillTestPalette(colours);
    d->create(w, h, nullptr, colours);
    std::memset(d->bits(), index, d->pixelBytes());
    return d;
}

// Draws a bitmap into the stage picture with an ink, as a sprite does: remapped to the stage
// palette first.
inline void drawBitmap(nAnimation& stage, nDIB& bitmap, int x, int y, int ink = 0) {
    nDisplayOSB* display = stage.getDisplayOSB();
    bitmap.mapToPalette(display->getPaletteHandle());
    if (nDIB* picture = display->getDIB())
        inkRoutineFor(ink)(*picture, bitmap, x, y, bitmap.width(), bitmap.height(), 0, 0);
}

// A stage view whose movie state the test sets, and which writes down what reached its
// handlers. The log is written and read with the view mutex held.
class TestStage : public skvStageView {
public:
    static constexpr WPARAM kRun = 0x7E57;

    ~TestStage() override { shutdown(); }

    std::atomic<bool> movie{false};
    std::atomic<bool> animating{false};
    std::vector<std::string> log;
    // Called on the view thread at the matching moments when set (before the thread starts).
    std::function<void()> idleHook, exitHook;
    std::function<void(skvObject*)> soundHook;

    // Runs f on the view thread, with the view mutex held, once everything queued for the stage
    // window before it has been handled. The caller must not hold the view mutex.
    void runOnView(const std::function<void()>& f) {
        struct Job {
            std::function<void()> f;
            HANDLE done;
        } job{f, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
        ASSERT_TRUE(PostMessageA(window(), kMsgStatus, kRun, reinterpret_cast<LPARAM>(&job)));
        WaitForSingleObject(job.done, INFINITE);
        CloseHandle(job.done);
    }
    // Waits until the stage window has handled everything queued for it, input and paint
    // included. Queued input and paint come after posted messages, so a barrier posted over and
    // over could starve them; instead one job on the view thread handles what is waiting there.
    void settle() {
        runOnView([this] {
            MSG msg;
            for (int i = 0; i < 10000 && PeekMessageA(&msg, window(), 0, 0, PM_REMOVE); ++i)
                DispatchMessageA(&msg);
        });
    }
    std::vector<std::string> events() {
        NMTX_SCOPED(g, viewMutex());
        return log;
    }

    void onInit() override { note("init"); }
    void onNotify(WPARAM code, LPARAM data) override {
        if (code == kRun) {
            struct Job {
                std::function<void()> f;
                HANDLE done;
            };
            auto* job = reinterpret_cast<Job*>(data);
            job->f();
            SetEvent(job->done);
            return;
        }
        note("notify " + std::to_string(code) + " " + std::to_string(data));
    }
    void onMouseMove(int32_t x, int32_t y) override { note(at("move", x, y)); }
    void onLButtonDown(int32_t x, int32_t y) override { note(at("ldown", x, y)); }
    void onLButtonUp(int32_t x, int32_t y) override { note(at("lup", x, y)); }
    void onLButtonDblClk(int32_t x, int32_t y) override { note(at("ldbl", x, y)); }
    void onRButtonDown(int32_t x, int32_t y) override { note(at("rdown", x, y)); }
    void onRButtonUp(int32_t x, int32_t y) override { note(at("rup", x, y)); }
    void onRButtonDblClk(int32_t x, int32_t y) override { note(at("rdbl", x, y)); }
    void onSetCursor(int32_t x, int32_t y) override { note(at("cursor", x, y)); }
    void onSize(int32_t w, int32_t h) override { note(at("size", w, h)); }
    void onHScroll(int32_t code, int32_t pos) override { note(at("hscroll", code, pos)); }
    void onKeyDown() override { note("key"); }
    void onTimer() override { note("timer"); }
    void onQueryNewPalette() override {
        note("query palette");
        skvStageView::onQueryNewPalette();
    }
    void onPaint(HDC dc, const RECT& rect) override {
        note("paint");
        skvStageView::onPaint(dc, rect);
    }
    void onIdle() override {
        if (idleHook) idleHook();
        skvStageView::onIdle();
    }
    void onExit() override {
        note("exit");
        if (exitHook) exitHook();
    }
    void startSound(skvObject* sound) override {
        note("start sound");
        if (soundHook) soundHook(sound);
    }
    void stopSoundOutput() override { note("stop sound"); }
    void setStageTempo(int32_t fps) override { note("tempo " + std::to_string(fps)); }

protected:
    bool hasMovie() const override { return movie.load(); }
    bool isAnimating() const override { return animating.load(); }

private:
    static std::string at(const char* what, int32_t a, int32_t b) {
        return std::string(what) + " " + std::to_string(a) + "," + std::to_string(b);
    }
    void note(const std::string& s) { log.push_back(s); }
};

// What the page's window does with a message the test cares about; null: the default.
using ParentHook = std::function<bool(UINT message, WPARAM, LPARAM, LRESULT*)>;
inline ParentHook*& parentHook() {
    static ParentHook* hook = nullptr;
    return hook;
}

inline LRESULT CALLBACK parentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ParentHook* hook = parentHook(); hook && *hook && (*hook)(message, wParam, lParam, &result))
        return result;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

inline constexpr const char* kPageClass = "SkvStageTestPage";

// A page window (the browser's plug-in window) on the headless screen, on the virtual clock.
class StageTest : public ::testing::Test {
protected:
    static constexpr int kPageWidth = 40, kPageHeight = 30;

    void SetUp() override {
        skv::platform::setVirtualClock(true, 1000000);
        skv::platform::selectDisplay(skv::platform::DisplayBackend::Headless);
        skv::platform::setScreenSize(160, 120);
        static const bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = parentProc;
            wc.lpszClassName = kPageClass;
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
            return RegisterClassA(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        page = CreateWindowExA(0, kPageClass, "page", WS_VISIBLE, 10, 10, kPageWidth, kPageHeight,
                               nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(page, nullptr);
        pump();
    }
    void TearDown() override {
        stage.reset();
        store.clear();
        parentHook() = nullptr;
        if (IsWindow(page)) DestroyWindow(page);
        pump();
        skv::platform::setPaletteDisplay(false);
        skv::platform::setVirtualClock(false);
        skv::platform::leaveVirtualClock();
    }

    // Handles what the test thread has queued, without waiting.
    static void pump() {
        MSG msg;
        for (int i = 0; i < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
            DispatchMessageA(&msg);
    }

    // A stage asked for at (x, y) with size (w, h) in the page, its window made, and shown.
    TestStage& startStage(int x, int y, int w, int h, bool visible = true) {
        stage = std::make_unique<TestStage>();
        stage->setRect(x, y, w, h);
        stage->attachToWindow(page);
        stage->waitForWindow();
        EXPECT_NE(stage->window(), nullptr);
        if (visible) {
            stage->show(1);
            stage->settle();
        }
        return *stage;
    }

    // Gives the stage's compositor a store, w x h buffers and the test palette (number 7).
    void setUpCompositor(int w, int h) {
        NMTX_SCOPED(g, stage->viewMutex());
        nAnimation& a = stage->compositor();
        a.reset();
        a.attachView(stage.get());
        a.setObjectStore(&store);
        a.createBuffers(w, h, 8);
        auto* p = new skvPalette();
        fillTestPalette(p->colours);
        p->objectId = paletteIdentity(7);
        store.add(p);
        a.setPalette(p);
    }

    // The stage window's picture, (x, y, w, h) of it.
    Art stageArt(int x, int y, int w, int h) {
        return artOf(skv::platform::captureWindow(stage->window()), x, y, w, h);
    }

    HWND page = nullptr;
    qmsObjectManager store;
    std::unique_ptr<TestStage> stage;
};

} // namespace skv::test
