// The Windows platform's own helpers, under Wine: the whole-record pipe read, the recorders a
// watched module's message boxes and wave output go to, and the PNG writer.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/mmsystem.h"
#include "platform/pipes.h"

namespace {

using namespace skv::platform;

DWORD WINAPI writeInPieces(LPVOID param) {
    HANDLE w = param;
    char piece[100];
    for (int i = 0; i < 3; ++i) {
        std::memset(piece, 'a' + i, sizeof piece);
        DWORD n = 0;
        WriteFile(w, piece, sizeof piece, &n, nullptr);
        Sleep(20);
    }
    CloseHandle(w);
    return 0;
}

TEST(Pipes, AWholeRecordIsReadAtOnceAndWhatCameBeforeTheWriterLeftCounts) {
    HANDLE r = nullptr, w = nullptr;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 4096));
    HANDLE t = CreateThread(nullptr, 0, writeInPieces, w, 0, nullptr);
    char got[250];
    DWORD n = 0;
    ASSERT_TRUE(readPipeFully(r, got, sizeof got, &n));
    EXPECT_EQ(n, 250u);
    EXPECT_EQ(got[0], 'a');
    EXPECT_EQ(got[150], 'b');
    EXPECT_EQ(got[249], 'c');
    // 50 bytes remain, then the write end goes: a shorter read, still a success.
    ASSERT_TRUE(readPipeFully(r, got, sizeof got, &n));
    EXPECT_EQ(n, 50u);
    EXPECT_FALSE(readPipeFully(r, got, sizeof got, &n));
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    CloseHandle(r);
}

// The test program watches itself: its own imports go to the recorders.
class Watched : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        _putenv("SKV_WAVE=capture");
        watchModule(GetModuleHandleA(nullptr));
        selectDisplay(DisplayBackend::Headless);
    }
};

TEST_F(Watched, AHeadlessMessageBoxIsRecordedAndAnsweredWithItsDefaultButton) {
    clearMessageBoxes();
    EXPECT_EQ(MessageBoxA(nullptr, "the text", "the caption", MB_OKCANCEL | MB_DEFBUTTON2),
              IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "again", nullptr, MB_YESNO), IDYES);
    setMessageBoxAnswer(IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "told", "c", MB_YESNO), IDNO);
    setMessageBoxAnswer(0);
    const auto boxes = messageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "the text");
    EXPECT_EQ(boxes[0].caption, "the caption");
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_EQ(boxes[2].answer, IDNO);
}

// Waits until the device has marked `header` done, or 5 s passed. (Without a display there is
// no window for MM_WOM_DONE; the movie runs under Wine see those.)
bool waitDone(const WAVEHDR* header) {
    const ULONGLONG until = GetTickCount64() + 5000;
    while (GetTickCount64() < until) {
        if (header->dwFlags & WHDR_DONE) return true;
        Sleep(5);
    }
    return false;
}

TEST_F(Watched, TheCaptureDevicePlaysBuffersInTheirTimeAndKeepsWhatWasHeard) {
    clearWaveCapture();
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.wBitsPerSample = 8;
    f.nBlockAlign = 1;
    f.nAvgBytesPerSec = 8000;
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    std::vector<char> samples(800);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<char>(i * 7);
    WAVEHDR once{};
    once.lpData = samples.data();
    once.dwBufferLength = static_cast<DWORD>(samples.size());
    ASSERT_EQ(waveOutPrepareHeader(h, &once, sizeof once), MMSYSERR_NOERROR);
    const ULONGLONG start = GetTickCount64();
    ASSERT_EQ(waveOutWrite(h, &once, sizeof once), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), WAVERR_STILLPLAYING);
    ASSERT_TRUE(waitDone(&once));
    EXPECT_GE(GetTickCount64() - start, 90u); // 800 bytes at 8000 a second
    EXPECT_TRUE(once.dwFlags & WHDR_DONE);

    // A looping buffer plays until it is reset; what was heard until then is kept.
    WAVEHDR looping{};
    looping.lpData = samples.data();
    looping.dwBufferLength = static_cast<DWORD>(samples.size());
    looping.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    looping.dwLoops = 0xFFFFFFFFu;
    ASSERT_EQ(waveOutPrepareHeader(h, &looping, sizeof looping), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(h, &looping, sizeof looping), MMSYSERR_NOERROR);
    Sleep(250);
    ASSERT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    EXPECT_TRUE(looping.dwFlags & WHDR_DONE);
    EXPECT_TRUE(waitDone(&looping));
    EXPECT_EQ(waveOutUnprepareHeader(h, &once, sizeof once), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(h, &looping, sizeof looping), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);

    const std::vector<PlayedWave> played = waveCapture();
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(std::string(played[0].samples.begin(), played[0].samples.end()),
              std::string(samples.begin(), samples.end()));
    // Two passes and some of a third (at 250 ms), never the whole of a later one.
    EXPECT_GE(played[1].samples.size(), 1600u);
    EXPECT_LT(played[1].samples.size(), 3200u);
    EXPECT_EQ(played[1].samples[800], samples[0]);
}

TEST(Png, APictureIsWrittenAsEightBitRgbThatInflatesToItsRows) {
    Image image;
    image.width = 2;
    image.height = 2;
    image.pixels = {0x112233, 0x445566, 0x778899, 0xAABBCC};
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + "skv_png_test.png";
    std::string error;
    ASSERT_TRUE(writePng(image, path, &error)) << error;
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string f = s.str();
    ASSERT_GT(f.size(), 8u + 25 + 12 + 12);
    EXPECT_EQ(f.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
    EXPECT_EQ(f.substr(12, 4), "IHDR");
    EXPECT_EQ(static_cast<uint8_t>(f[24]), 8); // bit depth
    EXPECT_EQ(static_cast<uint8_t>(f[25]), 2); // RGB
    const size_t idat = f.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    const uint32_t length =
        static_cast<uint8_t>(f[idat - 4]) << 24 | static_cast<uint8_t>(f[idat - 3]) << 16 |
        static_cast<uint8_t>(f[idat - 2]) << 8 | static_cast<uint8_t>(f[idat - 1]);
    std::vector<uint8_t> raw(2 * (1 + 6));
    uLongf rawSize = static_cast<uLongf>(raw.size());
    ASSERT_EQ(uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(f.data() + idat + 4),
                         length),
              Z_OK);
    const std::vector<uint8_t> want = {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66,
                                       0, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC};
    EXPECT_EQ(raw, want);
    DeleteFileA(path.c_str());
    EXPECT_FALSE(writePng(Image{}, path, &error));
}

} // namespace
