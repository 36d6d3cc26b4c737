// skvc build: what a movie source turns into, and what a wrong one says.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "buildcmd.h"
#include "core/classids.h"
#include "core/guid.h"
#include "gfx/palette.h"
#include "gfx/sprite.h"
#include "movie/scorelet.h"
#include "movie/spriteenabler.h"
#include "net/ratemap.h"
#include "script/runtime.h"
#include "script/script.h"
#include "skvc_build_util.h"

namespace skvc::test {
namespace {

class BuildTest : public ::testing::Test {
protected:
    void SetUp() override { registerAll(); }
};

const char* kTwoFrames = R"([movie]
stage = [200, 100]
tempo = 5

[[member]]
number = 1
name = "dots"
type = "bitmap"
file = "a.bmp"

[[sprite]]
sprite = 3
member = "dots"
keys = [{ frame = 1, at = [0, 10] }, { frame = 5, at = [40, 30] }, { frame = 7, at = [40, 30] }]
ink = "matte"
)";

TEST_F(BuildTest, KeyedSpriteMovesLinearlyAndHoldsAfterItsLastKey) {
    ReadBack r = readBack(buildMovie(sourceWith(kTwoFrames)));
    auto* score = r.find<skv::skvScore>(skv::CLSID_skvScore);
    ASSERT_NE(score, nullptr);
    int32_t w = 0, h = 0;
    score->stageSize(&w, &h);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 100);
    EXPECT_EQ(score->defaultTempo(), 5);
    const int expectLeft[] = {0, 10, 20, 30, 40, 40, 40};
    const int expectTop[] = {10, 15, 20, 25, 30, 30, 30};
    for (int f = 1; f <= 7; ++f) {
        ASSERT_EQ(score->goToFrame(f), 1) << f;
        const skv::SpriteChannel& c = (*score->currentImage())[4];
        EXPECT_EQ(c.castNumber(), 1);
        EXPECT_EQ(c.left(), expectLeft[f - 1]) << "frame " << f;
        EXPECT_EQ(c.top(), expectTop[f - 1]) << "frame " << f;
        EXPECT_EQ(c.ink(), 8);
        EXPECT_EQ(c.width(), 4);
        EXPECT_EQ(c.height(), 2);
    }
    EXPECT_EQ(score->goToFrame(8), 0) << "the score has seven frames";
}

TEST_F(BuildTest, ControlSettingsApplyOnlyToTheFramesTheyName) {
    std::string m = std::string(kTwoFrames) + R"(
[[frame]]
frame = 2
tempo = 30
transition = { effect = 7, chunk = 3, duration = 2 }

[[frame]]
frames = [3, 4]
wait = 2
palette = -3
)";
    ReadBack r = readBack(buildMovie(sourceWith(m)));
    auto* score = r.find<skv::skvScore>(skv::CLSID_skvScore);
    ASSERT_NE(score, nullptr);
    score->goToFrame(1);
    EXPECT_EQ(score->currentImage()->tempoByte(), 0);
    score->goToFrame(2);
    EXPECT_EQ(score->currentImage()->tempoByte(), 30);
    EXPECT_EQ(score->currentImage()->transitionEffect(), 7);
    EXPECT_EQ(score->currentImage()->chunkSize(), 3);
    EXPECT_EQ(score->currentImage()->transitionDuration(), 2);
    for (int f = 3; f <= 4; ++f) {
        score->goToFrame(f);
        EXPECT_EQ(score->currentImage()->tempoByte(), 254);
        EXPECT_EQ(score->currentImage()->transitionEffect(), 0);
        EXPECT_EQ(score->currentImage()->paletteNumber(), -3);
    }
    score->goToFrame(5);
    EXPECT_EQ(score->currentImage()->paletteNumber(), 0);
}

