// Helpers for the movie tests: frame strings built record by record, an object store behind a
// stream, members and a stage that write down what the score asks of them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/guid.h"
#include "core/memorypipe.h"
#include "core/objectmanager.h"
#include "core/spritechannel.h"
#include "core/streamcontext.h"
#include "movie/frameimage.h"
#include "movie/scorestage.h"

namespace skv::test {

// One change record: `bytes` go to image offset `offset`.
struct Record {
    int16_t offset;
    std::vector<uint8_t> bytes;
    int32_t count = kSizeOfBytes; // the stored count
    static constexpr int32_t kSizeOfBytes = 0x10000;
};

inline void put16(std::vector<uint8_t>& v, int32_t x) {
    v.push_back(static_cast<uint8_t>(x & 0xFF));
    v.push_back(static_cast<uint8_t>((x >> 8) & 0xFF));
}

inline std::vector<uint8_t> le16(int32_t x) {
    std::vector<uint8_t> v;
    put16(v, x);
    return v;
}

// Image offset of a field of a channel.
constexpr int16_t at(int channel, int offset) {
    return static_cast<int16_t>(channel * SpriteChannel::kSize + offset);
}

// Frame strings, one frame at a time, ended by a zero length unless asked otherwise.
class FrameString {
public:
    FrameString& frame(const std::vector<Record>& records) {
        std::vector<uint8_t> body;
        for (const Record& r : records) {
            put16(body,
                  r.count != Record::kSizeOfBytes ? r.count : static_cast<int32_t>(r.bytes.size()));
            put16(body, r.offset);
            body.insert(body.end(), r.bytes.begin(), r.bytes.end());
        }
        put16(bytes_, static_cast<int32_t>(body.size() + 2));
        bytes_.insert(bytes_.end(), body.begin(), body.end());
        return *this;
    }
    // A frame that only sets sprite `sprite`'s cast member (sprite n is channel n + 1).
    FrameString& cast(int sprite, int16_t member) {
        return frame({{at(sprite + 1, 6), le16(member)}});
    }
    FrameString& raw(const std::vector<uint8_t>& bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    std::vector<uint8_t> bytes(bool endMarker = true) const {
        std::vector<uint8_t> v = bytes_;
        if (endMarker) put16(v, 0);
        return v;
    }

private:
    std::vector<uint8_t> bytes_;
};

// A stream that is only its object store; nothing is arriving, so look-ups never wait.
class StoreStream : public StreamContext {
public:
    qmsObjectManager store;

    ~StoreStream() override { store.clear(); } // the manager leaves its objects to whoever stops

    qmsObjectManager* getObjectManager() override { return &store; }
    void post(int32_t) override {}
    bool onProgress(uint32_t, uint32_t) override { return true; }
    void declareBufferingComplete() override {}
    bool isBufferingComplete() const override { return true; }
    void startSerializeThread() override {}
    void stopSerializeThread() override {}
    void setRateMap(skvObject*) override {}
    void setReady() override {}
    bool isStopped() const override { return false; }
    int32_t streamVersion() const override { return 0; }

    // Adds `object` as member number n; the store owns it.
    template <class T> T* addMember(int32_t n, T* object) {
        object->objectId = memberGuid(n);
        store.add(object);
        return object;
    }
};

using Log = std::vector<std::string>;

// A member that writes "draw 7 @30" / "place 7 @30" (member number, channel left) or, without a
// channel, "draw 7" / "place 7" into a shared log.
class RecordingMember : public skvObject {
public:
    RecordingMember(Log* log, int32_t number) : log_(log), number_(number) {}
    void draw(skvView*, const SpriteChannel* channel) override { note("draw", channel); }
    void place(skvView*, const SpriteChannel* channel) override { note("place", channel); }

private:
    void note(const char* what, const SpriteChannel* channel) {
        std::string s = std::string(what) + " " + std::to_string(number_);
        if (channel) s += " @" + std::to_string(channel->left());
        log_->push_back(s);
    }
    Log* log_;
    int32_t number_;
};

// A stage that writes down every request, sharing the members' log so the order shows.
class RecordingStage : public ScoreStage {
public:
    explicit RecordingStage(Log* log) : log_(log) {}
    skvView* view() override { return nullptr; }
    void addDirtyMember(skvObject* member) override {
        log_->push_back("dirty " + std::to_string(static_cast<int32_t>(member->objectId.Data1)));
    }
    void paletteChanged() override { log_->push_back("palette changed"); }
    void setWaitMode(int32_t mode) override { log_->push_back("wait " + std::to_string(mode)); }
    void setTempo(int32_t fps) override { log_->push_back("tempo " + std::to_string(fps)); }
    void drawShape(const SpriteChannel& channel, int32_t kind) override {
        log_->push_back("shape " + std::to_string(kind) + " @" + std::to_string(channel.left()));
    }
    void runTransition(int32_t effect, int32_t chunk, int32_t ms, int32_t parameter) override {
        log_->push_back("transition " + std::to_string(effect) + " " + std::to_string(chunk) + " " +
                        std::to_string(ms) + " " + std::to_string(parameter));
    }

private:
    Log* log_;
};

inline std::vector<uint8_t> storedBytes(const std::function<void(uArchive&)>& f) {
    auto* pipe = new MemoryPipe;
    uArchive ar(pipe, uArchive::kStoring);
    f(ar);
    return pipe->bytes();
}

inline void loadFrom(std::vector<uint8_t> bytes, const std::function<void(uArchive&)>& f) {
    uArchive ar(new MemoryPipe(std::move(bytes)), uArchive::kLoading);
    f(ar);
}

} // namespace skv::test
