// Bitmap members: a PNG or BMP picture mapped to a palette by nearest colour (optionally with
// Floyd-Steinberg dithering) at an authored depth of 8 (every entry), 4 (entries 0-7 and 248-255,
// the ones a 4-bit picture keeps) or 1 (black and white), stored raw or as JPEG.
#include <cstring>

#include "colourmap.h"
#include "core/guid.h"
#include "gfx/palette.h"
#include "gfx/sprite.h"
#include "image.h"
#include "members.h"

namespace skvc {

void compileBitmapMember(MemberContext& context, Fields& f, CompiledMember& member) {
    std::string fileName;
    std::vector<uint8_t> bytes = context.readAsset(f, "file", &fileName);
    RgbaImage image;
    std::string error;
    if (!decodeImage(bytes, &image, nullptr, &error)) f.fail("file", error);
    const int64_t depth = f.integer("depth", 8, 1, 8);
    if (depth != 1 && depth != 4 && depth != 8) f.fail("depth", "must be 1, 4 or 8");
    const int32_t paletteNumber = context.paletteField(f, "palette");
    const bool dither = f.boolean("dither", false);
    const std::optional<int64_t> jpeg = f.integer("jpeg", 0, 100);
    if (jpeg && depth != 8) f.fail("jpeg", "JPEG storage needs depth 8");
    const int64_t transparent = f.integer("transparent", 0, 0, 255);
    const auto registration = f.pair("registration", -32768, 32767);
    const int64_t trigger = f.integer("trigger", 0, 0, 32767);

    ColourMapping mapping;
    mapping.dither = dither;
    mapping.transparentIndex = static_cast<uint8_t>(transparent);
    const RGBQUAD* colours = context.paletteColours(paletteNumber);
    int16_t storedPalette = static_cast<int16_t>(paletteNumber);
    if (depth == 1) {
        colours = skv::builtInColours(-1);
        mapping.candidates = {0, 255};
        mapping.transparentIndex = 0;
        storedPalette = -1;
    } else if (depth == 4) {
        for (int i = 0; i < 8; ++i)
            mapping.candidates.push_back(static_cast<uint8_t>(i));
        for (int i = 248; i < 256; ++i)
            mapping.candidates.push_back(static_cast<uint8_t>(i));
    }
    mapping.palette = colours;
    std::vector<uint8_t> indices = mapToPalette(image, mapping);
    if (depth == 1) storeOneBitPixels(indices, paletteNumber);

    auto sprite = std::make_unique<skv::NSprite>();
    if (!sprite->create(image.width, image.height, nullptr, colours))
        f.fail("file", "the picture is too large");
    for (int32_t y = 0; y < image.height; ++y)
        std::memcpy(sprite->pixelAt(0, y), &indices[size_t(y) * image.width], size_t(image.width));
    sprite->setAuthoredDepth(static_cast<uint16_t>(depth));
    sprite->paletteNumber = storedPalette;
    if (jpeg) {
        sprite->setCompression(skv::nDIB::kCompressionJPEG);
        sprite->setQuality(static_cast<int32_t>(*jpeg));
    }
    if (registration) {
        sprite->registrationX = static_cast<int32_t>(registration->first);
        sprite->registrationY = static_cast<int32_t>(registration->second);
    }
    sprite->triggerNumber = static_cast<int32_t>(trigger);
    sprite->objectId = skv::memberGuid(member.number);
    member.width = image.width;
    member.height = image.height;
    member.object = std::move(sprite);
}

} // namespace skvc