TEST_F(BuildTest, ScriptsNamesLabelsAndCastNamesReachTheRuntime) {
    MemorySource s = sourceWith(std::string(kTwoFrames) + R"(
[[member]]
number = 9
type = "script"
file = "m.sks"
attach = "movie"

[[member]]
number = 8
type = "script"
file = "d.sks"
attach = "member"
member = "dots"

[[frame]]
frame = 3
label = "middle"

[[frame]]
frame = 1
label = "start"
)");
    s.add("m.sks",
          ".literal text \"#notAName ; nor this\"\n.handler #startMovie ; #comment\n  ret\n");
    s.add("d.sks", ".handler #mouseUp\n  pushSymbol #startMovie\n  ret\n");
    ReadBack r = readBack(buildMovie(s));
    auto* rt = r.find<skv::skvScriptRuntime>(skv::CLSID_skvScriptRuntime);
    ASSERT_NE(rt, nullptr);
    EXPECT_EQ(rt->noScripts, 0);
    const skv::ScriptEngine& e = *rt->engine;
    // Scripts are taken in member-number order, so 8's names come first.
    ASSERT_EQ(e.names.names(), (std::vector<std::string>{"mouseUp", "startMovie"}));
    ASSERT_EQ(e.scripts.size(), 2u);
    EXPECT_EQ(e.scripts[0].key, 1);
    EXPECT_EQ(e.scripts[0].scriptRef, 8);
    EXPECT_EQ(e.scripts[0].isMovieScript, 0);
    EXPECT_EQ(e.scripts[1].key, 9);
    EXPECT_EQ(e.scripts[1].isMovieScript, 1);
    EXPECT_EQ(e.labels.frameOfLabel("START"), 1);
    EXPECT_EQ(e.labels.frameOfLabel("middle"), 3);
    EXPECT_EQ(e.labels.marker(-1, 3), 1);
    EXPECT_EQ(e.castNames.castNumberOf("dots"), 1);
    auto* movieScript = r.find<skv::skvScript>(skv::memberGuid(9));
    ASSERT_NE(movieScript, nullptr);
    EXPECT_EQ(movieScript->findHandler(1), 0) << "#startMovie became nameId 1";
}

TEST_F(BuildTest, HubScoreCarriesScoreletsActionsAndEnablersAfterTheirMember) {
    MemorySource s = sourceWith(R"([movie]
hub = 2
frames = 12

[[member]]
number = 1
type = "bitmap"
file = "a.bmp"

[[member]]
number = 2
type = "bitmap"
file = "a.bmp"

[[sprite]]
sprite = 2
member = 2
frames = [10, 12]

[[sprite]]
sprite = 2
member = 1
frame = 1
trigger = 10

[[frame]]
frame = 6
jump = 2
actions = [{ hide = 1 }, { stop = 10 }]

[[scorelet]]
mode = "once"
start = 10
pause = [3, 4]

[[scorelet]]
mode = "auto"
start = 3
active = true

[[enabler]]
trigger = 10
after = 2
)");
    std::vector<uint8_t> stream = buildMovie(s);
    ReadBack r = readBack(stream);
    auto* score = r.find<skv::skvScore>(skv::CLSID_skvScore);
    ASSERT_NE(score, nullptr);
    EXPECT_EQ(score->hubFrame(), 2);
    ASSERT_EQ(score->scoreletCount(), 2);
    EXPECT_EQ(score->scoreletAt(0)->mode, skv::skvScorelet::kOneShot);
    EXPECT_EQ(score->scoreletAt(0)->startFrame, 10);
    EXPECT_EQ(score->scoreletAt(0)->pauseList, (std::vector<int32_t>{3, 4}));
    EXPECT_EQ(score->scoreletAt(1)->active, 1);
    const auto& a = score->frameActions().entries();
    ASSERT_EQ(a.size(), 3u);
    EXPECT_TRUE(a[0].isMarker());
    EXPECT_EQ(a[0].value(), 6);
    EXPECT_EQ(a[1].kind & 3, 2);
    EXPECT_EQ(a[1].value(), -1);
    EXPECT_EQ(a[2].kind & 3, 1);
    EXPECT_EQ(a[2].value(), 10);
    score->goToFrame(1);
    EXPECT_EQ((*score->currentImage())[3].scriptNumber(), 10);
    score->goToFrame(6);
    EXPECT_EQ(score->currentImage()->frameScript(), 2);
    // Member 1 is needed on frame 1, member 2 on frame 10; the enabler follows member 2.
    std::vector<std::string> order;
    for (auto& o : r.objects)
        order.push_back(skv::classNameOf(o->classId) + std::string(":") +
                        std::to_string(o->objectId.Data1 & 0xFF));
    ASSERT_GE(order.size(), 7u);
    EXPECT_EQ(order[0], "skvScore:150");
    EXPECT_EQ(order[3], "NSprite:1");
    EXPECT_EQ(order[4], "NSprite:2");
    EXPECT_EQ(std::string(skv::classNameOf(r.objects[5]->classId)), "skvSpriteEnabler");
    EXPECT_EQ(std::string(skv::classNameOf(r.objects[6]->classId)), "NTrailer");
}

