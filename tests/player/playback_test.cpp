// Movies played by the real controller and engine on a headless stage under the virtual clock:
// the order of frame events to the end of the score, tempo, jumps, waits, clicks with "pass",
// Ctrl + right click, play while buffering, and two runs giving the same log.
#include "platform/clock.h"
#include "player/controller.h"
#include "player_fixture.h"

using namespace skv;
using namespace skv::test;

namespace {

enum : int32_t { nStart, nEnter, nExit, nStop, nPass, nGo, nDown, nUp };
const std::vector<std::string> kNames = {"startMovie", "enterFrame", "exitFrame", "stopMovie",
                                         "pass",       "go",         "mouseDown", "mouseUp"};

// Movie script 20 with a handler for every frame event.
ScriptSpec frameEventScript() {
    return {20, handler(nStart) + handler(nEnter) + handler(nExit) + handler(nStop)};
}

MovieSpec linearMovie(int frames) {
    MovieSpec m;
    m.names = kNames;
    for (int i = 0; i < frames; ++i)
        m.frames.frame(sprite(1, 40, static_cast<int16_t>(4 * i), 4, 8, 8));
    m.blocks = {{40, 35}};
    return m;
}

HeadlessOptions optionsFor(const MovieSpec& m) {
    HeadlessOptions o;
    o.url = movieFile(m);
    o.limitMs = 120000;
    return o;
}

const std::vector<std::string> kFrameEvents = {"startMovie", "enterFrame", "exitFrame",
                                               "stopMovie",  "frame ",     "status 5007"};

TEST(Playback, FrameEventsRunInOrderAndTheLastFrameStays) {
    MovieSpec m = linearMovie(3);
    m.scripts = {frameEventScript()};
    HeadlessOptions o = optionsFor(m);
    platform::Image last, atEnd, second;
    o.onFrame = [&](skvPlayer& p, int32_t frame) {
        if (frame == 2) second = platform::captureWindow(p.engine()->window());
        if (frame == 3) last = platform::captureWindow(p.engine()->window());
    };
    o.beforeClose = [&](skvPlayer& p) {
        EXPECT_TRUE(p.completed());
        EXPECT_EQ(p.state(), skvPlayer::kStopped);
        atEnd = platform::captureWindow(p.engine()->window());
    };
    HeadlessRun run(o);
    HeadlessResult r = run.run();
    ASSERT_TRUE(r.opened) << r.error;
    EXPECT_EQ(r.playResult, 0);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(
        only(words(run.log().lines()), kFrameEvents),
        (std::vector<std::string>{// 5005: the first frame, drawn quietly, with the movie's start.
                                  "startMovie:movie:20", "frame 1", "enterFrame:movie:20",
                                  // play: the frame again, then the frames in turn.
                                  "frame 1", "exitFrame:movie:20", "frame 2", "enterFrame:movie:20",
                                  "exitFrame:movie:20", "frame 3", "enterFrame:movie:20",
                                  // The end: the last frame is entered once more, the movie stops.
                                  "exitFrame:movie:20", "enterFrame:movie:20", "stopMovie:movie:20",
                                  "status 5007"}));
    ASSERT_GT(last.width, 0);
    EXPECT_EQ(atEnd.pixels, last.pixels) << "the last frame stays on the stage";
    EXPECT_NE(second.pixels, last.pixels);
}

TEST(Playback, ControllerStatesAndStatusCodesReachTheHost) {
    MovieSpec m = linearMovie(2);
    HeadlessRun run(optionsFor(m));
    ASSERT_TRUE(run.run().completed);
    // open -> 1; first frame shown -> 3; play -> 2; the end -> 3; close stops (3); destruction
    // -> 3, 0.
    EXPECT_EQ(
        only(words(run.log().lines()), {"state", "status 5005", "status 5007", "play"}),
        (std::vector<std::string>{"state 1", "state 3", "status 5005", "state 2", "play 0",
                                  "state 3", "status 5007", "state 3", "state 3", "state 0"}));
}

// The virtual time between successive frames past the first advance.
std::vector<uint64_t> frameGaps(const std::vector<std::string>& lines) {
    std::vector<uint64_t> t = timesOf(lines, "frame");
    std::vector<uint64_t> gaps;
    // Lines 0 and 1 are frame 1 shown at 5005 and at play; frame 2 follows at once.
    for (size_t i = 3; i < t.size(); ++i)
        gaps.push_back(t[i] - t[i - 1]);
    return gaps;
}

TEST(Playback, TempoSetsTheFrameIntervalOnTheVirtualClock) {
    // Tempo 8 (the default): 1112 / 8 = 139 ms a frame, the deadline set 10 ms early.
    {
        MovieSpec m = linearMovie(5);
        HeadlessOptions o = optionsFor(m);
        uint32_t interval = 0;
        o.onFrame = [&](skvPlayer& p, int32_t) { interval = p.engine()->frameInterval(); };
        HeadlessRun run(o);
        ASSERT_TRUE(run.run().completed);
        EXPECT_EQ(interval, 139u);
        EXPECT_EQ(frameGaps(run.log().lines()), (std::vector<uint64_t>{129, 129, 129}));
    }
    // Tempo 30 from the first frame's tempo channel: 37 ms.
    {
        MovieSpec m;
        m.names = kNames;
        m.frames.frame(std::vector<Record>{tempo(30)});
        for (int i = 0; i < 4; ++i)
            m.frames.frame(sprite(1, 40, static_cast<int16_t>(i), 0, 4, 4));
        m.blocks = {{40, 35}};
        HeadlessOptions o = optionsFor(m);
        uint32_t interval = 0;
        o.onFrame = [&](skvPlayer& p, int32_t) { interval = p.engine()->frameInterval(); };
        HeadlessRun run(o);
        ASSERT_TRUE(run.run().completed);
        EXPECT_EQ(interval, 37u);
        EXPECT_EQ(frameGaps(run.log().lines()), (std::vector<uint64_t>{27, 27, 27}));
    }
}

std::vector<std::string> framesShown(const std::vector<std::string>& lines) {
    return only(words(lines), {"frame "});
}

TEST(Playback, AHubScoreJumpsWhereTheFrameScriptFieldSays) {
    MovieSpec m;
    m.names = kNames;
    m.hubFrame = 5;
    m.frames.frame(sprite(1, 40, 0, 0, 4, 4));
    m.frames.frame(std::vector<Record>{frameScript(4)}); // frame 2 jumps to 4
    m.frames.frame(std::vector<Record>{frameScript(0)});
    m.frames.frame(std::vector<Record>{frameScript(0)});
    m.frames.frame(std::vector<Record>{frameScript(0)});
    m.blocks = {{40, 35}};
    HeadlessRun run(optionsFor(m));
    ASSERT_TRUE(run.run().completed);
    EXPECT_EQ(framesShown(run.log().lines()),
              (std::vector<std::string>{"frame 1", "frame 1", "frame 2", "frame 4", "frame 5"}));
}

TEST(Playback, GoFromAFrameScriptMovesTheScore) {
    MovieSpec m = linearMovie(5);
    m.frames = FrameString();
    for (int i = 0; i < 5; ++i)
        m.frames.frame(sprite(1, 40, static_cast<int16_t>(i), 0, 4, 4) +
                       std::vector<Record>{frameScript(i == 1 ? 30 : 0)});
    // Leaving frame 2 goes to frame 4; frame 3 is never shown.
    m.scripts = {{31, callWith(nExit, nGo, 4), false, 30}, frameEventScript()};
    HeadlessRun run(optionsFor(m));
    ASSERT_TRUE(run.run().completed);
    const auto ws = words(run.log().lines());
    EXPECT_EQ(only(ws, {"frame "}),
              (std::vector<std::string>{"frame 1", "frame 1", "frame 2", "frame 4", "frame 5"}));
    // The frame script's exitFrame keeps the movie script from seeing it.
    EXPECT_EQ(only(ws, {"exitFrame"}),
              (std::vector<std::string>{"exitFrame:movie:20", "exitFrame:frame:31",
                                        "exitFrame:movie:20", "exitFrame:movie:20"}));
}

// A three-frame movie whose second frame has a waiting tempo byte; the input comes at `input`.
struct WaitRun {
    std::vector<std::string> lines;
    uint64_t second = 0, third = 0; // when frames 2 and 3 were shown
};

WaitRun runWait(uint8_t tempoByte, const std::string& script, bool keyboardElsewhere = false) {
    MovieSpec m = linearMovie(3);
    m.frames = FrameString();
    m.frames.frame(sprite(1, 40, 0, 0, 8, 8));
    m.frames.frame(std::vector<Record>{tempo(tempoByte), {at(2, 10), le16(8)}});
    m.frames.frame(std::vector<Record>{tempo(8), {at(2, 10), le16(16)}});
    HeadlessOptions o = optionsFor(m);
    std::string err;
    EXPECT_TRUE(platform::parseInputScript(script, &o.input, &err)) << err;
    // As when the person has been typing elsewhere on the page: the stage does not have the keys.
    if (keyboardElsewhere) o.afterPlay = [](skvPlayer&) { SetFocus(nullptr); };
    HeadlessRun run(o);
    HeadlessResult r = run.run();
    EXPECT_TRUE(r.completed);
    WaitRun w;
    w.lines = run.log().lines();
    // Times from the start of the input script.
    const uint64_t input = timesOf(w.lines, "note").at(0);
    std::vector<uint64_t> t = timesOf(w.lines, "frame");
    EXPECT_EQ(t.size(), 4u) << ::testing::PrintToString(w.lines);
    if (t.size() >= 4) w.second = t[2] - input, w.third = t[3] - input;
    return w;
}

TEST(Playback, WaitForAClickIsReleasedByAClickOrAKey) {
    WaitRun click = runWait(128, "1000 click 60 40\n");
    EXPECT_LT(click.second, 10u);
    EXPECT_EQ(click.third, 1000u);
    WaitRun key = runWait(128, "1500 key space\n");
    EXPECT_EQ(key.third, 1500u);
    // A right click does not release it; the left one later does.
    WaitRun right = runWait(128, "500 click 60 40 right\n2500 click 60 40\n");
    EXPECT_EQ(right.third, 2500u);
}

TEST(Playback, AClickOnTheStageGivesItTheKeyboard) {
    // The right click does not release the wait, but the key after it reaches the stage.
    WaitRun w = runWait(128, "1000 click 60 40 right\n1500 key space\n", true);
    EXPECT_EQ(w.third, 1500u);
}

TEST(Playback, ADelayOfFiftySixSecondsIsNotShortenedByClicks) {
    WaitRun w = runWait(200, "1000 click 60 40\n+1000 key space\n30000 click 60 40\n");
    EXPECT_GE(w.third - w.second, 56000u);
    EXPECT_LT(w.third - w.second, 56000u + 20u);
}

TEST(Playback, PassCarriesAClickThroughSpriteCastFrameAndMovieScripts) {
    MovieSpec m;
    m.names = kNames;
    // Sprite 1: member 40 at (0, 0) 16 x 16 with sprite script 3; frame script 5. The frame
    // holds for six seconds (tempo byte 250) so the click lands on it.
    m.frames.frame(sprite(1, 40, 0, 0, 16, 16, 3) +
                   std::vector<Record>{frameScript(5), tempo(250)});
    m.frames.frame(std::vector<Record>{tempo(8)});
    m.blocks = {{40, 35}};
    m.scripts = {{10, handler(nUp, nPass) + handler(nDown), false, 3},
                 {11, handler(nUp, nPass), false, 40},
                 {12, handler(nUp, nPass) + handler(nDown, nPass), false, 5},
                 {20, handler(nUp) + handler(nDown)}};
    HeadlessOptions o = optionsFor(m);
    std::string err;
    ASSERT_TRUE(platform::parseInputScript("500 click 5 5\n800 click 40 40\n", &o.input, &err));
    HeadlessRun run(o);
    ASSERT_TRUE(run.run().completed);
    EXPECT_EQ(only(words(run.log().lines()), {"mouse"}),
              (std::vector<std::string>{
                  // On the sprite: its script takes the press, and passes the release on.
                  "mouseDown:sprite:10", "mouseUp:sprite:10:cast:11:frame:12:movie:20",
                  // Off it: the frame script, then the movie.
                  "mouseDown:frame:12:movie:20", "mouseUp:frame:12:movie:20"}));
}

TEST(Playback, CtrlRightClickEndsPlaybackAsTheEndOfTheMovieDoes) {
    MovieSpec m = linearMovie(40);
    m.scripts = {frameEventScript()};
    HeadlessOptions o = optionsFor(m);
    std::string err;
    // A right click alone does nothing; with Ctrl held it ends the movie.
    ASSERT_TRUE(platform::parseInputScript("300 click 60 40 right\n1000 click 60 40 right ctrl\n",
                                           &o.input, &err));
    HeadlessRun run(o);
    HeadlessResult r = run.run();
    ASSERT_TRUE(r.completed);
    const auto lines = run.log().lines();
    const uint64_t play = timesOf(lines, "note").at(0);
    const std::vector<std::string> ws = words(lines);
    EXPECT_EQ(only(ws, {"stopMovie"}).size(), 0u) << "ended by the user, not by the score";
    const auto frames = only(ws, {"frame "});
    EXPECT_LT(frames.size(), 15u);
    std::vector<uint64_t> ends;
    for (const std::string& l : lines)
        if (l.find("\"status\":5007") != std::string::npos)
            ends.push_back(std::stoull(l.substr(5)));
    ASSERT_EQ(ends.size(), 1u);
    // The click is handled between frames: within one frame interval.
    EXPECT_GE(ends[0] - play, 1000u);
    EXPECT_LT(ends[0] - play, 1000u + 139u);
}

TEST(Playback, PlayWhileBufferingIsRefusedAndChangesNothing) {
    MovieSpec m = linearMovie(2);
    const std::string url = optionsFor(m).url;
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "SkvPlayerTestPage";
        return RegisterClassA(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
    skv::platform::setVirtualClock(true, 1000000);
    skv::platform::selectDisplay(skv::platform::DisplayBackend::Headless);
    auto pump = [] {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    };
    HWND page = CreateWindowExA(0, "SkvPlayerTestPage", "page", WS_VISIBLE, 0, 0, 200, 200, nullptr,
                                nullptr, nullptr, nullptr);
    {
        EventLog log; // outlives the player, which reports its last states to it
        skvPlayer player(page, 200, 200);
        player.setHostCallback(&log);
        {
            // The engine cannot act on the stream's statuses while this thread holds its lock,
            // so the player is still buffering when play comes.
            NMTX_SCOPED(guard, player.engine()->viewMutex());
            EXPECT_EQ(player.open(url.c_str()), 0);
            EXPECT_EQ(player.play(), skvPlayer::kStillBuffering);
            EXPECT_EQ(player.state(), skvPlayer::kBuffering);
        }
        // Once the first frame is shown the same call plays.
        for (int i = 0; i < 10000 && player.state() != skvPlayer::kStopped; ++i) {
            pump();
            Sleep(1);
        }
        ASSERT_EQ(player.state(), skvPlayer::kStopped);
        EXPECT_EQ(player.play(), 0);
        EXPECT_EQ(player.state(), skvPlayer::kPlaying);
        EXPECT_EQ(player.play(), skvPlayer::kAlreadyPlaying);
        player.close();
        pump();
    }
    DestroyWindow(page);
    pump();
    skv::platform::setVirtualClock(false);
    skv::platform::leaveVirtualClock();
}

TEST(Playback, TwoRunsOfAMovieInOneProcessGiveTheSameLog) {
    MovieSpec m = linearMovie(4);
    m.scripts = {frameEventScript()};
    HeadlessOptions o = optionsFor(m);
    std::string err;
    ASSERT_TRUE(platform::parseInputScript("200 click 5 5\n", &o.input, &err));
    std::vector<std::string> first, second;
    {
        HeadlessRun run(o);
        ASSERT_TRUE(run.run().completed);
        first = only(words(run.log().lines()), kFrameEvents);
    }
    {
        HeadlessRun run(o);
        ASSERT_TRUE(run.run().completed);
        second = only(words(run.log().lines()), kFrameEvents);
    }
    EXPECT_EQ(first, second);
    EXPECT_FALSE(first.empty());
}

} // namespace
