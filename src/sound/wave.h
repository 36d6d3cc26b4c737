// NWave: a sound cast member, one block of PCM samples.
//
// Stored form (after the object header):
//
// | order | field          | notes                                                          |
// |-------|----------------|----------------------------------------------------------------|
// | 1     | int32 tag      | "NWVE" (0x4556574E); not checked on reading                    |
// | 2     | int32 length L | bytes of sample data that follow                               |
// | 3     | int32 loops    | play in an endless loop                                        |
// | 4     | int32 kind     | 0x1000001 voice-coded; 0x1000000 raw after value reduction;    |
// |       |                | anything else raw                                              |
// | 5     | int32 variant  | 0x8000001 (8000/s), 0x8000002 (11025/s), 0x8000004 (22050/s)   |
// | 6     | 18 bytes       | WAVEFORMATEX as in memory                                      |
// | 7     | L bytes        | voice-coded data for kind 0x1000001, PCM otherwise             |
//
// A voice-coded sound reads as 16-bit PCM at the variant's rate, whatever its stored format
// says; one that does not decode is left without samples.
#pragma once

#include <cstdint>
#include <vector>

#include "core/object.h"
#include "platform/mmsystem.h"

namespace skv {

class NWave : public skvObject {
public:
    static constexpr int32_t kTagNWVE = 0x4556574E;
    static constexpr int32_t kStorageReduced = 0x1000000;
    static constexpr int32_t kStorageVoice = 0x1000001;
    static constexpr int32_t kStorageRaw = 0;
    // Longest stored sample data read; beyond it the stream is taken as corrupt.
    static constexpr int32_t kMaxStoredBytes = 64 * 1024 * 1024;

    NWave();

    // Replaces the samples by `frames` of silence in the format. 0, changing nothing, unless the
    // rate is 8000, 11025, 22050 or 44100 and the bits 8 or 16.
    int32_t allocate(int32_t frames, int32_t samplesPerSecond, int32_t bitsPerSample,
                     int32_t channels);

    // Slot 3: start at the stage's next flush, unless the player plays this member already.
    void draw(skvView* view, const SpriteChannel* channel) override;
    // Slot 4: stop at the stage's next flush if the player plays this member (not on a hub
    // score).
    void place(skvView* view, const SpriteChannel* channel) override;
    int32_t sizeHint() override { return sampleBytes() + 26; }
    void serialize(uArchive& ar) override;
    // Slot 8: the output has finished with the sound's buffer.
    virtual void notifyDone() {}

    int32_t sampleBytes() const { return static_cast<int32_t>(samples.size()); }

    // How sounds are stored by every writer of this process (kStorageRaw unless set), and the
    // value reduction threshold for kStorageReduced (0: none).
    static void setWriteStorageKind(int32_t kind);
    static int32_t writeStorageKind();
    static void setReductionThreshold(int32_t threshold);
    static int32_t reductionThreshold();

    WAVEFORMATEX format{};
    int32_t storageKind = kStorageVoice;
    int32_t codecVariant = 0x8000002;
    std::vector<uint8_t> samples;
    int32_t playing = 0;
    int32_t loops = 0;
    int32_t reduced = 0;

private:
    void load(uArchive& ar);
    void store(uArchive& ar);
};

} // namespace skv
