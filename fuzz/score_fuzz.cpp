// Feeds arbitrary bytes to the score twice: as a bare frame string to the frame cursor, and as
// the body of a stored score. Whatever loads is then played: frames gone to forwards and
// backwards, advanced with its jumps and scorelets, puppeted, rendered and stored again.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/archive.h"
#include "core/guid.h"
#include "core/memorypipe.h"
#include "core/objectmanager.h"
#include "core/streamcontext.h"
#include "gfx/dib.h"
#include "movie/score.h"
#include "movie/scorecursor.h"
#include "movie/scorestage.h"

namespace {

class Stream : public skv::StreamContext {
public:
    Stream() {
        // A few members for the channels to find: plain objects and a bitmap.
        for (int32_t n = 1; n <= 4; ++n) {
            auto* o = new skv::skvObject;
            o->objectId = skv::memberGuid(n);
            store.add(o);
        }
        auto* bitmap = new skv::nDIB;
        bitmap->objectId = skv::memberGuid(5);
        store.add(bitmap);
    }
    ~Stream() override { store.clear(); }
    skv::qmsObjectManager* getObjectManager() override { return &store; }
    void post(int32_t) override {}
    bool onProgress(uint32_t, uint32_t) override { return true; }
    void declareBufferingComplete() override {}
    bool isBufferingComplete() const override { return true; }
    void startSerializeThread() override {}
    void stopSerializeThread() override {}
    void setRateMap(skv::skvObject*) override {}
    void setReady() override {}
    bool isStopped() const override { return false; }
    int32_t streamVersion() const override { return 0; }

    skv::qmsObjectManager store;
};

class Stage : public skv::ScoreStage {
public:
    skv::skvView* view() override { return nullptr; }
    void addDirtyMember(skv::skvObject*) override {}
    void paletteChanged() override {}
    void setWaitMode(int32_t) override {}
    void setTempo(int32_t) override {}
    void drawShape(const skv::SpriteChannel&, int32_t) override {}
    void runTransition(int32_t, int32_t, int32_t, int32_t) override {}
};

void play(skv::skvScore& score, int32_t seed) {
    Stage stage;
    const int32_t frames = score.countFrames();
    score.rewind();
    score.renderFrame(stage, 1);
    for (int i = 0; i < 64; ++i) {
        if (!score.nextFrame()) break;
        if (i == 3) score.puppetSprite(seed % 50, 1);
        if (i == 5) score.puppetSound(seed);
        score.renderFrame(stage, 0);
    }
    score.gotoFrame(frames / 2);
    score.gotoFrame(seed % 64);
    score.gotoFrame(score.hubFrame());
    score.gotoFrame(seed % 16 + 1);
    for (int i = 0; i < 16 && score.nextFrame(); ++i)
        score.renderFrame(stage, 0);
    score.goToFrame(1);
    score.renderFrame(stage, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The archive's short-read diagnostics would flood the fuzzer's output.
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    Stream stream; // per input: a static one would be torn down after the platform's thread records
    const int32_t seed = size > 0 ? data[0] : 0;

    skv::skvScoreCursor cursor(data, static_cast<int32_t>(size));
    cursor.countFrames();
    cursor.decodeUpTo(1 << 20);
    cursor.reset();

    skv::skvScore score;
    score.attachStream(&stream);
    {
        skv::uArchive ar(new skv::MemoryPipe(std::vector<uint8_t>(data, data + size)),
                         skv::uArchive::kLoading);
        try {
            score.serialize(ar);
        } catch (...) {
            return 0;
        }
    }
    play(score, seed);
    skv::uArchive out(new skv::MemoryPipe, skv::uArchive::kStoring);
    score.serialize(out);
    return 0;
}
