// What a page's embed shows before its movie plays, and embeds that name the movie itself, with
// skvplay headless on the virtual clock: the "BUFFERING" picture on the stage from the window's
// set-up until the first frame, and a movie delivered as the embed source, from a file beside
// the page and from qmsd over HTTP.
#include <gtest/gtest.h>
#include <png.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/splash.h"
#include "program_run.h"

namespace fs = std::filesystem;

namespace {

int run(const std::vector<std::string>& args, std::string* output,
        const std::string& tmpDir = std::string()) {
    std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY ";
    if (!tmpDir.empty()) cmd += "TMPDIR='" + tmpDir + "' ";
    return skvtest::runCommand(cmd + skvtest::commandLine(SKVPLAY_PROGRAM, args), output);
}

using skvtest::readAll;

// A PNG's pixels as 0xRRGGBB, rows from the top.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

Picture readPng(const fs::path& path) {
    Picture p;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return p;
    }
    p.width = static_cast<int>(image.width);
    p.height = static_cast<int>(image.height);
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        p.pixels.push_back(uint32_t{rgb[i]} << 16 | uint32_t{rgb[i + 1]} << 8 | rgb[i + 2]);
    return p;
}

// The module's splash as the stage shows it in a window of w x h: centred, white around it.
Picture splashOnStage(int w, int h) {
    Picture p;
    p.width = w;
    p.height = h;
    p.pixels.assign(static_cast<size_t>(w) * h, 0xFFFFFF);
    const auto splash = skv::plugin::loadBufferingPicture();
    if (!splash) return p;
    const int left = w / 2 - splash->width() / 2, top = h / 2 - splash->height() / 2;
    for (int y = 0; y < splash->height(); ++y)
        for (int x = 0; x < splash->width(); ++x) {
            const RGBQUAD& c = splash->colours()[*splash->pixelAt(x, y)];
            p.pixels[static_cast<size_t>(top + y) * w + left + x] =
                uint32_t{c.rgbRed} << 16 | uint32_t{c.rgbGreen} << 8 | c.rgbBlue;
        }
    return p;
}

class Buffering : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("skvplay_buffering_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    // The demo under a name of this run's own in `folder`: the plug-in caches a movie beside
    // itself under the name of its address, so runs side by side must not share one.
    std::string movieIn(const fs::path& folder, const std::string& tag) {
        fs::create_directories(folder);
        const std::string name = tag + std::to_string(getpid()) + ".skm";
        fs::copy_file(DEMO_MOVIE, folder / name, fs::copy_options::overwrite_existing);
        return name;
    }
    void page(const fs::path& file, const std::string& src) {
        std::ofstream(file) << "<html><body><embed src=\"" << src
                            << "\" width=320 height=240></body></html>\n";
    }
    // Plays headless; the exit status, with the frames and the log under `name`.
    int play(const std::string& target, const std::string& name, std::string* out,
             const std::string& tmpDir = std::string()) {
        return run({"--headless", "--max-frames", "4", "--frames", (dir / name).string(), "--log",
                    (dir / (name + ".jsonl")).string(), target},
                   out, tmpDir);
    }
    void expectSameFrames(const std::string& a, const std::string& b) {
        for (int i = 1; i <= 4; ++i) {
            char file[32];
            std::snprintf(file, sizeof file, "frame-%05d.png", i);
            ASSERT_TRUE(fs::exists(dir / a / file)) << a << "/" << file;
            EXPECT_EQ(readAll(dir / a / file), readAll(dir / b / file)) << file;
        }
    }
    fs::path dir;
};

} // namespace