TEST_F(BuildTest, SameSourceSameBytesAndAChangedSourceAnotherIdentifier) {
    const std::vector<uint8_t> a = buildMovie(sourceWith(kTwoFrames));
    const std::vector<uint8_t> b = buildMovie(sourceWith(kTwoFrames));
    EXPECT_EQ(a, b);
    std::string other = kTwoFrames;
    other.replace(other.find("tempo = 5"), 9, "tempo = 6");
    const std::vector<uint8_t> c = buildMovie(sourceWith(other));
    ASSERT_GE(c.size(), 32u);
    EXPECT_NE(std::vector<uint8_t>(a.begin() + 8, a.begin() + 24),
              std::vector<uint8_t>(c.begin() + 8, c.begin() + 24));
    std::string fixed =
        std::string(kTwoFrames)
            .replace(0, 8, "[movie]\nid = \"01020304-0506-0708-090a-0b0c0d0e0f10\"\nversion = 3\n");
    const std::vector<uint8_t> d = buildMovie(sourceWith(fixed));
    EXPECT_EQ(d[8], 0x04);
    EXPECT_EQ(d[24], 3);
}

TEST_F(BuildTest, EveryObjectReadsBackAndWritesAgainIdentically) {
    MemorySource s = sourceWith(std::string(kTwoFrames) + R"(
[[member]]
number = 2
type = "palette"
colours = ["#FF0000", "#00ff00"]

[[member]]
number = 3
type = "bitmap"
file = "a.bmp"
depth = 1

[[member]]
number = 4
type = "bitmap"
file = "a.bmp"
jpeg = 50
)");
    RoundTripResult r = roundTrip(buildMovie(s));
    EXPECT_TRUE(r.ok) << r.problem;
    EXPECT_EQ(r.objects, 8u);
    EXPECT_EQ(r.jpegBitmaps, 1u);
}

TEST_F(BuildTest, RateMapCoversEverySecondAndCanBeGiven) {
    ReadBack r = readBack(buildMovie(sourceWith(kTwoFrames)));
    auto* map = r.find<skv::skvRateMap>(skv::CLSID_skvRateMap);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->count, 2) << "7 frames at 5 per second";
    EXPECT_GT(map->entries[0], 32);
    std::string given = std::string(kTwoFrames) + "\n[ratemap]\nentries = [100, 200, 300]\n";
    ReadBack g = readBack(buildMovie(sourceWith(given)));
    map = g.find<skv::skvRateMap>(skv::CLSID_skvRateMap);
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->count, 3);
    EXPECT_EQ(map->entries[2], 300);
}

struct BadSource {
    const char* name;
    std::string manifestTail; // appended to kTwoFrames
    std::string expect;       // a part of the error text
};

class BadSourceTest : public BuildTest, public ::testing::WithParamInterface<BadSource> {};

TEST_P(BadSourceTest, NamesFileLineAndField) {
    const BadSource& b = GetParam();
    MemorySource s = sourceWith(std::string(kTwoFrames) + b.manifestTail);
    s.add("bad.sks", ".handler #x\n  ret\n  frobnicate 3\n");
    const std::string text = buildError(s);
    EXPECT_NE(text.find(b.expect), std::string::npos) << "got: " << text;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, BadSourceTest,
    ::testing::Values(
        BadSource{"depth",
                  "[[member]]\nnumber = 2\ntype = \"bitmap\"\nfile = \"a.bmp\"\ndepth = 3\n",
                  "movie.toml:20: member[2].depth: must be 1, 4 or 8"},
        BadSource{"unknown_field",
                  "[[member]]\nnumber = 2\ntype = \"bitmap\"\nfile = \"a.bmp\"\ncolour = 3\n",
                  "movie.toml:20: member[2].colour: unknown field"},
        BadSource{"missing_file",
                  "[[member]]\nnumber = 2\ntype = \"bitmap\"\nfile = \"nope.png\"\n",
                  "movie.toml:19: member[2].file: cannot open 'nope.png'"},
        BadSource{"escape", "[[member]]\nnumber = 2\ntype = \"bitmap\"\nfile = \"../x.png\"\n",
                  "member[2].file: '../x.png' is not a file inside the source directory"},
        BadSource{"no_such_member", "[[sprite]]\nsprite = 4\nmember = \"ghost\"\nframe = 1\n",
                  "movie.toml:18: sprite[2].member: no member is named 'ghost'"},
        BadSource{"overlap", "[[sprite]]\nsprite = 3\nmember = 1\nframes = [6, 9]\n",
                  "sprite[2].sprite: sprite 3 is already used on frame 6"},
        BadSource{"syntax", "[[sprite]\n", "movie.toml:16: "},
        BadSource{
            "script",
            "[[member]]\nnumber = 5\ntype = \"script\"\nfile = \"bad.sks\"\nattach = \"movie\"\n",
            "bad.sks:3: "},
        BadSource{"duplicate", "[[member]]\nnumber = 1\ntype = \"bitmap\"\nfile = \"a.bmp\"\n",
                  "member[2].number: member 1 is already declared at line 6"},
        BadSource{"not_a_script", "[[frame]]\nframe = 1\nscript = 1\n",
                  "frame[1].script: must name a script member"},
        BadSource{"hub", "[[scorelet]]\nmode = \"auto\"\nstart = 3\n",
                  "scorelets play over a hub score"}),
    [](const ::testing::TestParamInfo<BadSource>& i) { return std::string(i.param.name); });

