// Text members: a string rendered with FreeType into the member's pixels: ink black (255), paper
// white (0), the only two values a text keeps in the stream. Depth 1 uses FreeType's monochrome
// rasterizer and stores a 1-bit bitmap; depth 8 thresholds the smooth rasterizer's coverage at
// one half and stores an 8-bit bitmap of the movie's palette. The player's inks treat a text
// like a bitmap in the text's own colours: copy paints ink and paper, transparent leaves the
// paper out.
#include <algorithm>

#include "colourmap.h"
#include "core/guid.h"
#include "core/moviewriter.h"
#include "gfx/palette.h"
#include "gfx/text.h"
#include "members.h"
#include "textrender.h"

namespace skvc {

namespace {

// Where a font named without a file in the source is looked for (fonts-dejavu-core).
constexpr const char* kSystemFontDir = "/usr/share/fonts/truetype/dejavu/";
constexpr const char* kDefaultFont = "DejaVuSans.ttf";

std::vector<uint8_t> readFont(const MemberContext& context, Fields& f) {
    const std::string name = f.string("font").value_or(kDefaultFont);
    std::vector<uint8_t> bytes;
    std::string error;
    if (context.files.read(name, &bytes, &error)) return bytes;
    std::string systemError;
    if (SourceFiles::isInside(name) && name.find('/') == std::string::npos &&
        skv::readWholeFile(kSystemFontDir + name, &bytes, &systemError, 64u * 1024 * 1024))
        return bytes;
    f.fail("font", "'" + name + "' is neither a file of the source nor a font in " +
                       kSystemFontDir + " (install fonts-dejavu-core, or put the font file in " +
                       "the source directory)");
}

} // namespace

void compileTextMember(MemberContext& context, Fields& f, CompiledMember& member) {
    const std::optional<std::string> text = f.string("text");
    if (!text) f.fail("text", "is missing: the words to show (\\n starts a new line)");
    if (text->size() > 65536) f.fail("text", "is longer than 65536 bytes");
    const std::vector<uint8_t> font = readFont(context, f);
    const int32_t pixelSize = static_cast<int32_t>(f.integer("size", 16, 4, 512));
    const int64_t depth = f.integer("depth", 8, 1, 8);
    if (depth != 1 && depth != 8) f.fail("depth", "must be 1 or 8");
    const COLORREF ink = context.colourField(f, "colour", RGB(0, 0, 0));
    const COLORREF paper = context.colourField(f, "background", RGB(255, 255, 255));
    const int32_t paletteNumber = context.paletteField(f, "palette");

    TextPicture picture;
    std::string error;
    if (!renderText(font, *text, pixelSize, static_cast<int32_t>(depth), &picture, &error))
        f.fail(depth == 1 || error.find("font") == std::string::npos ? "text" : "font", error);

    auto member_ = std::make_unique<skv::skvText>();
    const RGBQUAD* colours =
        depth == 1 ? skv::builtInColours(-1) : context.paletteColours(paletteNumber);
    if (!member_->create(picture.width, picture.height, nullptr, colours))
        f.fail("text", "the rendered text is too large");
    // The stream keeps a text's pixels as ink (255) or paper (0) only: every other value reads
    // back as paper. The colours are the text's own, applied when it is drawn.
    std::vector<uint8_t> pixels(picture.coverage.size());
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = picture.coverage[i] >= 128 ? 255 : 0;
    if (depth == 1) {
        storeOneBitPixels(pixels, paletteNumber);
        member_->paletteNumber = -1;
    } else {
        member_->paletteNumber = static_cast<int16_t>(paletteNumber);
    }
    for (int32_t y = 0; y < picture.height; ++y)
        std::copy_n(&pixels[size_t(y) * picture.width], picture.width, member_->pixelAt(0, y));
    member_->setAuthoredDepth(static_cast<uint16_t>(depth));
    member_->textColour = ink;
    member_->backColour = paper;
    member_->objectId = skv::memberGuid(member.number);
    member.width = picture.width;
    member.height = picture.height;
    member.object = std::move(member_);
}

} // namespace skvc
