#include "player/enginelink.h"

#include "core/spritechannel.h"
#include "movie/score.h"
#include "player/animationplayer.h"

namespace skv {

namespace {

uint32_t seconds(DWORD ms) {
    return static_cast<uint32_t>(ms / 1000);
}

} // namespace

int32_t EngineLink::currentFrame() {
    skvScore* s = engine_.score();
    return s ? s->frameNumber() : 0;
}

void EngineLink::goToFrame(int32_t frame) {
    // The jump shows at the engine's next frame; the frame events of the move follow it.
    engine_.gotoFrame(frame);
}

void EngineLink::pausePlayback() {
    engine_.pause();
}

void EngineLink::resumePlayback() {
    engine_.resume();
}

void EngineLink::stopAtEnd() {
    engine_.stopAtEnd();
}

void EngineLink::updateStage() {
    engine_.render(0, 0);
}

int32_t EngineLink::tempo() {
    return static_cast<int32_t>(engine_.tempo());
}

int32_t EngineLink::lastFrame() {
    skvScore* s = engine_.score();
    return s ? s->cachedFrameCount() : 0;
}

int32_t EngineLink::framePalette() {
    skvScore* s = engine_.score();
    return s ? s->currentImage()->paletteNumber() : 0;
}

int32_t EngineLink::frameScript() {
    return engine_.frameScript();
}

RECT EngineLink::stageRect() {
    const int32_t x = engine_.x(), y = engine_.y();
    return RECT{x, y, x + engine_.width(), y + engine_.height()};
}

HWND EngineLink::window() {
    return engine_.window();
}

SpriteChannel* EngineLink::propertyChannel(int32_t sprite) {
    skvScore* s = engine_.score();
    return s ? s->propertyChannel(sprite) : nullptr;
}

RECT EngineLink::spriteRect(int32_t sprite) {
    return engine_.spriteRect(sprite);
}

void EngineLink::puppetSprite(int32_t sprite, int32_t flag) {
    engine_.puppetSprite(sprite, flag);
}

int32_t EngineLink::spriteVisible(int32_t sprite) {
    skvScore* s = engine_.score();
    return s ? s->visibility(sprite) : 0;
}

void EngineLink::setSpriteVisible(int32_t sprite, int32_t flag) {
    if (skvScore* s = engine_.score()) s->setVisibility(sprite, flag);
}

int32_t EngineLink::spriteIntersects(int32_t a, int32_t b) {
    return engine_.spriteIntersects(a, b);
}

int32_t EngineLink::spriteWithin(int32_t a, int32_t b) {
    return engine_.spriteWithin(a, b);
}

int32_t EngineLink::rollOver(int32_t sprite) {
    return engine_.rollOver(sprite);
}

void EngineLink::puppetSound(int32_t member) {
    engine_.puppetSound(member);
}

void EngineLink::fadeIn(int32_t ticks) {
    engine_.fadeIn(ticks);
}

void EngineLink::fadeOut(int32_t ticks) {
    engine_.fadeOut(ticks);
}

void EngineLink::stopSound() {
    engine_.stopSound();
}

void EngineLink::replaySound() {
    engine_.replaySound();
}

int32_t EngineLink::soundBusy() {
    return engine_.soundBusy();
}

int32_t EngineLink::soundOn() {
    return engine_.soundOff() ? 0 : 1;
}

void EngineLink::setSoundOn() {
    engine_.setSoundOff(0);
}

uint32_t EngineLink::volume() {
    return engine_.volume();
}

void EngineLink::setVolume(uint32_t volume) {
    engine_.setVolume(volume);
}

void EngineLink::puppetTransition(int32_t code, int32_t duration, int32_t chunk, int32_t) {
    // The area argument has no place in the frame's transition channel.
    engine_.puppetTransition(code, duration, chunk);
}

void EngineLink::setCursor(int32_t cursor) {
    engine_.setScriptCursor(cursor);
}

PlayerInput EngineLink::input() {
    PlayerInput in;
    if (skvScore* s = engine_.score()) {
        in.clickLoc = s->mouseDownPosition();
        in.clickOn = s->clickedSprite();
    }
    in.doubleClick = engine_.doubleClicked();
    in.mouseCast = engine_.mouseCast();
    in.buttonDown = engine_.buttonDown();
    in.mouse = engine_.mousePosition();
    in.lastClickSecond = seconds(engine_.lastClickTime());
    in.lastEventSecond = seconds(engine_.lastEventTime());
    in.lastKeySecond = seconds(engine_.lastKeyTime());
    in.lastRollSecond = seconds(engine_.lastRollTime());
    return in;
}

uint32_t EngineLink::timeoutElapsed() {
    return engine_.timeoutElapsed();
}

uint32_t EngineLink::timeoutLength() {
    return engine_.timeoutLength();
}

void EngineLink::setTimeoutLength(uint32_t ticks) {
    engine_.setTimeoutLength(ticks);
}

int32_t EngineLink::timeoutOnMouse() {
    return engine_.timeoutOnMouse();
}

void EngineLink::setTimeoutOnMouse(int32_t flag) {
    engine_.setTimeoutOnMouse(flag);
}

int32_t EngineLink::timeoutEveryFrame() {
    return engine_.timeoutEveryFrame();
}

void EngineLink::setTimeoutEveryFrame(int32_t flag) {
    engine_.setTimeoutEveryFrame(flag);
}

int32_t EngineLink::playerProperty(int32_t number) {
    return number == 27 ? property27_ : number == 30 ? property30_ : 0;
}

void EngineLink::setPlayerProperty(int32_t number, int32_t value) {
    if (number == 27) property27_ = value;
    if (number == 30) property30_ = value;
}

} // namespace skv
