// What a skvplay window session shows and plays. The page's colour as pages write it; the page
// laid out by the Browser with the built plug-in, headless on the virtual clock (the page window
// and the screen take the page's size, a movie given alone its stage's); the same on SDL2's
// window under Xvfb, compared with the X server's own screenshot (xwd); and the demo's chime
// played in a window through SDL's disk audio driver, read back from its file.
//
// The build runs it under xvfb-run with a black root window larger than the screen's default
// size, so a window never has to be moved to fit and every pixel outside it is black. Without
// a display the window cases skip themselves.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "browser.h"
#include "page.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/win32.h"
#include "plugin/observer.h"
#include "program_run.h"

namespace fs = std::filesystem;
using skv::platform::Image;

namespace {

// ---- the page's colour -----------------------------------------------------------------------

TEST(PageColour, TheFirstBodysColourGoesWithEveryEmbed) {
    const auto embeds =
        skvplay::parseEmbeds("<html><BODY text=black BgColor=\"#3366cc\"><embed src=a.skm>"
                             "<body bgcolor=red><embed src=b.skm></body>");
    ASSERT_EQ(embeds.size(), 2u);
    EXPECT_EQ(embeds[0].pageColour, "#3366cc");
    EXPECT_EQ(embeds[1].pageColour, "#3366cc");
    // The body's attributes are not an embed's.
    EXPECT_EQ(embeds[0].find("bgcolor"), nullptr);
    EXPECT_EQ(skvplay::parseEmbeds("<body><embed src=a.skm>")[0].pageColour, "");
}

TEST(PageColour, HtmlColoursInTheFormsPagesWriteThem) {
    uint32_t rgb = 0;
    EXPECT_TRUE(skvplay::parseHtmlColour("#3366cc", &rgb));
    EXPECT_EQ(rgb, 0x3366CCu);
    EXPECT_TRUE(skvplay::parseHtmlColour(" FF8000 ", &rgb));
    EXPECT_EQ(rgb, 0xFF8000u);
    EXPECT_TRUE(skvplay::parseHtmlColour("Teal", &rgb));
    EXPECT_EQ(rgb, 0x008080u);
    EXPECT_TRUE(skvplay::parseHtmlColour("silver", &rgb));
    EXPECT_EQ(rgb, 0xC0C0C0u);
    rgb = 7;
    for (const char* bad : {"", "#", "#12345", "#1234567", "#12345g", "chartreuse", "rgb(1,2,3)"})
        EXPECT_FALSE(skvplay::parseHtmlColour(bad, &rgb)) << bad;
    EXPECT_EQ(rgb, 7u);
}

// ---- the page laid out with the plug-in --------------------------------------------------------

struct FrameObserver : skv::plugin::PluginObserver {
    void onStatus(int32_t, int32_t) override {}
    void onState(int32_t) override {}
    void eventDelivered(const skv::EventReport&) override {}
    void frameShown(HWND s, int32_t, int32_t) override {
        stage.store(s);
        frames.fetch_add(1);
    }
    std::atomic<int> frames{0};
    std::atomic<HWND> stage{nullptr};
};

struct PageSpec {
    std::string body;                // the <body> tag's attributes
    std::vector<std::string> embeds; // each embed's size attributes ("" for none)
    std::string movie = DEMO_MOVIE;  // what the first embed plays
};

class PageLayout : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("skvplay_window_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        browser.reset(); // every instance goes before the observer
        skv::platform::setVirtualClock(false);
        skv::platform::selectDisplay(skv::platform::DisplayBackend::Headless);
        skv::platform::setScreenSize(1024, 768);
        fs::remove_all(dir);
    }

    // Opens the page and runs the browser's thread until the first frame has been shown and
    // the page has been laid out for it.
    void open(const PageSpec& spec) {
        // A movie name of this test's own: the plug-in caches movies beside itself by name.
        const fs::path movie = dir / (dir.filename().string() + ".skm");
        fs::copy_file(spec.movie, movie);
        std::ofstream(dir / "movie.src", std::ios::binary) << "file:" << movie.string() << "\r\n";
        std::string html = "<html><body " + spec.body + ">";
        for (size_t i = 0; i < spec.embeds.size(); ++i)
            html += "<embed src=" + std::string(i == 0 ? "movie.src" : "none.skm") +
                    " type=application/vnd.skyvora " + spec.embeds[i] + ">";
        skvplay::BrowserOptions o;
        o.pluginName = PLUGIN_MODULE;
        o.streamDir = (dir / "streams").string();
        browser = std::make_unique<skvplay::Browser>(o);
        std::string error;
        ASSERT_TRUE(browser->loadPlugin(&error)) << error;
        auto set = reinterpret_cast<SkvSetPluginObserverFunc>(
            browser->pluginSymbol("skvSetPluginObserver"));
        ASSERT_NE(set, nullptr);
        set(&observer);
        ASSERT_TRUE(browser->openPage(skvplay::parseEmbeds(html), dir.string(), &error)) << error;
        // At most 60 s of the clock, virtual or real: the movie is a local file.
        const uint64_t until = skv::platform::clockNowMs() + 60000;
        while (observer.frames.load() == 0 && skv::platform::clockNowMs() < until) {
            pump();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        ASSERT_GT(observer.frames.load(), 0) << "no frame was shown";
        browser->layOut();
        pump(); // the windows the layout moved paint themselves
    }
    void pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        while (browser->runPendingRequests()) {
        }
    }
    SIZE pageSize() const {
        RECT r{};
        GetClientRect(browser->pageWindow(), &r);
        return SIZE{r.right, r.bottom};
    }