TEST_F(Buffering, TheSplashIsOnTheStageBeforeTheFirstFrame) {
    const std::string movie = movieIn(dir, "s");
    std::ofstream(dir / "pointer.skm", std::ios::binary)
        << "file:" << (dir / movie).string() << "\r\n";
    page(dir / "page.html", "pointer.skm");
    std::string out;
    ASSERT_EQ(play((dir / "page.html").string(), "run", &out), 0) << out;
    const std::string log = readAll(dir / "run.jsonl");
    ASSERT_NE(log.find("\"splash\""), std::string::npos) << out;
    EXPECT_LT(log.find("\"splash\""), log.find("\"frame\"")) << out;
    // The picture saved as the splash was shown: the module's bitmap, centred on white, in the
    // stage the embed asked for.
    const Picture shown = readPng(dir / "run" / "splash.png");
    ASSERT_EQ(shown.width, 320);
    ASSERT_EQ(shown.height, 240);
    EXPECT_TRUE(shown.pixels == splashOnStage(320, 240).pixels);
    // Not a blank stage either: the word's ink is there.
    EXPECT_NE(std::count(shown.pixels.begin(), shown.pixels.end(), 0xFFFFFFu),
              static_cast<long>(shown.pixels.size()));
}

TEST_F(Buffering, TheSplashStaysWhenTheEmbedSourceNamesNoMovie) {
    std::ofstream(dir / "empty.skm", std::ios::binary) << "\r\n";
    page(dir / "page.html", "empty.skm");
    std::string out;
    EXPECT_EQ(run({"--headless", "--seconds", "2", "--frames", (dir / "run").string(),
                   (dir / "page.html").string()},
                  &out),
              4)
        << out;
    const Picture shown = readPng(dir / "run" / "splash.png");
    ASSERT_EQ(shown.width, 320) << out;
    EXPECT_TRUE(shown.pixels == splashOnStage(320, 240).pixels);
}

TEST_F(Buffering, AnEmbedNamingTheMovieItselfPlaysAsItsPointerFileDoes) {
    const std::string movie = movieIn(dir, "e");
    std::ofstream(dir / "pointer.skm", std::ios::binary)
        << "file:" << (dir / movie).string() << "\r\n";
    page(dir / "direct.html", movie);
    page(dir / "pointer.html", "pointer.skm");
    std::string out;
    ASSERT_EQ(play((dir / "direct.html").string(), "direct", &out), 0) << out;
    ASSERT_EQ(play((dir / "pointer.html").string(), "pointer", &out), 0) << out;
    expectSameFrames("direct", "pointer");
}

TEST_F(Buffering, AMoviePageServedOverHttpPlaysTheMovieItNames) {
    const fs::path site = dir / "served" / "site";
    const std::string movie = movieIn(site, "h");
    page(site / "page.html", movie);
    const fs::path portFile = dir / "ports";
    const pid_t server = fork();
    if (server == 0) {
        execl(QMSD_PROGRAM, QMSD_PROGRAM, "--port", "0", "--http-port", "0", "--bind", "127.0.0.1",
              "--quiet", "--port-file", portFile.c_str(), (dir / "served").c_str(), nullptr);
        _exit(127);
    }
    ASSERT_GT(server, 0);
    // The port file appears whole once the server listens; waiting on it, not on time.
    unsigned httpPort = 0;
    for (int i = 0; i < 2000 && httpPort == 0; ++i) {
        std::ifstream in(portFile);
        std::string word;
        unsigned port = 0;
        while (in >> word >> port)
            if (word == "http") httpPort = port;
        if (httpPort == 0) usleep(5000);
    }
    ASSERT_NE(httpPort, 0u);
    // The plug-in's copy of the delivered movie goes where this test can see that it went.
    fs::create_directories(dir / "tmp");
    std::string out;
    const int served = play("http://127.0.0.1:" + std::to_string(httpPort) + "/xsite/page.html",
                            "http", &out, (dir / "tmp").string());
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    ASSERT_EQ(served, 0) << out;
    EXPECT_TRUE(fs::is_empty(dir / "tmp")) << fs::directory_iterator(dir / "tmp")->path();
    ASSERT_EQ(play((site / movie).string(), "file", &out), 0) << out;
    expectSameFrames("http", "file");
}
