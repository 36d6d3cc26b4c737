// What a score asks of the stage while it renders a frame. The player's compositor answers it;
// members get the stage's view through their draw and place slots and talk to it themselves.
#pragma once

#include <cstdint>

namespace skv {

class skvObject;
class skvView;
struct SpriteChannel;

class ScoreStage {
public:
    virtual ~ScoreStage() = default;

    // The view handed to members' draw and place slots.
    virtual skvView* view() = 0;
    // Adds a drawn member's bounds to the area copied to the window.
    virtual void addDirtyMember(skvObject* member) = 0;
    // A palette member has just become the stage palette: realize it before the next copy.
    virtual void paletteChanged() = 0;
    // Tempo bytes 128, 135 and 192-255: the player holds the frame until the wait is over.
    virtual void setWaitMode(int32_t mode) = 0;
    // Tempo bytes 1-60: frames per second from now on.
    virtual void setTempo(int32_t fps) = 0;
    // A shape sprite of a linear score.
    virtual void drawShape(const SpriteChannel& channel, int32_t kind) = 0;
    // A shape sprite's old place, for the copy to the window.
    virtual void placeShape(const SpriteChannel& channel) {}
    // The channel (0-49) whose member draws next; -1 once the sprites are done.
    virtual void setDrawingChannel(int32_t channel) {}
    // Runs a transition between the previous and the new picture.
    virtual void runTransition(int32_t effect, int32_t chunkSize, int32_t durationMs,
                               int32_t parameter) = 0;
};

} // namespace skv