    fs::path dir;
    FrameObserver observer;
    std::unique_ptr<skvplay::Browser> browser;
};

class HeadlessPageLayout : public PageLayout {
protected:
    void SetUp() override {
        PageLayout::SetUp();
        skv::platform::selectDisplay(skv::platform::DisplayBackend::Headless);
        skv::platform::setVirtualClock(true, 1000000);
    }
};

TEST_F(HeadlessPageLayout, EmbedsSitSideBySideOnThePageColour) {
    open({"bgcolor=#3366cc", {"width=400 height=300", "width=120 height=200"}});
    EXPECT_EQ(pageSize().cx, 520);
    EXPECT_EQ(pageSize().cy, 300);
    EXPECT_EQ(skv::platform::screenSize().cx, 520);
    EXPECT_EQ(skv::platform::screenSize().cy, 300);
    const Image screen = skv::platform::captureScreen();
    ASSERT_EQ(screen.width, 520);
    // Beside and below the stage inside its embed, in the second embed (which has no movie:
    // one instance plays at a time), and below the second embed: page, not a black box.
    for (POINT p : {POINT{360, 100}, POINT{100, 280}, POINT{460, 100}, POINT{460, 250}})
        EXPECT_EQ(screen.at(p.x, p.y), 0x3366CCu) << p.x << "," << p.y;
    // The frame pictures are the stage's, whatever the page.
    const Image stage = skv::platform::captureWindow(observer.stage.load());
    EXPECT_EQ(stage.width, 320);
    EXPECT_EQ(stage.height, 240);
}

TEST_F(HeadlessPageLayout, AMovieGivenAloneShowsAtItsStageSize) {
    open({"", {""}});
    EXPECT_EQ(pageSize().cx, 320);
    EXPECT_EQ(pageSize().cy, 240);
    EXPECT_EQ(skv::platform::screenSize().cx, 320);
    EXPECT_EQ(skv::platform::screenSize().cy, 240);
    EXPECT_EQ(browser->pageColour(), 0xFFFFFFu);
    // The screen is the stage and nothing else.
    const Image screen = skv::platform::captureScreen();
    const Image stage = skv::platform::captureWindow(observer.stage.load());
    EXPECT_EQ(screen.pixels, stage.pixels);
}

TEST_F(HeadlessPageLayout, AGivenWidthStaysAndTheMissingHeightIsTheStages) {
    open({"bgcolor=yellow", {"width=400"}});
    EXPECT_EQ(pageSize().cx, 400);
    EXPECT_EQ(pageSize().cy, 240);
    EXPECT_EQ(skv::platform::captureScreen().at(390, 10), 0xFFFF00u);
}

// ---- the real window -------------------------------------------------------------------------

uint32_t be32(const std::vector<unsigned char>& d, size_t at) {
    return (uint32_t{d[at]} << 24) | (uint32_t{d[at + 1]} << 16) | (uint32_t{d[at + 2]} << 8) |
           d[at + 3];
}

// The X server's root window as xwd dumps it from a 24-bit TrueColor screen.
bool rootPicture(const fs::path& dump, Image* out, std::string* why) {
    if (std::system(("xwd -root -silent > '" + dump.string() + "'").c_str()) != 0)
        return *why = "xwd failed", false;
    std::ifstream f(dump, std::ios::binary);
    std::vector<unsigned char> d((std::istreambuf_iterator<char>(f)), {});
    if (d.size() < 100) return *why = "xwd wrote no picture", false;
    const uint32_t headerSize = be32(d, 0), format = be32(d, 8), width = be32(d, 16),
                   height = be32(d, 20), byteOrder = be32(d, 28), bpp = be32(d, 44),
                   bytesPerLine = be32(d, 48), ncolors = be32(d, 76);
    if (format != 2 || (bpp != 32 && bpp != 24)) return *why = "not a 24-bit ZPixmap", false;
    const size_t start = headerSize + size_t{ncolors} * 12;
    if (d.size() < start + size_t{bytesPerLine} * height) return *why = "XWD cut short", false;
    out->width = static_cast<int>(width);
    out->height = static_cast<int>(height);
    out->pixels.resize(size_t{width} * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const unsigned char* p = &d[start + size_t{y} * bytesPerLine + x * (bpp / 8)];
            const unsigned char* last = p + bpp / 8 - 1;
            out->pixels[size_t{y} * width + x] =
                byteOrder == 0
                    ? (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16)
                    : (uint32_t{last[0]} | uint32_t{last[-1]} << 8 | uint32_t{last[-2]} << 16);
        }
    return true;
}