// A sprite script (member 8, defining helper), a movie script m.sks (member 9) and a movie
// script declared after it (member 10, defining later), beside kTwoFrames.
MemorySource withScripts(const std::string& movieScript,
                         const std::string& lastScript = ".handler #later\n  ret\n") {
    MemorySource s = sourceWith(std::string(kTwoFrames) + R"(
[[member]]
number = 10
type = "script"
file = "n.sks"
attach = "movie"

[[member]]
number = 9
type = "script"
file = "m.sks"
attach = "movie"

[[member]]
number = 8
type = "script"
file = "s.sks"
attach = "sprite"
)");
    s.add("s.sks", ".handler #helper\n  ret\n");
    s.add("m.sks", movieScript);
    s.add("n.sks", lastScript);
    return s;
}

TEST_F(BuildTest, ACallByNameMustReachAMovieHandlerOrABuiltin) {
    // A later movie script's handler, a name the interpreter answers, a built-in; symbols and
    // globals may be any word; .extern lets a call that is meant to fail through.
    EXPECT_EQ(buildError(withScripts(".extern noSuchHandler\n"
                                     ".handler #startMovie\n"
                                     "  argListNoResult 0\n  callExternal #later\n"
                                     "  pushSymbol #fadeIn\n  pushSymbol #sprite\n"
                                     "  argListNoResult 2\n  callExternal #beep\n"
                                     "  pushGlobal #anyWord\n  popGlobal #anyWord\n"
                                     "  argListNoResult 0\n  callExternal #noSuchHandler\n"
                                     "  argListNoResult 0\n  callExternal #return\n")),
              "");

    const struct {
        std::string script, error;
    } cases[] = {
        {".handler #startMovie\n  argListNoResult 0\n  callExternal #beeep\n",
         "m.sks:3: 'beeep' is no handler of a movie script and no built-in; did you mean beep?"},
        {".handler #startMovie\n  argListNoResult 0\n  callExternal #zzzzzz\n",
         "m.sks:3: 'zzzzzz' is no handler of a movie script and no built-in: write the handler "
         "in a script with attach = \"movie\""},
        {".handler #startMovie\n  argListNoResult 0\n  callExternal #helper\n",
         "m.sks:3: 'helper' is a handler of the sprite or frame script 8 (s.sks), and a call by "
         "name reaches the handlers of movie scripts only: move it to a script with attach = "
         "\"movie\", or call it from its own script with callLocal"},
        {".handler #startMovie\n  getNamedProp #mouseHh\n",
         "m.sks:2: 'mouseHh' is no property (see the property names in "
         "docs/script-assembly.md)"},
        {".handler #startMovie\n  pushInt 1\n  argListNoResult\n  callExternal #beep\n",
         "m.sks:3: argListNoResult needs its argument count: write 'argListNoResult N', N the "
         "number of values pushed for the call (0 for none)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(buildError(withScripts(c.script)), c.error) << c.script;
}

TEST_F(BuildTest, AHandlerNamedLikeAnEventWithATypoIsAWarning) {
    // mouseDwn is called and exitFrme named by a text (a pre-handler's name), so both are meant;
    // hide is too far from idle to be taken for it.
    BuildSummary made;
    EXPECT_FALSE(buildMovie(withScripts(".literal text \"exitFrme\"\n"
                                        ".handler #mouseUpp\n  ret\n"
                                        ".handler #startMovi\n"
                                        "  argListNoResult 0\n  callExternal #mouseDwn\n  ret\n"
                                        ".handler #exitFrme\n  ret\n"
                                        ".handler #hide\n  ret\n",
                                        ".handler #mouseDwn\n  ret\n"),
                            &made)
                     .empty());
    std::vector<std::string> texts;
    for (const BuildWarning& w : made.warnings)
        texts.push_back(w.text());
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "m.sks:2: warning: mouseUpp is not an event; did you mean mouseUp?",
                         "m.sks:4: warning: startMovi is not an event; did you mean startMovie?",
                     }));
}

