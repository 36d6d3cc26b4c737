// skvScore: the movie's timeline. It holds the frame string and decodes it through its cursor,
// goes to frames, advances (following jumps in a hub score), renders the current frame by
// asking each channel's member to draw itself, and keeps the scorelets that play over it.
//
// Two models, chosen by the hub frame: a linear score (hub frame <= 0) plays its frames in
// order; a hub score plays up to its hub frame, parks there and from then on plays scorelets
// that triggers start. In a hub score a frame's frame script number is a jump target.
//
// Stored form, after the object header:
//
// | field           | type                | notes                                             |
// |-----------------|---------------------|---------------------------------------------------|
// | default palette | int32               | shifted: stored s > 0 is palette s, s <= 0 is      |
// |                 |                     | s - 1; a negative palette p is written as p + 1    |
// |                 |                     | (read into -32768 ... 32767, the palette numbers)  |
// | default tempo   | int32               | frames per second                                 |
// | stage colour    | int32               | palette index of the stage background             |
// | stage size      | int32, int32        | width, height                                     |
// | frame string    | int32 L, L bytes    | see scorecursor.h                                 |
// | hub frame       | int32               |                                                   |
// | frame actions   | int32 C, C x 8 bytes| C <= 512; see frameactions.h                      |
// | scorelets       | int32 S, S bodies   | each in skvScorelet's own form                    |
//
// Counts and lengths come from the stream: a negative one, or one past kMaxScoreData, 512
// actions or kMaxScorelets, raises CoreError 666 like a short read before anything is
// allocated for it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/Util/nmtx.h"
#include "core/object.h"
#include "movie/frameactions.h"
#include "movie/frameimage.h"
#include "movie/scorecursor.h"
#include "platform/windef.h"
#include "platform/winuser.h"

namespace skv {

class ScoreStage;
class StreamContext;
class skvScorelet;

// Where a score's mouse events go: the script runtime, through the player. Each event carries
// the sprite script number, the cast member number and the frame script number (zeros for a
// click that hit nothing).
class ScoreEvents {
public:
    virtual ~ScoreEvents() = default;
    // `sprite` is the sprite hit as the score numbers it (channel - 1), 0 for none.
    virtual void mouseDown(int32_t spriteScript, int32_t castNumber, int32_t frameScript,
                           int32_t sprite) = 0;
    virtual void mouseUp(int32_t spriteScript, int32_t castNumber, int32_t frameScript,
                         int32_t sprite) = 0;
};

// What a hit test found: the frame image (the score's or a scorelet's), the channel in it and the
// channel's member (none for a shape sprite).
struct ScoreHit {
    FrameImage* image = nullptr;
    int32_t channel = 0;
    skvObject* member = nullptr;
};

class skvScore : public skvObject {
public:
    static constexpr int32_t kMaxScoreData = 16 * 1024 * 1024;
    static constexpr int32_t kMaxScorelets = 32768;
    static constexpr int16_t kBuiltInDefaultPalette = -101;

    skvScore();
    ~skvScore() override;

    int32_t sizeHint() override;
    void serialize(uArchive& ar) override;

    // Slot 8. Scorelets play and stop; the score itself always plays.
    virtual void setActive(int32_t flag) {}
    // Slot 9.
    virtual int32_t isActive() { return 1; }
    // Slot 10: goes to the hub frame.
    virtual int32_t gotoHubFrame();
    // Slot 11: advances every scorelet by one step (once per advance of a parked hub score).
    virtual void updateScorelets();
    // Slot 12: back to frame 1 with fresh puppet and previous images. Returns 1.
    virtual int32_t rewind();
    // Slot 13: advances one frame, or follows the pending jump of a hub score. Non-zero while
    // playing goes on.
    virtual int32_t nextFrame();
    // Slot 14.
    virtual void setTrigger(int32_t n) {}
    // Slot 15: the trigger a scorelet answers to.
    virtual int32_t triggerNumber() { return 0; }
    // Slot 16: goes to frame n; a hub score parked on its hub frame starts trigger n instead.
    virtual int32_t gotoFrame(int32_t n);
    // Slot 17: frames from the read position to the end, plus one. Remembered.
    virtual int32_t countFrames();
    // Slot 18.
    virtual int32_t cachedFrameCount() { return frameCountCache_; }
    // Slots 19-21.
    virtual FrameImage* puppetImage() { return &cursor_->puppet; }
    virtual FrameImage* currentImage() { return &cursor_->current; }
    virtual FrameImage* previousImage() { return &cursor_->previous; }
    // Slot 22.
    virtual int32_t channelCount() { return FrameImage::kChannels; }
    // Slot 23: channel 2 of the stage is the score's; scorelets start above it.
    virtual int32_t firstSpriteChannel() { return 2; }
    // Slot 24.
    virtual void beforeExitFrame() {}
    // Slot 25: draws the current frame's palette, sound, sprites and transition on the stage.
    // A quiet render leaves sound and transition alone.
    virtual void renderFrame(ScoreStage& stage, int32_t quiet);
    // Slot 26: renders the scorelets after the score's own channels.
    virtual void renderScorelets(ScoreStage& stage);
    // Slot 27: true once in twenty.
    virtual int32_t randomChance();
    // Slot 28: the member numbered n, if the stream has delivered it.
    virtual skvObject* findMember(int32_t n);
    // Slot 29: the same, waiting for it while the stream is still delivering.
    virtual skvObject* findMemberWaiting(int32_t n);