class WindowPageLayout : public PageLayout {
protected:
    void SetUp() override {
        PageLayout::SetUp();
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) GTEST_SKIP() << "no X display: run under xvfb-run";
        if (std::system("command -v xwd >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "xwd is not installed (package x11-apps)";
        std::string error;
        if (!skv::platform::selectDisplay(skv::platform::DisplayBackend::Sdl, &error))
            GTEST_SKIP() << "SDL2 cannot open a window here: " << error;
    }

    // The window, found on the root, holds exactly the screen: the same pixels, and the root's
    // black just past its right and bottom edges.
    void expectTheWindowIsTheScreen() {
        skv::platform::pumpDisplay();
        skv::platform::pumpDisplay(); // one whole pass after the last change
        const Image screen = skv::platform::captureScreen();
        int x = 0, y = 0;
        ASSERT_TRUE(skv::platform::displayWindowPosition(&x, &y));
        Image root;
        std::string why;
        ASSERT_TRUE(rootPicture(dir / "root.xwd", &root, &why)) << why;
        ASSERT_LT(x + screen.width, root.width) << "the root is too small to see the edge";
        ASSERT_LT(y + screen.height, root.height);
        ASSERT_GE(x, 0);
        ASSERT_GE(y, 0);
        int differ = 0;
        for (int j = 0; j < screen.height; ++j)
            for (int i = 0; i < screen.width; ++i)
                differ += root.at(x + i, y + j) != screen.at(i, j);
        EXPECT_EQ(differ, 0) << "of " << screen.width * screen.height << " pixels";
        EXPECT_EQ(root.at(x + screen.width, y + screen.height / 2), 0u);
        EXPECT_EQ(root.at(x + screen.width / 2, y + screen.height), 0u);
        if (const char* keep = std::getenv("SKV_SCREENSHOT_DIR"))
            fs::copy_file(
                dir / "root.xwd",
                fs::path(keep) /
                    (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                     ".xwd"),
                fs::copy_options::overwrite_existing);
    }
};

// A one-frame movie: nothing moves once it is shown, so the screenshot can be compared whole.
TEST_F(WindowPageLayout, ThePageAtItsSizeOnItsColour) {
    open({"bgcolor=#3366cc", {"width=300 height=200"}, TEXT_MOVIE});
    EXPECT_EQ(skv::platform::screenSize().cx, 300);
    EXPECT_EQ(skv::platform::screenSize().cy, 200);
    EXPECT_EQ(skv::platform::captureScreen().at(280, 180), 0x3366CCu);
    expectTheWindowIsTheScreen();
}

TEST_F(WindowPageLayout, AMovieGivenAloneShowsAtItsStageSize) {
    open({"", {""}, TEXT_MOVIE});
    EXPECT_EQ(skv::platform::screenSize().cx, 240);
    EXPECT_EQ(skv::platform::screenSize().cy, 120);
    expectTheWindowIsTheScreen();
}

// ---- sound in a window -----------------------------------------------------------------------

TEST(WindowSession, TheDemosChimeReachesTheSoundDevice) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X display: run under xvfb-run";
    const fs::path dir = fs::temp_directory_path() / ("skvplay_chime_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    // Its own name: the plug-in caches a movie beside itself under the name of its address.
    const fs::path movie = dir / ("chime" + std::to_string(getpid()) + ".skm");
    fs::copy_file(DEMO_MOVIE, movie);
    // The demo's visitor clicks the button at 4.6 s (its script goes to the frame with the
    // chime) and an empty spot at 9 s (a beep); the run ends before the beep.
    const fs::path audio = dir / "audio.raw";
    // The wave output is left to choose itself, as in a person's window session.
    const std::string cmd = "env -u SKV_WAVE -u SKV_DISPLAY SDL_AUDIODRIVER=disk "
                            "SDL_DISKAUDIOFILE='" +
                            audio.string() +
                            "' " SKVPLAY_PROGRAM " --window --seconds 7 --input '" VISITOR_INPUT
                            "' --work '" +
                            (dir / "work").string() + "' '" + movie.string() + "'";
    std::string output;
    ASSERT_EQ(skvtest::runCommand(cmd, &output), 0) << output;

    // What the device played: 16-bit stereo frames at 44100 Hz.
    std::ifstream in(audio, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 0u) << "SDL wrote no sound file\n" << output;
    size_t heard = 0;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4)
        if (bytes[i] || bytes[i + 1] || bytes[i + 2] || bytes[i + 3]) ++heard;
    // The chime is 0.4 s long. A fifteenth of a second is less than is heard of it even when
    // the movie stops it as the next frame comes, and more than reaches the file when a stop
    // drops what the device had not yet taken, or when a device in the chime's own format (8-bit
    // mono at 11025 Hz) writes it.
    EXPECT_GE(heard, 44100u / 15) << heard << " non-silent frames of " << bytes.size() / 4;
    fs::remove_all(dir);
}

} // namespace
