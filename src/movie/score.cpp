#include "movie/score.h"

#include <algorithm>
#include <cstdlib>

#include "core/archive.h"
#include "core/classids.h"
#include "core/errors.h"
#include "core/guid.h"
#include "core/objectmanager.h"
#include "core/streamcontext.h"
#include "movie/scorelet.h"

namespace skv {

namespace {

// The frame string is read in pieces, so a hostile length costs only as much memory as the
// stream really delivers before it runs short.
constexpr int32_t kReadChunk = 64 * 1024;

int32_t readCount(uArchive& ar, int32_t limit) {
    const int32_t n = ar.readInt32();
    if (n < 0 || n > limit) throw CoreError{kErrShortRead};
    return n;
}

} // namespace

skvScore::skvScore() {
    setClassId(CLSID_skvScore);
    // The score is found in the object store under its class identifier.
    objectId = CLSID_skvScore;
    rebuildCursor();
}

skvScore::~skvScore() {
    destroyScorelets();
}

void skvScore::rebuildCursor() {
    cursor_ = std::make_unique<skvScoreCursor>(data_.data(), static_cast<int32_t>(data_.size()));
}

void skvScore::setScoreData(std::vector<uint8_t> data) {
    cursor_.reset();
    data_ = std::move(data);
    rebuildCursor();
}

int32_t skvScore::sizeHint() {
    int32_t total = static_cast<int32_t>(data_.size()) + 20;
    NMTX_SCOPED(guard, &scoreletLock_);
    for (skvScorelet* s : scorelets_)
        total += s->sizeHint();
    return total;
}

void skvScore::serialize(uArchive& ar) {
    if (ar.isStoring()) {
        skvObject::serialize(ar);
        ar.writeInt32(storedPaletteNumber(defaultPalette_));
        ar.writeInt32(defaultTempo_).writeInt32(stageColour_);
        ar.writeInt32(stageWidth_).writeInt32(stageHeight_);
        ar.writeInt32(static_cast<int32_t>(data_.size()));
        if (!data_.empty()) ar.write(data_.data(), static_cast<int32_t>(data_.size()));
        ar.writeInt32(hubFrame_);
        ar.writeInt32(actions_.count());
        for (const FrameAction& a : actions_.entries())
            ar.writeInt32(a.kind).writeInt32(a.target);
        // Scorelets made at run time store no body, so they are not counted either: a count
        // that included them would make a reader take the next object for their bodies.
        NMTX_SCOPED(guard, &scoreletLock_);
        int32_t stored = 0;
        for (skvScorelet* s : scorelets_)
            stored += s->isStored() ? 1 : 0;
        ar.writeInt32(stored);
        for (skvScorelet* s : scorelets_)
            if (s->isStored()) s->serialize(ar);
        return;
    }
    setDefaultPalette(paletteFromStored(ar.readInt32()));
    defaultTempo_ = ar.readInt32();
    stageColour_ = ar.readInt32();
    const int32_t width = ar.readInt32();
    const int32_t height = ar.readInt32();
    setStageSize(width, height);

    cursor_.reset();
    data_.clear();
    const int32_t length = readCount(ar, kMaxScoreData);
    std::vector<uint8_t> data;
    while (static_cast<int32_t>(data.size()) < length) {
        const size_t at = data.size();
        const int32_t n = std::min(kReadChunk, length - static_cast<int32_t>(at));
        data.resize(at + static_cast<size_t>(n));
        ar.read(data.data() + at, n);
    }
    hubFrame_ = ar.readInt32();

    const int32_t actionCount = readCount(ar, FrameActions::kMaxActions);
    std::vector<FrameAction> actions(static_cast<size_t>(actionCount));
    for (FrameAction& a : actions) {
        a.kind = ar.readInt32();
        a.target = ar.readInt32();
    }
    actions_.assign(std::move(actions));

    const int32_t scoreletCount = readCount(ar, kMaxScorelets);
    destroyScorelets();
    for (int32_t i = 0; i < scoreletCount; ++i) {
        std::unique_ptr<skvScorelet> s(new skvScorelet);
        s->serialize(ar);
        s->attachStream(stream_);
        addScorelet(s.release());
    }

    streamed_ = 1;
    setScoreData(std::move(data));
    goToFrame(0);
}

void skvScore::destroyScorelets() {
    NMTX_SCOPED(guard, &scoreletLock_);
    for (skvScorelet* s : scorelets_)
        s->destroy();
    scorelets_.clear();
}

int32_t skvScore::goToFrame(int32_t n) {
    goFlag_ = 1;
    if (cursor_->frameNumber() >= n || n == 0) cursor_->reset();
    return cursor_->decodeUpTo(n) ? 1 : 0;
}

int32_t skvScore::gotoHubFrame() {
    return goToFrame(hubFrame_);
}

int32_t skvScore::gotoFrame(int32_t n) {
    if (!isHub() || frameNumber() != hubFrame_ || n == hubFrame_) return goToFrame(n);
    startTrigger(n);
    return 1;
}

int32_t skvScore::rewind() {
    cursor_->fullReset();
    pendingJump_ = cursor_->current.frameScript();
    runningTrigger_ = 0;
    return 1;
}

int32_t skvScore::nextFrame() {
    const int32_t jump = pendingJump_;
    bool jumped = false;
    int32_t result = 0;
    if (isHub() && jump != 0) {
        actionOwner()->fireFrameActions(frameNumber() + actionFrameOffset());
        pendingJump_ = 0;
        result = jump == hubFrame_ ? gotoHubFrame() : goToFrame(jump);
        jumped = true;
    }
    if (isHub() && (frameNumber() == hubFrame_ || (jumped && jump == hubFrame_))) {
        updateScorelets();
        // A parked hub score keeps showing its hub frame while scorelets play over it.
        if (scoreletCount() > 0) return 1;
    }
    if (jumped) return result;
    if (!cursor_->decodeUpTo(frameNumber() + 1)) return 0;
    pendingJump_ = cursor_->current.frameScript();
    return 1;
}

int32_t skvScore::countFrames() {
    frameCountCache_ = cursor_->countFrames();
    return frameCountCache_;
}

void skvScore::fireFrameActions(int32_t frame) {
    actions_.forFrame(frame, [this](const FrameAction& a) {
        const int32_t value = a.value();
        if (value < 0) {
            if (skvObject* member = findMemberWaiting(-value)) {
                if (member->hidden && a.shows()) revealed_.push_back(member);
                member->hidden = a.shows() ? 0 : 1;
            }
        } else if (value > 0) {
            if (skvScorelet* s = findScorelet(value)) {
                s->stop();
                s->needsClear = 1;
            }
        }
    });
}

int32_t skvScore::randomChance() {
    return std::rand() % 20 == 1 ? 1 : 0;
}

skvObject* skvScore::findMember(int32_t n) {
    if (n == 0 || !stream_) return nullptr;
    qmsObjectManager* store = stream_->getObjectManager();
    return store ? store->find(memberGuid(n)) : nullptr;
}

skvObject* skvScore::findMemberWaiting(int32_t n) {
    if (n == 0 || !stream_) return nullptr;
    qmsObjectManager* store = stream_->getObjectManager();
    return store ? store->findOrWait(memberGuid(n)) : nullptr;
}

void skvScore::attachStream(StreamContext* stream) {
    stream_ = stream;
    NMTX_SCOPED(guard, &scoreletLock_);
    for (skvScorelet* s : scorelets_)
        s->attachStream(stream);
}

SpriteChannel* skvScore::spriteChannel(int32_t sprite) {
    if (sprite < 0 || sprite > 48) return nullptr;
    return &cursor_->current[sprite + 1];
}

SpriteChannel* skvScore::puppetChannel(int32_t sprite) {
    if (sprite < 0 || sprite > 48) return nullptr;
    return &cursor_->puppet[sprite + 1];
}

void skvScore::puppetSprite(int32_t sprite, int32_t flag) {
    if (sprite == 0) return;
    SpriteChannel* current = spriteChannel(sprite);
    SpriteChannel* puppet = puppetChannel(sprite);
    if (!current) return;
    if (flag) {
        if (!puppet->isPuppet()) *puppet = *current;
    } else if (puppet->isPuppet()) {
        *current = *puppet;
    }
    puppet->setPuppet(flag != 0);
    current->setPuppet(flag != 0);
}

SpriteChannel* skvScore::propertyChannel(int32_t sprite) {
    SpriteChannel* current = spriteChannel(sprite);
    if (!current) return nullptr;
    SpriteChannel* puppet = puppetChannel(sprite);
    return current->isPuppet() || puppet->isPuppet() ? puppet : current;
}

void skvScore::setSoundPuppet(int32_t flag) {
    if (flag) {
        if (soundPuppet_) return;
        savedSound_ = cursor_->current.soundNumber();
        soundPuppet_ = 1;
    } else if (soundPuppet_) {
        soundPuppet_ = 0;
        cursor_->current.setSoundNumber(savedSound_);
    }
}

void skvScore::puppetSound(int32_t number) {
    if (number == 0) {
        setSoundPuppet(0);
        return;
    }
    setSoundPuppet(1);
    cursor_->current.setSoundNumber(static_cast<int16_t>(number));
    soundForced_ = 1;
}

int32_t skvScore::visibility(int32_t sprite) const {
    if (sprite < 0 || sprite > 48) return 0;
    return cursor_->visibility[sprite + 1];
}

void skvScore::setVisibility(int32_t sprite, int32_t flag) {
    if (sprite < 0 || sprite > 48) return;
    cursor_->visibility[sprite + 1] = flag;
    forceRedraw_ = 1;
}

void skvScore::setPuppetTransition(int32_t flag) {
    if (flag && !puppetTransition_) {
        savedTransition_ = cursor_->current.transitionEffect();
        savedTransitionParams_ = cursor_->current.transitionParams();
    }
    puppetTransition_ = flag ? 1 : 0;
    if (!flag) puppetValuesSet_ = false;
}

void skvScore::setPuppetTransitionValues(uint8_t effect, uint16_t params) {
    puppetEffect_ = effect;
    puppetParams_ = params;
    puppetValuesSet_ = true;
}

bool skvScore::puppetValuesInForce() const {
    return puppetTransition_ && puppetValuesSet_;
}

int32_t skvScore::transitionToRun() const {
    return puppetValuesInForce() ? puppetEffect_ : cursor_->current.transitionEffect();
}

void skvScore::stageSize(int32_t* width, int32_t* height) const {
    if (width) *width = stageWidth_;
    if (height) *height = stageHeight_;
}

void skvScore::setStageSize(int32_t width, int32_t height) {
    stageWidth_ = width;
    stageHeight_ = height;
    stageRect_ = RECT{0, 0, width, height};
}

} // namespace skv
