// The SDL2 audio backend on the real clock: a tone, a looping buffer faded down and reset, and
// MessageBeep, played through SDL's audio. The build runs it under xvfb-run with SDL's ALSA
// driver on ALSA's null device, so nothing is heard but SDL's whole path runs; without a display
// it skips itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/mmsystem.h"
#include "platform/winuser.h"

namespace {

using skv::platform::WaveBackend;

TEST(SdlWave, PlaysBuffersAndReportsThemDone) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X display: run under xvfb-run";
    std::string why;
    ASSERT_TRUE(skv::platform::selectWaveOutput(WaveBackend::Sdl, &why)) << why;
    EXPECT_EQ(skv::platform::currentWaveOutput(), WaveBackend::Sdl);

    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "SkvSdlWaveTest";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND window = CreateWindowExA(0, "SkvSdlWaveTest", "", 0, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);

    WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    HWAVEOUT out = nullptr;
    ASSERT_EQ(
        waveOutOpen(&out, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW),
        MMSYSERR_NOERROR);
    std::vector<int16_t> tone(22050 / 5);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * double(i) / 22050));
    WAVEHDR h{};
    h.lpData = reinterpret_cast<LPSTR>(tone.data());
    h.dwBufferLength = static_cast<DWORD>(tone.size() * 2);
    ASSERT_EQ(waveOutPrepareHeader(out, &h, sizeof h), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(out, &h, sizeof h), MMSYSERR_NOERROR);
    MSG msg;
    while (GetMessageA(&msg, window, 0, 0) > 0 && msg.message != MM_WOM_DONE)
        DispatchMessageA(&msg);
    EXPECT_EQ(msg.lParam, reinterpret_cast<LPARAM>(&h));

    // A looping buffer faded down while it plays, then reset.
    h.dwFlags |= WHDR_BEGINLOOP | WHDR_ENDLOOP;
    h.dwLoops = 0xFFFFFFFFu;
    ASSERT_EQ(waveOutWrite(out, &h, sizeof h), MMSYSERR_NOERROR);
    for (DWORD level = 0xFFFF; level >= 0x2000; level -= 0x2000) {
        EXPECT_EQ(waveOutSetVolume(out, level | level << 16), MMSYSERR_NOERROR);
        Sleep(30);
    }
    EXPECT_EQ(waveOutReset(out), MMSYSERR_NOERROR);
    EXPECT_TRUE(h.dwFlags & WHDR_DONE);
    EXPECT_EQ(waveOutUnprepareHeader(out, &h, sizeof h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
    waveOutSetVolume(nullptr, 0xFFFFFFFFu);
    MessageBeep(MB_OK);
    Sleep(200);
    DestroyWindow(window);
}

} // namespace
