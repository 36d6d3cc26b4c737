// Feeds arbitrary bytes to the BMP reader; a picture that reads is unpacked, written back and
// stored, as the authoring tool would.
#include <cstdint>

#include "core/archive.h"
#include "core/memorypipe.h"
#include "gfx/dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    skv::nDIB bitmap;
    if (!bitmap.readBMP(data, size)) return 0;
    (void)bitmap.bmpBytes();
    bitmap.unpack4();
    bitmap.unpack1();
    (void)bitmap.countUsedColours();
    int32_t count = 0;
    if (HPALETTE p = bitmap.createPalette(&count)) DeleteObject(p);
    skv::uArchive out(new skv::MemoryPipe, skv::uArchive::kStoring);
    bitmap.serialize(out);
    return 0;
}
