// A player and a browser that scripts can drive without a stage: they keep the state the
// built-ins and properties read, and record every command as a line of text.
#pragma once

#include <algorithm>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "core/spritechannel.h"
#include "script/browserlink.h"
#include "script/playerlink.h"

namespace skvtest {

using namespace skv;

class RecordingBrowser : public BrowserLink {
public:
    int32_t gotoNetPage(const char* url) override { return request("page", url); }
    int32_t getNetText(const char* url) override { return request("text", url); }
    int32_t preloadNetThing(const char* url) override { return request("preload", url); }
    int32_t netDone(int32_t id) override {
        if (id == -1) id = static_cast<int32_t>(done.size()) - 1;
        if (id < 0 || id >= static_cast<int32_t>(done.size())) return 1;
        return done[static_cast<size_t>(id)];
    }
    const char* netTextResult(int32_t) override {
        return textResult.empty() ? nullptr : textResult.c_str();
    }
    int32_t getLatestNetID() override { return static_cast<int32_t>(done.size()) - 1; }
    bool parameter(const char* name, std::string* value) override {
        auto it = parameters.find(name);
        if (it == parameters.end()) return false;
        *value = it->second;
        return true;
    }

    std::vector<std::string> requests;
    std::vector<int32_t> done{1}; // stream 0: the embed source
    std::string textResult;
    std::map<std::string, std::string> parameters;

private:
    int32_t request(const char* kind, const char* url) {
        requests.push_back(std::string(kind) + " " + url);
        done.push_back(0);
        return static_cast<int32_t>(done.size()) - 1;
    }
};

class RecordingPlayer : public PlayerLink {
public:
    RecordingPlayer() {
        for (auto& c : current)
            std::fill(std::begin(c.bytes), std::end(c.bytes), 0);
        std::copy(std::begin(current), std::end(current), std::begin(puppets));
    }

    int32_t currentFrame() override { return frame; }
    void goToFrame(int32_t n) override {
        log("go " + std::to_string(n));
        frame = n;
    }
    void pausePlayback() override { log("pause"); }
    void resumePlayback() override { log("resume"); }
    void stopAtEnd() override { log("stopAtEnd"); }
    void updateStage() override { log("updateStage"); }
    int32_t tempo() override { return tempoFps; }
    int32_t lastFrame() override { return frames; }
    int32_t framePalette() override { return -1; }
    int32_t frameScript() override { return 40 + frame; }
    RECT stageRect() override { return {10, 20, 522, 404}; }
    HWND window() override { return nullptr; }

    // Sprite n is channel n + 1; the puppet copy answers while it has the puppet flag.
    SpriteChannel* propertyChannel(int32_t sprite) override {
        if (sprite < 0 || sprite > 48) return nullptr;
        SpriteChannel& p = puppets[size_t(sprite) + 1];
        return p.isPuppet() ? &p : &current[size_t(sprite) + 1];
    }
    RECT spriteRect(int32_t sprite) override {
        SpriteChannel* ch = propertyChannel(sprite);
        if (!ch || !ch->castNumber()) return {0, 0, 0, 0};
        return {ch->left(), ch->top(), ch->left() + ch->width(), ch->top() + ch->height()};
    }
    void puppetSprite(int32_t sprite, int32_t flag) override {
        log("puppetSprite " + std::to_string(sprite) + " " + std::to_string(flag));
        if (sprite <= 0 || sprite > 48) return;
        SpriteChannel& p = puppets[size_t(sprite) + 1];
        SpriteChannel& c = current[size_t(sprite) + 1];
        if (flag && !p.isPuppet()) p = c;
        if (!flag && p.isPuppet()) c = p;
        p.setPuppet(flag != 0);
        c.setPuppet(flag != 0);
    }
    int32_t spriteVisible(int32_t sprite) override { return visible[sprite & 63]; }
    void setSpriteVisible(int32_t sprite, int32_t flag) override { visible[sprite & 63] = flag; }
    int32_t spriteIntersects(int32_t a, int32_t b) override { return a + b == 7; }
    int32_t spriteWithin(int32_t a, int32_t b) override { return a < b; }
    int32_t rollOver(int32_t sprite) override { return sprite == mouseSprite; }

    void puppetSound(int32_t member) override { log("puppetSound " + std::to_string(member)); }
    void fadeIn(int32_t ticks) override { log("fadeIn " + std::to_string(ticks)); }
    void fadeOut(int32_t ticks) override { log("fadeOut " + std::to_string(ticks)); }
    void stopSound() override { log("stopSound"); }
    void replaySound() override { log("replaySound"); }
    int32_t soundBusy() override { return busy; }
    int32_t soundOn() override { return soundIsOn; }
    void setSoundOn() override { soundIsOn = 1; }
    uint32_t volume() override { return vol; }
    void setVolume(uint32_t v) override { vol = v; }
    void puppetTransition(int32_t code, int32_t duration, int32_t chunk, int32_t area) override {
        log("transition " + std::to_string(code) + " " + std::to_string(duration) + " " +
            std::to_string(chunk) + " " + std::to_string(area));
    }

    void setCursor(int32_t c) override { cursor = c; }
    PlayerInput input() override { return in; }
    uint32_t timeoutElapsed() override { return 77; }
    uint32_t timeoutLength() override { return timeoutTicks; }
    void setTimeoutLength(uint32_t t) override { timeoutTicks = t; }
    int32_t timeoutOnMouse() override { return onMouse; }
    void setTimeoutOnMouse(int32_t f) override { onMouse = f; }
    int32_t timeoutEveryFrame() override { return everyFrame; }
    void setTimeoutEveryFrame(int32_t f) override { everyFrame = f; }
    int32_t playerProperty(int32_t n) override { return props[n]; }
    void setPlayerProperty(int32_t n, int32_t v) override { props[n] = v; }
    BrowserLink* browser() override { return hasBrowser ? &net : nullptr; }

    void log(const std::string& line) { calls.push_back(line); }

    std::vector<std::string> calls;
    int32_t frame = 1;
    int32_t frames = 30;
    int32_t tempoFps = 8;
    SpriteChannel current[50];
    SpriteChannel puppets[50];
    int32_t visible[64] = {};
    int32_t mouseSprite = 0;
    int32_t busy = 0;
    int32_t soundIsOn = 1;
    uint32_t vol = 0xFFFFFFFFu;
    int32_t cursor = -1;
    PlayerInput in;
    uint32_t timeoutTicks = 10800;
    int32_t onMouse = 0;
    int32_t everyFrame = 0;
    std::map<int32_t, int32_t> props;
    bool hasBrowser = true;
    RecordingBrowser net;
};

} // namespace skvtest
