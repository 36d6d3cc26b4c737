// VoiceCodec: the codec object NWave reads and writes voice-coded sounds with. Decoding goes
// through the decoder library qa118dec, bound by ordinal (2100 initialise, 2120 convert, 2110
// finish), with a 142-byte parameter block (its layout is in src/qa118dec/paramblock.h): the
// library produces the PCM in pieces of at most 32 KB, which are staged in a temporary file
// ("v" prefix, in the temporary directory) and read back whole at the end.
//
// One codec object per read or write of a sound, on the caller's stack.
//
// Without the library (or with one that lacks the decoding calls) voice-coded sounds stay silent
// while everything else plays. So that this is not a mystery, the first decode of the process
// that finds the library missing says so, naming where it was looked for: on standard error, and
// to the notice hook the player installs to put it in the run's log.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/mmsystem.h"

namespace skv {

class VoiceCodec {
public:
    static constexpr int32_t kVariant8000 = 0x8000001;
    static constexpr int32_t kVariant11025 = 0x8000002;
    static constexpr int32_t kVariant22050 = 0x8000004;
    static constexpr int32_t kBlockSize = 142;
    static constexpr int32_t kOutputBufferSize = 32 * 1024;
    static constexpr int32_t kOutputCapacity = 0x7FFF;

    // The library's calls as the codec binds them. Tests put others in their place.
    using BlockCall = int16_t (*)(void* block);
    struct DecoderCalls {
        BlockCall initialise = nullptr; // ordinal 2100
        BlockCall convert = nullptr;    // ordinal 2120
        BlockCall finish = nullptr;     // ordinal 2110
    };
    // The library's encoder (qa118_encode / qa118_free), bound by name.
    using EncodeCall = int32_t (*)(const void* pcm, uint32_t bytes, uint32_t bits,
                                   uint32_t channels, uint32_t rate, int32_t variant, uint8_t** out,
                                   uint32_t* outLength);
    using FreeCall = void (*)(void*);

    // Receives the failing step's name ("dcmpVoxInit()", "dcmpVoxConvert()", "dcmpVoxFree()"),
    // the block and the call's result. The default discards them.
    using DiagnosticHook = void (*)(const char* step, const uint8_t* block, int32_t result);
    static void setDiagnosticHook(DiagnosticHook hook);
    // Replaces the library's decode calls (null: the library's again).
    static void setDecoderCallsForTesting(const DecoderCalls* calls);
    // False when qa118dec or one of its calls cannot be found beside this program.
    static bool libraryAvailable();

    // Receives what the person running the player is told, once for the process, when a sound
    // needs the decoder library and it cannot be had (standard error has been told already).
    // Called on the decoding thread. Null: standard error alone.
    using NoticeHook = std::function<void(const std::string& text)>;
    static void setNoticeHook(NoticeHook hook);
    // Binds the library by another name from now on (null: qa118dec again), as a fresh process
    // would: the next use loads it anew, and a missing one is told of again.
    static void setLibraryNameForTesting(const char* name);

    void setEncoderVariant(int32_t v) { encoderVariant_ = v; }
    void setDecoderVariant(int32_t v) { decoderVariant_ = v; }
    void configure(int32_t channels, int32_t samplesPerSecond, int32_t bitsPerSample);

    // Decodes `length` bytes of voice-coded data. 0 with the PCM in `pcm` on success; 1 when
    // the library is missing (no temporary file is made then) or one of its calls or a write
    // fails, -1 when no temporary file can be had or read. The temporary file is gone afterwards
    // whatever happened.
    int32_t decode(const uint8_t* coded, int32_t length, std::vector<uint8_t>* pcm);
    // Encodes PCM of `format` with the encoder variant. 0 with the coded data in `coded`.
    int32_t encode(const WAVEFORMATEX& format, const uint8_t* pcm, int32_t length,
                   std::vector<uint8_t>* coded);

    int32_t encoderVariant() const { return encoderVariant_; }
    int32_t decoderVariant() const { return decoderVariant_; }
    int32_t samplesPerSecond() const { return samplesPerSecond_; }
    int32_t channels() const { return channels_; }
    int32_t bitsPerSample() const { return bitsPerSample_; }

    // The block a decode passes (exposed for tests).
    void fillDecodeBlock(uint8_t* block, const uint8_t* coded, int32_t length,
                         uint8_t* output) const;

private:
    int32_t encoderVariant_ = kVariant11025;
    int32_t decoderVariant_ = kVariant11025;
    int32_t samplesPerSecond_ = 11025;
    int32_t channels_ = 1;
    int32_t bitsPerSample_ = 8;
};

} // namespace skv
