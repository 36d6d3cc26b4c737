// Tests of the window system run on the virtual clock and the headless display, with a window
// class whose procedure records every message it gets.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "platform/display.h"
#include "platform/wingdi.h"
#include "platform/winuser.h"
#include "vclock_fixture.h"

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
};

// Every message the recording class's procedure got, in order, from any thread.
class MessageLog {
public:
    void add(const Seen& s) {
        std::lock_guard<std::mutex> g(mu_);
        seen_.push_back(s);
    }
    std::vector<Seen> all() const {
        std::lock_guard<std::mutex> g(mu_);
        return seen_;
    }
    // The messages of one kind, in order.
    std::vector<Seen> of(UINT message) const {
        std::vector<Seen> out;
        for (const Seen& s : all())
            if (s.message == message) out.push_back(s);
        return out;
    }
    // The message numbers a window got, leaving out the ones in `ignore`.
    std::vector<UINT> sequence(HWND hwnd, std::initializer_list<UINT> ignore = {}) const {
        std::vector<UINT> out;
        for (const Seen& s : all())
            if (s.hwnd == hwnd &&
                std::find(ignore.begin(), ignore.end(), s.message) == ignore.end())
                out.push_back(s.message);
        return out;
    }
    void clear() {
        std::lock_guard<std::mutex> g(mu_);
        seen_.clear();
    }

private:
    mutable std::mutex mu_;
    std::vector<Seen> seen_;
};

inline MessageLog& messageLog() {
    static MessageLog log;
    return log;
}

inline LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    messageLog().add(Seen{hwnd, message, wParam, lParam, GetTickCount()});
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

inline constexpr const char* kRecordingClass = "SkvTestRecorder";

class WindowTest : public VirtualClockTest {
protected:
    void SetUp() override {
        VirtualClockTest::SetUp();
        skv::platform::selectDisplay(skv::platform::DisplayBackend::Headless);
        skv::platform::setScreenSize(320, 240);
        static const bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = recordingProc;
            wc.lpszClassName = kRecordingClass;
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
            wc.style = CS_DBLCLKS;
            return RegisterClassA(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        messageLog().clear();
        skv::platform::clearMessageBoxes();
    }
    void TearDown() override {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it)
            if (IsWindow(*it)) DestroyWindow(*it);
        made_.clear();
        drain();
        skv::platform::setPaletteDisplay(false);
        VirtualClockTest::TearDown();
    }

    // A window of the recording class, destroyed after the test.
    HWND make(int x, int y, int w, int h, HWND parent = nullptr, DWORD style = WS_VISIBLE,
              const char* cls = kRecordingClass) {
        if (parent) style |= WS_CHILD;
        HWND hwnd =
            CreateWindowExA(0, cls, "test", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
        EXPECT_NE(hwnd, nullptr);
        made_.push_back(hwnd);
        return hwnd;
    }

    // Handles everything the calling thread has queued (paint included) without waiting.
    static void pump() {
        MSG msg;
        for (int guard = 0; guard < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++guard)
            DispatchMessageA(&msg);
    }
    // Takes posted and input messages off the queue without handling them.
    static void drain() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, WM_PAINT - 1, PM_REMOVE) ||
               PeekMessageA(&msg, nullptr, WM_PAINT + 1, 0xFFFFFFFF, PM_REMOVE)) {
        }
    }

    std::vector<HWND> made_;
};
