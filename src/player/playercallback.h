// What the player tells its host: every status code the stream reports (after the player has
// acted on it), and its own state changes as the codes 5010 (stopped, ready) and 5011 (playing).
// Called without the view lock, from the engine thread or the thread that changed the state.
#pragma once

#include <cstdint>

namespace skv {

constexpr int32_t kStsPlayerStopped = 5010;
constexpr int32_t kStsPlayerPlaying = 5011;
// A double click on the stopped stage; data is the cast member under it (0: none).
constexpr int32_t kStsMemberClicked = 5008;

class PlayerCallback {
public:
    virtual ~PlayerCallback() = default;
    virtual void onStatus(int32_t code, int32_t data) = 0;
    // The controller entered state 0-3.
    virtual void onState(int32_t state) {}
};

} // namespace skv