    // Replaces the frame string (and rebuilds the cursor, which is left before frame 1).
    void setScoreData(std::vector<uint8_t> data);
    const std::vector<uint8_t>& scoreData() const { return data_; }
    skvScoreCursor& cursor() { return *cursor_; }
    int32_t frameNumber() const { return cursor_->frameNumber(); }

    // Decodes frame n (frame 0 shows frame 1), re-decoding from frame 1 when n is not ahead
    // of the current frame. Sets the go flag. 0 when the frame does not exist: the cursor then
    // stays on the last frame there is.
    int32_t goToFrame(int32_t n);
    // Shows or hides members and stops scorelets as the frame actions of `frame` say.
    void fireFrameActions(int32_t frame);
    FrameActions& frameActions() { return actions_; }

    bool isHub() const { return hubFrame_ > 0; }
    int32_t hubFrame() const { return hubFrame_; }
    void setHubFrame(int32_t frame) { hubFrame_ = frame; }
    int32_t pendingJump() const { return pendingJump_; }
    int32_t runningTrigger() const { return runningTrigger_; }

    // Puppets: a puppet channel shows what scripts set rather than what the frames say.
    // Sprite 0 and sprites past 48 are ignored.
    void puppetSprite(int32_t sprite, int32_t flag);
    // The channel sprite properties read and write: the puppet copy while either copy has the
    // puppet flag, else the current channel. Null without a channel.
    SpriteChannel* propertyChannel(int32_t sprite);
    // A non-zero number puppets the sound channel with that sound; 0 gives it back to the
    // frames. The player stops and restarts its sound itself.
    void puppetSound(int32_t number);
    void setSoundPuppet(int32_t flag);
    int32_t soundPuppet() const { return soundPuppet_; }
    int32_t soundForced() const { return soundForced_; }
    // Channel sprite + 1 of the current or puppet image; null outside sprites 0-48.
    SpriteChannel* spriteChannel(int32_t sprite);
    SpriteChannel* puppetChannel(int32_t sprite);
    int32_t visibility(int32_t sprite) const;
    void setVisibility(int32_t sprite, int32_t flag);
    // A script set this frame's transition: the frame's own effect comes back after it ran.
    void setPuppetTransition(int32_t flag);
    int32_t puppetTransition() const { return puppetTransition_; }
    // What the script set (the effect, and the chunk and duration word), written into the
    // current frame's channel too. It is what the next frame change runs, even when that frame
    // names a transition of its own: the frame's own change records have just overwritten the
    // channel, but the script asked for the next change.
    void setPuppetTransitionValues(uint8_t effect, uint16_t params);
    // The effect the current frame's render runs: the script's while one is set.
    int32_t transitionToRun() const;
    bool puppetValuesInForce() const;

    int32_t takeGoFlag() {
        const int32_t f = goFlag_;
        goFlag_ = 0;
        return f;
    }
    void clearGoFlag() { goFlag_ = 0; }
    int32_t goFlag() const { return goFlag_; }
    void requestRedraw() { forceRedraw_ = 1; }

    // The stream whose object manager holds the members; scorelets get it too.
    void attachStream(StreamContext* stream);
    StreamContext* stream() const { return stream_; }

    int16_t defaultPalette() const { return defaultPalette_; }
    void setDefaultPalette(int16_t p) { defaultPalette_ = currentPalette_ = p; }
    int16_t currentPalette() const { return currentPalette_; }
    int32_t defaultTempo() const { return defaultTempo_; }
    void setDefaultTempo(int32_t fps) { defaultTempo_ = fps; }
    int32_t stageColour() const { return stageColour_; }
    void setStageColour(int32_t index) { stageColour_ = index; }
    void stageSize(int32_t* width, int32_t* height) const;
    void setStageSize(int32_t width, int32_t height);
    const RECT& stageRect() const { return stageRect_; }
    int32_t isStreamed() const { return streamed_; }

    // Scorelets and triggers. The list and the enabled triggers have locks of their own: sprite
    // enablers arrive on the stream-reading thread.
    void addScorelet(skvScorelet* scorelet); // takes ownership
    int32_t scoreletCount() const;
    skvScorelet* scoreletAt(int32_t index) const;
    // The first scorelet whose enabler trigger or start frame is t.
    skvScorelet* findScorelet(int32_t t) const;
    bool isTriggerEnabled(int32_t t) const;
    bool isScoreletDone(int32_t t) const;
    void enableTrigger(int32_t t);
    // Plays trigger t's scorelet, making one from the score's frames when there is none.
    // Ignored while another trigger runs and for a trigger that is not enabled.
    void startTrigger(int32_t t);
    // Orders the list for rendering: active after inactive, higher layers later, one-shot and
    // click-made scorelets after the others at equal layers.
    void sortScorelets();

