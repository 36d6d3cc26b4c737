// Page, text and preload requests made through the instance forwarder while a movie plays, with
// skvplay's Browser as the browser: fetched through URL notification, delivered as stream files.
#include <filesystem>
#include <fstream>

#include "browser.h"
#include "platform/clock.h"
#include "plugin_fixture.h"

using namespace skvtest;
namespace fs = std::filesystem;

namespace {

class NetOps : public ::testing::Test {
protected:
    void SetUp() override {
        skv::platform::selectDisplay(skv::platform::DisplayBackend::Headless);
        skv::platform::setVirtualClock(true, 1000000);
        dir = fs::temp_directory_path() / ("skv_netops_" + std::to_string(getpid()));
        fs::create_directories(dir);
        // A movie name of this process's own: the plug-in caches movies beside itself by name.
        const fs::path movie = dir / ("n" + std::to_string(getpid()) + ".skm");
        fs::copy_file(DEMO_MOVIE, movie);
        std::ofstream(dir / "movie.skm", std::ios::binary) << "file:" << movie.string() << "\r\n";
        std::ofstream(dir / "one.txt", std::ios::binary) << "first text";
        std::ofstream(dir / "two.txt", std::ios::binary) << "second text";
        installObserver(&observer);
    }
    void TearDown() override {
        browser.reset();
        installObserver(nullptr);
        skv::platform::setVirtualClock(false);
        fs::remove_all(dir);
    }
    void open(bool oldBrowser = false, bool untilPlaying = true) {
        skvplay::BrowserOptions o;
        o.pluginName = PLUGIN_MODULE;
        o.oldBrowser = oldBrowser;
        o.streamDir = (dir / "streams").string();
        browser = std::make_unique<skvplay::Browser>(o);
        std::string error;
        ASSERT_TRUE(browser->loadPlugin(&error)) << error;
        skvplay::EmbedElement e;
        e.attributes = {{"src", "movie.skm"}, {"type", "application/vnd.skyvora"}};
        ASSERT_TRUE(browser->openPage({e}, dir.string(), &error)) << error;
        if (untilPlaying) {
            ASSERT_TRUE(pumpUntil([&] { return observer.playing.load(); }));
        }
    }
    // Runs the browser's thread until `done` holds (at most 60 s of virtual time).
    template <typename F> bool pumpUntil(F done) {
        const uint64_t until = skv::platform::clockNowMs() + 60000;
        while (!done()) {
            pumpOnce();
            if (skv::platform::clockNowMs() >= until) return done();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return true;
    }
    void pumpOnce() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    void dispatchOnly() { pumpOnce(); }

    fs::path dir;
    RecordingObserver observer;
    std::unique_ptr<skvplay::Browser> browser;
};

} // namespace

TEST_F(NetOps, TextRequestsReturnTheLaterFetchedText) {
    open();
    skv::BrowserLink* link = observer.link.load();
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->getLatestNetID(), 0); // the embed source's stream
    EXPECT_EQ(link->netDone(9), 1);       // never issued
    const int32_t first = link->getNetText((dir / "one.txt").c_str());
    EXPECT_EQ(first, 1);
    // Until the browser has opened the stream, the latest id is still the embed source's.
    EXPECT_EQ(link->getLatestNetID(), 0);
    ASSERT_TRUE(pumpUntil([&] {
        browser->runPendingRequests();
        return link->getLatestNetID() == first && link->netDone(first) == 1;
    }));
    ASSERT_NE(link->netTextResult(-1), nullptr);
    EXPECT_STREQ(link->netTextResult(-1), "first text");

    const int32_t second = link->getNetText("two.txt"); // relative to the page
    EXPECT_EQ(second, 2);
    ASSERT_TRUE(pumpUntil([&] {
        browser->runPendingRequests();
        return link->netDone(second) == 1 && link->getLatestNetID() == second;
    }));
    EXPECT_STREQ(link->netTextResult(-1), "second text");
    EXPECT_STREQ(link->netTextResult(first), "first text");
}

TEST_F(NetOps, ATextFetchedWhileTheMovieStartsIsAScriptsTextNotTheEmbedSource) {
    skv::platform::clearMessageBoxes();
    open(false, false);
    skv::BrowserLink* link = observer.link.load();
    ASSERT_NE(link, nullptr);
    // Asked for before the movie plays, as a startMovie handler would; it arrives at once.
    const int32_t id = link->getNetText((dir / "one.txt").c_str());
    ASSERT_TRUE(pumpUntil([&] {
        browser->runPendingRequests();
        return link->netDone(id) == 1 && link->getLatestNetID() == id;
    }));
    EXPECT_FALSE(observer.playing.load()) << "the text was to come while the movie starts";
    ASSERT_TRUE(pumpUntil([&] { return observer.playing.load(); }));
    ASSERT_NE(link->netTextResult(id), nullptr);
    EXPECT_STREQ(link->netTextResult(id), "first text");
    EXPECT_TRUE(skv::platform::messageBoxes().empty());
}

TEST_F(NetOps, PageIsReplacedOnlyAfterItsFetch) {
    open();
    skv::BrowserLink* link = observer.link.load();
    ASSERT_NE(link, nullptr);
    const std::string page = (dir / "one.txt").string();
    const int32_t id = link->gotoNetPage(page.c_str());
    dispatchOnly(); // the plug-in window asks the browser; nothing is fetched yet
    EXPECT_TRUE(browser->pageRequests().empty());
    EXPECT_EQ(link->netDone(id), 1); // no stream recorded yet: unknown ids count as done
    ASSERT_TRUE(browser->runPendingRequests());
    ASSERT_EQ(browser->pageRequests().size(), 1u);
    EXPECT_EQ(browser->pageRequests()[0], page);
    EXPECT_EQ(link->getLatestNetID(), id);
    EXPECT_EQ(link->netDone(id), 1);
}

TEST_F(NetOps, FailedFetchCompletesWithoutAStream) {
    open();
    skv::BrowserLink* link = observer.link.load();
    const int32_t id = link->preloadNetThing((dir / "absent.bin").c_str());
    dispatchOnly();
    ASSERT_TRUE(browser->runPendingRequests());
    EXPECT_EQ(link->getLatestNetID(), id - 1);
    EXPECT_EQ(link->netDone(id), 1);
    EXPECT_EQ(link->netTextResult(-1), nullptr);
}

TEST_F(NetOps, OldBrowserStartsNoRequest) {
    open(true);
    skv::BrowserLink* link = observer.link.load();
    const int32_t id = link->getNetText((dir / "one.txt").c_str());
    dispatchOnly();
    EXPECT_FALSE(browser->runPendingRequests());
    EXPECT_EQ(link->netDone(id), 1);
    EXPECT_EQ(link->getLatestNetID(), 0);
}
