// Scripts that move sprites from mouse events, played by the real engine: a click reaches the
// sprite's script through the score's own hit test, the script makes the sprite a puppet and
// writes its position, and the frames that follow show it where the script put it although the
// score keeps placing it elsewhere. Also what the built-ins read back of the player: the frame,
// the sprite geometry and the clicked sprite.
#include "platform/display.h"
#include "player/controller.h"
#include "player/enginelink.h"
#include "player_fixture.h"

using namespace skv;
using namespace skv::test;

namespace {

enum : int32_t { nUp, nPuppet, nDown, nGlobalA, nGlobalB, nClickOn, nFrame };
const std::vector<std::string> kNames = {"mouseUp",   "puppetSprite", "mouseDown", "seenLeft",
                                         "seenFrame", "clickOn",      "frame"};

constexpr int32_t kColour = 35;

// Five frames; sprite 1 (member 40, 8 x 8) moves one pixel right per frame from x = 0, so the
// score writes the channel on every frame. Frame 1 holds for six seconds for the click.
MovieSpec movingSprite(int16_t spriteScript) {
    MovieSpec m;
    m.names = kNames;
    m.frames.frame(sprite(1, 40, 0, 8, 8, 8, spriteScript) + std::vector<Record>{tempo(250)});
    for (int16_t i = 1; i < 5; ++i)
        m.frames.frame(std::vector<Record>{{at(2, 10), le16(i)}, tempo(8)});
    m.blocks = {{40, kColour}};
    return m;
}

// mouseUp: puppetSprite 1, TRUE; the locH of sprite 1 := 40; the locV of sprite 1 := 20.
std::string moveOnRelease() {
    return ".handler " + std::to_string(nUp) +
           "\n"
           "pushInt 1\npushInt 1\nargListNoResult 2\ncallExternal " +
           std::to_string(nPuppet) +
           "\n"
           "pushInt 1\npushInt 40\npushInt SpriteLocH\nsetEntity sprite\n"
           "pushInt 1\npushInt 20\npushInt SpriteLocV\nsetEntity sprite\n"
           "ret\n";
}

struct Pictures {
    platform::Image beforeClick, last;
};

Pictures runWithClick(const MovieSpec& m, const std::string& input) {
    HeadlessOptions o;
    o.url = movieFile(m);
    o.limitMs = 120000;
    std::string err;
    EXPECT_TRUE(platform::parseInputScript(input, &o.input, &err)) << err;
    Pictures p;
    o.onFrame = [&p](skvPlayer& player, int32_t frame) {
        if (frame == 1) p.beforeClick = platform::captureWindow(player.engine()->window());
        if (frame == 5) p.last = platform::captureWindow(player.engine()->window());
    };
    HeadlessRun run(o);
    EXPECT_TRUE(run.run().completed);
    return p;
}

TEST(ScriptedSprites, AClickMakesTheSpriteAPuppetAndItStaysWhereTheScriptPutIt) {
    MovieSpec m = movingSprite(3);
    m.scripts = {{10, moveOnRelease(), false, 3}};
    Pictures p = runWithClick(m, "500 click 4 12\n");
    ASSERT_GT(p.beforeClick.width, 48);
    ASSERT_EQ(p.last.width, p.beforeClick.width);
    const uint32_t block = p.beforeClick.at(4, 12), stage = p.beforeClick.at(44, 24);
    ASSERT_NE(block, stage);
    // At the end the block stands at (40, 20), not at (4, 8) where the score took it.
    EXPECT_EQ(p.last.at(40, 20), block);
    EXPECT_EQ(p.last.at(47, 27), block);
    EXPECT_EQ(p.last.at(48, 20), stage);
    EXPECT_EQ(p.last.at(39, 20), stage);
    EXPECT_EQ(p.last.at(6, 12), stage);
}

TEST(ScriptedSprites, AClickBesideTheSpriteDoesNotReachItsScript) {
    MovieSpec m = movingSprite(3);
    m.scripts = {{10, moveOnRelease(), false, 3}};
    Pictures p = runWithClick(m, "500 click 30 30\n");
    const uint32_t block = p.beforeClick.at(4, 12);
    // The score moved it to x = 4 and nothing else did.
    EXPECT_EQ(p.last.at(4, 8), block);
    EXPECT_EQ(p.last.at(11, 15), block);
    EXPECT_NE(p.last.at(40, 20), block);
}

TEST(ScriptedSprites, WithoutThePuppetTheScoreTakesTheSpriteBack) {
    MovieSpec m = movingSprite(3);
    // The same writes without puppetSprite: the next frame's records place it again.
    m.scripts = {{10,
                  ".handler " + std::to_string(nUp) +
                      "\npushInt 1\npushInt 40\npushInt SpriteLocH\nsetEntity sprite\nret\n",
                  false, 3}};
    Pictures p = runWithClick(m, "500 click 4 12\n");
    const uint32_t block = p.beforeClick.at(4, 12);
    EXPECT_EQ(p.last.at(4, 8), block);
    EXPECT_NE(p.last.at(41, 8), block);
}

TEST(ScriptedSprites, ScriptsReadTheFrameTheClickedSpriteAndItsBox) {
    MovieSpec m = movingSprite(3);
    // mouseDown: seenLeft := the SpriteLeft of sprite (the clickOn); seenFrame := the frame.
    m.scripts = {{10,
                  ".handler " + std::to_string(nDown) + "\ngetNamedProp " +
                      std::to_string(nClickOn) +
                      "\npushInt SpriteLeft\ngetEntity sprite\npopGlobal " +
                      std::to_string(nGlobalA) + "\ngetNamedProp " + std::to_string(nFrame) +
                      "\npopGlobal " + std::to_string(nGlobalB) + "\nret\n",
                  false, 3}};
    HeadlessOptions o;
    o.url = movieFile(m);
    o.limitMs = 120000;
    std::string err;
    ASSERT_TRUE(platform::parseInputScript("500 click 4 12\n", &o.input, &err)) << err;
    ScriptValue left, frame;
    o.beforeClose = [&](skvPlayer& p) {
        NMTX_SCOPED(guard, p.engine()->viewMutex());
        ScriptEngine& e = *p.engine()->scriptRuntime()->engine;
        left = e.global(nGlobalA);
        frame = e.global(nGlobalB);
        // The host keeps the engine's link while the runtime is bound to it.
        EXPECT_EQ(e.host().link, &p.engine()->link());
    };
    HeadlessRun run(o);
    ASSERT_TRUE(run.run().completed);
    EXPECT_EQ(left.type, vtInteger);
    EXPECT_EQ(left.asInt(), 0) << "sprite 1 stood at x = 0 on frame 1";
    EXPECT_EQ(frame.asInt(), 1);
}

} // namespace
