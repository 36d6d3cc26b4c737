// EngineLink: the player as the script host sees it (PlayerLink). The engine owns one and gives
// it to the host of every script runtime it binds; each call is carried out by the engine, its
// score or its sound output. Calls come on the engine thread while scripts run, with the view
// lock held.
//
// The two player values scripts reach by number (27 and 30) are kept here for the scripts that
// set them; nothing in playback reads them.
#pragma once

#include "script/playerlink.h"

namespace skv {

class skvAnimationPlayer;

class EngineLink : public PlayerLink {
public:
    explicit EngineLink(skvAnimationPlayer& engine) : engine_(engine) {}

    void setBrowser(BrowserLink* browser) { browser_ = browser; }

    int32_t currentFrame() override;
    void goToFrame(int32_t frame) override;
    void pausePlayback() override;
    void resumePlayback() override;
    void stopAtEnd() override;
    void updateStage() override;
    int32_t tempo() override;
    int32_t lastFrame() override;
    int32_t framePalette() override;
    int32_t frameScript() override;
    RECT stageRect() override;
    HWND window() override;

    SpriteChannel* propertyChannel(int32_t sprite) override;
    RECT spriteRect(int32_t sprite) override;
    void puppetSprite(int32_t sprite, int32_t flag) override;
    int32_t spriteVisible(int32_t sprite) override;
    void setSpriteVisible(int32_t sprite, int32_t flag) override;
    int32_t spriteIntersects(int32_t a, int32_t b) override;
    int32_t spriteWithin(int32_t a, int32_t b) override;
    int32_t rollOver(int32_t sprite) override;

    void puppetSound(int32_t member) override;
    void fadeIn(int32_t ticks) override;
    void fadeOut(int32_t ticks) override;
    void stopSound() override;
    void replaySound() override;
    int32_t soundBusy() override;
    int32_t soundOn() override;
    void setSoundOn() override;
    uint32_t volume() override;
    void setVolume(uint32_t volume) override;
    void puppetTransition(int32_t code, int32_t duration, int32_t chunk, int32_t area) override;

    void setCursor(int32_t cursor) override;
    PlayerInput input() override;
    uint32_t timeoutElapsed() override;
    uint32_t timeoutLength() override;
    void setTimeoutLength(uint32_t ticks) override;
    int32_t timeoutOnMouse() override;
    void setTimeoutOnMouse(int32_t flag) override;
    int32_t timeoutEveryFrame() override;
    void setTimeoutEveryFrame(int32_t flag) override;
    int32_t playerProperty(int32_t number) override;
    void setPlayerProperty(int32_t number, int32_t value) override;

    BrowserLink* browser() override { return browser_; }

private:
    skvAnimationPlayer& engine_;
    BrowserLink* browser_ = nullptr;
    int32_t property27_ = 0;
    int32_t property30_ = 0;
};

} // namespace skv