TEST_F(BuildTest, TheMoviePaletteMustBeAPaletteBeforeMembersAreMappedToIt) {
    // Bitmaps and text without a palette of their own take the movie's: naming a member that is
    // no palette must be a build error, whichever kind it is and wherever it is declared.
    const std::string members = R"(
[[member]]
number = 1
name = "dots"
type = "bitmap"
file = "a.bmp"

[[member]]
number = 2
type = "palette"
colours = ["#FF0000"]

[[member]]
number = 4
type = "text"
text = "x"
)";
    for (const char* palette : {"1", "\"dots\"", "3"}) {
        const std::string number = palette[0] == '3' ? "3" : "1";
        EXPECT_EQ(
            buildError(sourceWith(std::string("[movie]\npalette = ") + palette + "\n" + members)),
            "movie.toml:2: movie.palette: member " + number + " is not a palette member")
            << palette;
    }
    std::string onlyText = members;
    onlyText.erase(0, onlyText.find("[[member]]\nnumber = 2"));
    EXPECT_EQ(buildError(sourceWith("[movie]\npalette = 4\n" + onlyText)),
              "movie.toml:2: movie.palette: member 4 is not a palette member");

    // A palette member declared after the bitmaps still serves them.
    ReadBack r = readBack(buildMovie(sourceWith("[movie]\npalette = 2\n" + members)));
    auto* dots = r.find<skv::NSprite>(skv::memberGuid(1));
    ASSERT_NE(dots, nullptr);
    EXPECT_EQ(dots->paletteNumber, 2);
}

TEST_F(BuildTest, FailedBuildWritesNothing) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("skvc_build_fail_" + std::to_string(::getpid()));
    fs::create_directories(dir / "src");
    {
        FILE* f = std::fopen((dir / "src" / "movie.toml").c_str(), "w");
        std::fputs("[movie]\ntempo = 99\n", f);
        std::fclose(f);
    }
    const std::string out = (dir / "out.skm").string();
    EXPECT_EQ(buildCommand({(dir / "src").string(), "-o", out}), kBuildSourceError);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(out + ".partial"));
    {
        FILE* f = std::fopen((dir / "src" / "movie.toml").c_str(), "w");
        std::fputs("[movie]\ntempo = 9\n", f);
        std::fclose(f);
    }
    // A build that succeeds says what it wrote.
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(buildCommand({"--check", (dir / "src").string(), "-o", out}), kBuildOk);
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(fs::exists(out));
    EXPECT_EQ(said, "skvc build: wrote " + out + ": " + std::to_string(fs::file_size(out)) +
                        " bytes, 0 members, 1 frame, stage 512 x 384\n");
    EXPECT_EQ(buildCommand({(dir / "src").string()}), kBuildUsage);
    fs::remove_all(dir);
}

TEST_F(BuildTest, TheCommandPrintsWarningsAndStillWritesTheMovie) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("skvc_build_warn_" + std::to_string(::getpid()));
    fs::create_directories(dir / "src");
    const auto write = [&](const char* name, const char* text) {
        FILE* f = std::fopen((dir / "src" / name).c_str(), "w");
        std::fputs(text, f);
        std::fclose(f);
    };
    write("movie.toml", "[movie]\n\n[[member]]\nnumber = 1\ntype = \"script\"\nfile = "
                        "\"w.sks\"\nattach = \"movie\"\n");
    write("w.sks", ".handler #idel\n  ret\n");
    const std::string out = (dir / "out.skm").string();
    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(buildCommand({(dir / "src").string(), "-o", out}), kBuildOk);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              (dir / "src").string() +
                  "/w.sks:1: warning: idel is not an event; did you mean idle?\n");
    EXPECT_TRUE(fs::exists(out));
    fs::remove_all(dir);
}

} // namespace
} // namespace skvc::test
