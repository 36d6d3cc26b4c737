// Feeds arbitrary bytes to the sprite, text and shape readers as a stored body (the first byte
// picks the class), then uses whatever loaded: hit tests with the matte mask and in hub hit
// mode, and storing it again.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/archive.h"
#include "core/memorypipe.h"
#include "gfx/shape.h"
#include "gfx/sprite.h"
#include "gfx/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The archive's short-read diagnostics would flood the fuzzer's output.
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    if (size < 1) return 0;
    std::unique_ptr<skv::NSprite> sprite;
    switch (data[0] % 3) {
    case 0:
        sprite = std::make_unique<skv::NSprite>();
        break;
    case 1:
        sprite = std::make_unique<skv::skvText>();
        break;
    default:
        sprite = std::make_unique<skv::skvShape>();
        break;
    }
    {
        skv::uArchive ar(new skv::MemoryPipe(std::vector<uint8_t>(data + 1, data + size)),
                         skv::uArchive::kLoading);
        try {
            sprite->serialize(ar);
        } catch (...) {
            return 0;
        }
    }
    skv::SpriteChannel channel{};
    channel.bytes[4] = skv::NSprite::kMatteInk;
    channel.setLeft(static_cast<int16_t>(size > 1 ? static_cast<int8_t>(data[1]) : 0));
    channel.setWidth(static_cast<int16_t>(sprite->width()));
    channel.setHeight(static_cast<int16_t>(sprite->height()));
    sprite->ink = skv::NSprite::kMatteInk;
    sprite->makeMask();
    for (int32_t hub = 0; hub < 2; ++hub) {
        sprite->hubHitMode = hub;
        for (int32_t y = -1; y <= sprite->height(); y += 3)
            for (int32_t x = -1; x <= sprite->width() + 130; x += 7)
                (void)sprite->hitTest(&channel, POINT{x, y});
    }
    skv::uArchive out(new skv::MemoryPipe, skv::uArchive::kStoring);
    sprite->serialize(out);
    return 0;
}
