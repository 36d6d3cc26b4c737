// skvScorelet: a secondary frame sequence that plays over a hub score. Its frames are not
// stored with it: they are cut from the score's own frame string at first use, starting at the
// score frame its trigger names, so its frame 1 is that score frame.
//
// Stored form (no object header: it is stored inside the score's body):
//
// | field       | type  | notes                                              |
// |-------------|-------|----------------------------------------------------|
// | mode        | int32 | 1 starts by itself, 2 idles at random, 4 one-shot  |
// | start frame | int32 | the score frame its frames begin at; its trigger   |
// | reserved    | int32 |                                                    |
// | active      | int32 |                                                    |
// | pause count | int32 | at most 32                                         |
// | pause list  | count x int32 | triggers during whose play it is held      |
//
// Mode-16 scorelets are made at run time for a clicked trigger that had none and are never
// stored.
#pragma once

#include <cstdint>
#include <vector>

#include "movie/score.h"

namespace skv {

class skvScorelet : public skvScore {
public:
    enum Mode : int32_t { kStartsItself = 1, kIdle = 2, kOneShot = 4, kMadeForClick = 16 };
    static constexpr int32_t kMaxPauseTriggers = 32;

    skvScorelet();

    int32_t sizeHint() override;
    void serialize(uArchive& ar) override;
    void setActive(int32_t flag) override { active = flag; }
    int32_t isActive() override { return active && framesCut_ ? 1 : 0; }
    // Reached when its frames jump to the hub frame: finishing.
    int32_t gotoHubFrame() override;
    int32_t rewind() override;
    int32_t nextFrame() override;
    void setTrigger(int32_t n) override { startFrame = trigger = n; }
    int32_t triggerNumber() override { return startFrame; }
    int32_t gotoFrame(int32_t n) override { return goToFrame(n); }
    int32_t firstSpriteChannel() override { return 3; }
    // Slot 30.
    virtual void setEnablerTrigger(int32_t n) { enablerTrigger = n; }
    // Slot 31.
    virtual int32_t enablerTriggerNumber() { return enablerTrigger; }

    // Takes the score's frame string from its frame `start` (frame 1 counts as the first) to
    // the end. A start past the last frame gives no frames.
    void cutFrames(const skvScore& score, int32_t start);
    bool framesCut() const { return framesCut_ != 0; }
    // Stops playing; a scorelet that was playing must be erased at the next render.
    void stop();
    bool pausesFor(int32_t runningTrigger) const;
    // The highest channel any of its frames uses, found by stepping through them.
    void computeMaxLayer();
    bool isStored() const override { return mode != kMadeForClick; }

    int32_t mode = kStartsItself;
    int32_t startFrame = 0;
    int32_t trigger = 0;
    int32_t enablerTrigger = 0;
    int32_t reserved = 0;
    int32_t active = 0;
    int32_t done = 0;
    int32_t armed = 0;
    int32_t needsClear = 0;
    int32_t enabled = 1;
    std::vector<int32_t> pauseList;
    int32_t maxLayer = 0;

protected:
    skvScore* actionOwner() override;
    int32_t actionFrameOffset() override { return trigger; }

private:
    int32_t framesCut_ = 0;
};

} // namespace skv