    // The mouse on the stage (stage coordinates). Channels are tested from 49 down; in a hub
    // score the playing mode-1 scorelets are tested, last in the list first, when the scan
    // reaches channel 3.
    bool hitTest(POINT point, ScoreHit* hit);
    // A linear score sends mouseDown for what was hit; a hub score ignores it.
    void mouseDown(int32_t x, int32_t y);
    // A hit in a hub score starts the sprite's trigger (its channel's script number, else its
    // member's); a hit in a linear score sends mouseUp; a miss sends mouseUp with zeros.
    void mouseUp(int32_t x, int32_t y);
    // Shows the cursor for what is under the mouse: in a hub score the click cursor over a
    // sprite whose trigger is enabled, the wait cursor over one whose animation has not played
    // yet, none at all while a trigger plays.
    void mouseMove(int32_t x, int32_t y);
    skvObject* memberAt(int32_t x, int32_t y);
    // -1 when nothing is hit.
    int32_t castNumberAt(int32_t x, int32_t y);
    void setEvents(ScoreEvents* events) { events_ = events; }
    // The cursor a linear score shows; the arrow until scripts set another. A null cursor set
    // by scripts hides it.
    HCURSOR cursorHandle();
    void setCursorHandle(HCURSOR cursor) {
        cursorHandle_ = cursor;
        cursorChosen_ = true;
    }
    int32_t clickedSprite() const { return clickedSprite_; }
    POINT mouseDownPosition() const { return mouseDownAt_; }
    POINT mouseMovePosition() const { return mouseMoveAt_; }
    void setMouseMovePosition(POINT p) { mouseMoveAt_ = p; }

    // Whether the score's stored form carries this one's body.
    virtual bool isStored() const { return true; }

protected:
    // Frame actions of a scorelet belong to the score it plays over.
    virtual skvScore* actionOwner() { return this; }
    virtual int32_t actionFrameOffset() { return 0; }
    // Builds a fresh cursor over the frame string.
    void rebuildCursor();
    void readScorelets(uArchive& ar);
    void destroyScorelets();

    std::vector<uint8_t> data_;
    std::unique_ptr<skvScoreCursor> cursor_;
    StreamContext* stream_ = nullptr;
    int32_t hubFrame_ = -1;
    int32_t pendingJump_ = 0;
    int32_t runningTrigger_ = 0;
    int32_t goFlag_ = 0;

private:
    void renderSprites(ScoreStage& stage);
    // The channel scan of hitTest over this score's own image.
    bool hitChannels(POINT point, ScoreHit* hit);
    // The trigger a click on a hit starts: the channel's script number, else the member's.
    static int32_t triggerOf(const ScoreHit& hit);

    ScoreEvents* events_ = nullptr;
    HCURSOR cursorHandle_ = nullptr;
    bool cursorChosen_ = false;
    int32_t clickedSprite_ = 0;
    POINT mouseDownAt_{0, 0};
    POINT mouseMoveAt_{0, 0};

    mutable nmtx scoreletLock_;
    std::vector<skvScorelet*> scorelets_;
    int32_t frameCountCache_ = 0;
    int32_t puppetTransition_ = 0;
    int16_t savedTransition_ = 0;
    uint16_t savedTransitionParams_ = 0;
    uint8_t puppetEffect_ = 0;
    uint16_t puppetParams_ = 0;
    bool puppetValuesSet_ = false; // else the channel holds the script's transition
    int32_t soundPuppet_ = 0;
    int16_t savedSound_ = 0;
    int32_t soundForced_ = 0;
    int32_t defaultTempo_ = 8;
    int32_t stageColour_ = 0;
    int16_t defaultPalette_ = kBuiltInDefaultPalette;
    int16_t currentPalette_ = kBuiltInDefaultPalette;
    int32_t stageWidth_ = 512;
    int32_t stageHeight_ = 384;
    RECT stageRect_{0, 0, 512, 384};
    int32_t forceRedraw_ = 0;
    mutable nmtx triggerLock_;
    std::vector<int32_t> enabledTriggers_;
    FrameActions actions_;
    // Members a frame action has just shown again: drawn in place with nothing else changed,
    // they would reach the window only when something else marked their area.
    std::vector<skvObject*> revealed_;
    int32_t streamed_ = 0;
};

// The shifted form palette numbers are stored in: negative palettes move one towards zero.
constexpr int32_t storedPaletteNumber(int32_t palette) {
    return palette < 0 ? palette + 1 : palette;
}
// Palette numbers are 16-bit; a stored number from a hostile stream may be any int32, so the
// shift back is done wide and the result held to the nearest palette number instead of wrapping.
constexpr int16_t paletteFromStored(int32_t stored) {
    const int64_t palette = stored > 0 ? int64_t{stored} : int64_t{stored} - 1;
    return static_cast<int16_t>(std::clamp<int64_t>(palette, INT16_MIN, INT16_MAX));
}

} // namespace skv
