// PlayerLink: what scripts ask of the movie side. The player engine implements it and gives it
// to the script host (ScriptHost::setLink) when it binds a runtime; the built-ins and the "the"
// properties reach playback, puppets, sprites, sound, the cursor, input state, the timeout clock
// and the browser only through it.
//
// Every call comes on the engine thread while it runs script events, with the view lock held.
#pragma once

#include <cstdint>

#include "platform/windef.h"

namespace skv {

class BrowserLink;
struct SpriteChannel;

// Where the mouse is and what it did last, as the player's input handlers recorded it. Times are
// seconds on the tick clock (GetTickCount() / 1000).
struct PlayerInput {
    POINT clickLoc{0, 0}; // stage position of the last click
    int32_t clickOn = 0;  // sprite number of the last click
    int32_t doubleClick = 0;
    int32_t mouseCast = 0;  // cast member under the mouse
    int32_t buttonDown = 0; // the left button is down
    POINT mouse{0, 0};      // mouse position on the stage
    uint32_t lastClickSecond = 0;
    uint32_t lastEventSecond = 0;
    uint32_t lastKeySecond = 0;
    uint32_t lastRollSecond = 0;
};

// The cursors scripts choose: the system's (numbered as their IDC_ resources), the plug-in's own
// two cursor resources, or none.
enum ScriptCursor : int32_t {
    kCursorNone = 0,
    kCursorPlugIn = 24576,
    kCursorPlugIn2 = 24577,
    kCursorArrow = 32512,
    kCursorIBeam = 32513,
    kCursorWait = 32514,
    kCursorCross = 32515,
    kCursorMove = 32646,
};

class PlayerLink {
public:
    virtual ~PlayerLink() = default;

    // --- playback -------------------------------------------------------------------------
    virtual int32_t currentFrame() = 0;
    // A frame that does not exist stops the movie (stopMovie, status 5007, arrow cursor).
    virtual void goToFrame(int32_t frame) = 0;
    virtual void pausePlayback() = 0;
    virtual void resumePlayback() = 0;
    // halt and quit: stop, post the stop status, show the arrow cursor.
    virtual void stopAtEnd() = 0;
    // Redraws the stage now.
    virtual void updateStage() = 0;
    virtual int32_t tempo() = 0;        // frames per second
    virtual int32_t lastFrame() = 0;    // the score's last frame number
    virtual int32_t framePalette() = 0; // the current frame's palette number
    virtual int32_t frameScript() = 0;  // the current frame's script number
    virtual RECT stageRect() = 0;
    virtual HWND window() = 0; // owner of the player's message boxes; may be null

    // --- sprites --------------------------------------------------------------------------
    // The channel sprite properties read and write: the puppet copy while the sprite is a
    // puppet. Null for a sprite without a channel.
    virtual SpriteChannel* propertyChannel(int32_t sprite) = 0;
    // The member's rectangle placed at the channel; all zeros without a sprite or member.
    virtual RECT spriteRect(int32_t sprite) = 0;
    virtual void puppetSprite(int32_t sprite, int32_t flag) = 0;
    // The score's visibility flag of the sprite's channel.
    virtual int32_t spriteVisible(int32_t sprite) = 0;
    virtual void setSpriteVisible(int32_t sprite, int32_t flag) = 0;
    virtual int32_t spriteIntersects(int32_t a, int32_t b) = 0;
    virtual int32_t spriteWithin(int32_t a, int32_t b) = 0;
    // Whether the mouse is over the sprite.
    virtual int32_t rollOver(int32_t sprite) = 0;

    // --- sound and transitions ------------------------------------------------------------
    // A member number puppets the sound channel with it; 0 gives the channel back to the score.
    virtual void puppetSound(int32_t member) = 0;
    virtual void fadeIn(int32_t ticks) = 0;
    virtual void fadeOut(int32_t ticks) = 0;
    virtual void stopSound() = 0;
    // Plays the player's current sound again.
    virtual void replaySound() = 0;
    virtual int32_t soundBusy() = 0;
    // Sound output is on (not switched off by stop or pause); setSoundOn switches it on.
    virtual int32_t soundOn() = 0;
    virtual void setSoundOn() = 0;
    // Left level in the low 16 bits, right in the high 16 bits.
    virtual uint32_t volume() = 0;
    virtual void setVolume(uint32_t volume) = 0;
    // The transition of the next frame change: effect code, duration, chunk size, area.
    virtual void puppetTransition(int32_t code, int32_t duration, int32_t chunk, int32_t area) = 0;

    // --- cursor, input, timeout -----------------------------------------------------------
    // One of ScriptCursor. The player keeps it, so the stage goes on showing it, and sets it.
    virtual void setCursor(int32_t cursor) = 0;
    virtual PlayerInput input() = 0;
    // Ticks since the timeout clock was last restarted.
    virtual uint32_t timeoutElapsed() = 0;
    virtual uint32_t timeoutLength() = 0; // ticks; 10800 at start
    virtual void setTimeoutLength(uint32_t ticks) = 0;
    virtual int32_t timeoutOnMouse() = 0; // a mouse press restarts the timeout
    virtual void setTimeoutOnMouse(int32_t flag) = 0;
    virtual int32_t timeoutEveryFrame() = 0; // every frame restarts the timeout
    virtual void setTimeoutEveryFrame(int32_t flag) = 0;
    // Two values of the player's own that scripts read and write by number (27 and 30).
    virtual int32_t playerProperty(int32_t number) = 0;
    virtual void setPlayerProperty(int32_t number, int32_t value) = 0;

    // The browser's request interface; null while the player has none.
    virtual BrowserLink* browser() = 0;
};

} // namespace skv
