#include "movie/scorelet.h"

#include <algorithm>

#include "core/archive.h"
#include "core/classids.h"
#include "core/errors.h"
#include "core/objectmanager.h"
#include "core/streamcontext.h"
#include "movie/spriteenabler.h"

namespace skv {

skvScorelet::skvScorelet() {
    setClassId(CLSID_skvScorelet);
    UuidCreate(&objectId);
}

int32_t skvScorelet::sizeHint() {
    if (mode == kMadeForClick) return 0;
    return 20 + 4 * static_cast<int32_t>(pauseList.size());
}

void skvScorelet::serialize(uArchive& ar) {
    if (mode == kMadeForClick) return;
    if (ar.isStoring()) {
        ar.writeInt32(mode).writeInt32(startFrame).writeInt32(reserved).writeInt32(active);
        ar.writeInt32(static_cast<int32_t>(pauseList.size()));
        for (int32_t t : pauseList)
            ar.writeInt32(t);
        return;
    }
    mode = ar.readInt32();
    startFrame = ar.readInt32();
    reserved = ar.readInt32();
    active = ar.readInt32();
    const int32_t count = ar.readInt32();
    if (count < 0 || count > kMaxPauseTriggers) throw CoreError{kErrShortRead};
    pauseList.resize(static_cast<size_t>(count));
    for (int32_t& t : pauseList)
        t = ar.readInt32();
    trigger = startFrame;
    enabled = 0;
}

void skvScorelet::cutFrames(const skvScore& score, int32_t start) {
    const std::vector<uint8_t>& from = score.scoreData();
    size_t pos = 0;
    for (int32_t frame = 1; frame < start; ++frame) {
        const int32_t length = frameLengthAt(from.data(), from.size(), pos);
        if (length == 0) break;
        pos += static_cast<size_t>(length);
    }
    std::vector<uint8_t> frames(from.begin() + static_cast<std::ptrdiff_t>(pos), from.end());
    // The end marker, for strings stored without one.
    frames.push_back(0);
    frames.push_back(0);
    setScoreData(std::move(frames));
    framesCut_ = 1;
}

void skvScorelet::stop() {
    if (active) needsClear = 1;
    active = 0;
}

bool skvScorelet::pausesFor(int32_t runningTrigger) const {
    if (runningTrigger == 0) return false;
    return std::find(pauseList.begin(), pauseList.end(), runningTrigger) != pauseList.end();
}

int32_t skvScorelet::rewind() {
    // A one-shot that has played is left on its last frame.
    if (mode == kOneShot && done) return 1;
    // What the scorelet showed last stays its previous image, so that the first frame drawn
    // after the rewind erases it from the stage: a looping scorelet would otherwise leave its
    // last picture on the window for good.
    const FrameImage shown = cursor().previous;
    const int32_t result = skvScore::rewind();
    cursor().previous = shown;
    return result;
}

int32_t skvScorelet::nextFrame() {
    if (mode == kOneShot && done) return 1;
    return skvScore::nextFrame();
}

int32_t skvScorelet::gotoHubFrame() {
    if (!done && enablerTrigger != 0 && armed && stream_) {
        if (qmsObjectManager* store = stream_->getObjectManager()) {
            auto* enabler = new skvSpriteEnabler(enablerTrigger);
            const GUID id = enabler->objectId;
            store->add(enabler);
            (void)store->find(id);
        }
    }
    done = 1;
    int32_t result = 0;
    if (mode == kOneShot) {
        enabled = 0;
        return 0;
    }
    if (mode == kStartsItself) result = rewind();
    goToFrame(0);
    return result;
}

void skvScorelet::computeMaxLayer() {
    const int32_t savedMode = mode, savedActive = active, savedDone = done;
    mode = kIdle;
    rewind();
    const int32_t first = firstSpriteChannel();
    int32_t highest = first - 1;
    skvScoreCursor& c = cursor();
    do {
        for (int32_t i = FrameImage::kChannels - 1; i >= first; --i) {
            if (c.current[i].castNumber() != 0) {
                highest = std::max(highest, i);
                break;
            }
        }
    } while (c.decodeUpTo(c.frameNumber() + 1));
    maxLayer = highest;
    mode = savedMode;
    active = savedActive;
    done = savedDone;
    rewind();
}

skvScore* skvScorelet::actionOwner() {
    if (stream_) {
        if (qmsObjectManager* store = stream_->getObjectManager())
            if (auto* score = dynamic_cast<skvScore*>(store->find(CLSID_skvScore))) return score;
    }
    return this;
}

} // namespace skv
