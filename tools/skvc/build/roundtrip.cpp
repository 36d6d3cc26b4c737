#include "roundtrip.h"

#include <zlib.h>

#include <memory>

#include "core/archive.h"
#include "core/classids.h"
#include "core/errors.h"
#include "core/guid.h"
#include "core/memorypipe.h"
#include "core/moviewriter.h"
#include "core/object.h"
#include "core/registry.h"
#include "gfx/dib.h"
#include "sound/voicecodec.h"
#include "sound/wave.h"

namespace skvc {

bool inflateBody(const std::vector<uint8_t>& stream, std::vector<uint8_t>* content) {
    content->clear();
    if (stream.size() < 32) return false;
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(stream.data() + 32);
    z.avail_in = static_cast<uInt>(stream.size() - 32);
    uint8_t buf[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = buf;
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        content->insert(content->end(), buf, buf + (sizeof buf - z.avail_out));
        if (rc == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END;
}

namespace {

std::vector<uint8_t> stored(skv::skvObject& object) {
    auto* pipe = new skv::MemoryPipe;
    skv::uArchive ar(pipe, skv::uArchive::kStoring);
    skv::writeObject(ar, object);
    return pipe->bytes();
}

} // namespace

RoundTripResult roundTrip(const std::vector<uint8_t>& stream) {
    RoundTripResult r;
    std::vector<uint8_t> content;
    if (!inflateBody(stream, &content)) {
        r.problem = "the stream's compressed body does not inflate";
        return r;
    }
    auto* pipe = new skv::MemoryPipe(content);
    skv::uArchive in(pipe, skv::uArchive::kLoading);
    size_t offset = 0;
    while (true) {
        std::unique_ptr<skv::skvObject> object;
        try {
            object.reset(skv::readObject(in));
        } catch (const skv::CoreError&) {
            r.problem = "object " + std::to_string(r.objects) + " cannot be read back";
            return r;
        }
        if (!object) {
            r.problem = "object " + std::to_string(r.objects) +
                        " cannot be read back (no end marker, or an unknown class)";
            return r;
        }
        const size_t end = content.size() - pipe->remaining();
        const std::vector<uint8_t> original(content.begin() + static_cast<long>(offset),
                                            content.begin() + static_cast<long>(end));
        offset = end;
        ++r.objects;
        auto* dib = dynamic_cast<skv::nDIB*>(object.get());
        const bool jpeg = dib && dib->compression() == skv::nDIB::kCompressionJPEG;
        auto* wave = dynamic_cast<skv::NWave*>(object.get());
        if (wave && wave->storageKind == skv::NWave::kStorageVoice) {
            // The player keeps only the decoded samples: the sound must decode, at its variant's
            // rate.
            const int32_t rate = wave->codecVariant == skv::VoiceCodec::kVariant8000    ? 8000
                                 : wave->codecVariant == skv::VoiceCodec::kVariant11025 ? 11025
                                                                                        : 22050;
            if (wave->samples.empty() || wave->format.nSamplesPerSec != DWORD(rate) ||
                wave->format.wBitsPerSample != 16) {
                r.problem = "voice-coded sound " + skv::guidText(object->objectId) +
                            " does not decode (is qa118dec beside the program?)";
                return r;
            }
            ++r.voiceSounds;
            continue;
        }
        const std::vector<uint8_t> again = stored(*object);
        if (jpeg) {
            // After the header and the tag (which counts the decoded colours): depth, size, palette
            // and compression.
            const size_t from = 64 + 4, form = from + 4 + 8 + 2 + 4;
            if (again.size() < form || original.size() < form ||
                !std::equal(original.begin() + from, original.begin() + form,
                            again.begin() + from)) {
                r.problem = "JPEG bitmap " + skv::guidText(object->objectId) +
                            " comes back in another form";
                return r;
            }
            ++r.jpegBitmaps;
        } else if (again != original) {
            r.problem = std::string(skv::classNameOf(object->classId)) + " " +
                        skv::guidText(object->objectId) + " is written back differently (" +
                        std::to_string(original.size()) + " bytes read, " +
                        std::to_string(again.size()) + " written)";
            return r;
        }
        if (object->classId == skv::CLSID_NTrailer || object->classId == skv::CLSID_NChain) break;
    }
    r.ok = true;
    return r;
}

} // namespace skvc
