#include "sound/voicecodec.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/win32.h"
#include "qa118dec/paramblock.h"

namespace skv {

namespace {

void discard(const char*, const uint8_t*, int32_t) {}

constexpr const char kLibraryName[] = "qa118dec";
constexpr const char kSilent[] = ": voice-coded sounds will be silent";

// The file LoadLibrary looks for under a bare library name.
std::string libraryFileName(const std::string& name) {
#ifdef _WIN32
    return name + ".dll";
#else
    return "lib" + name + ".so";
#endif
}

// This code's own module (the plug-in, or the program the sound layer is linked into): a bare
// library name is looked for beside it first. Its folder with the separator, or empty.
const char kModuleAnchor = 0;
std::string moduleFolder() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            &kModuleAnchor, &self))
        return std::string();
    char path[4096];
    const DWORD n = GetModuleFileNameA(self, path, sizeof path);
    if (n == 0 || n >= sizeof path) return std::string();
    const std::string p(path, n);
    const size_t cut = p.find_last_of(std::string("/") + SKV_PATH_SEPARATOR);
    return cut == std::string::npos ? std::string() : p.substr(0, cut + 1);
}

// A library's function as the type it has: through void(*)(), the one function type every other
// converts to and from without a warning.
template <class Call> Call bound(FARPROC p) {
    return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(p));
}

std::string modulePath(HMODULE m) {
    char path[4096];
    const DWORD n = GetModuleFileNameA(m, path, sizeof path);
    return n == 0 || n >= sizeof path ? std::string() : std::string(path, n);
}

struct Library {
    std::string name = kLibraryName;
    bool bound = false;
    VoiceCodec::DecoderCalls calls;
    VoiceCodec::EncodeCall encode = nullptr;
    VoiceCodec::FreeCall free = nullptr;
    // What a decode without the library tells the person running the player; empty when the
    // decoding calls are all there.
    std::string missing;
};

std::mutex gLibraryMutex;
Library gLibrary;
std::atomic<bool> gMissingTold{false};
std::mutex gNoticeMutex;
VoiceCodec::NoticeHook gNoticeHook;

void bind(Library& lib) {
    // Bound once for the process, as the loader binds a DLL's imports; the library stays
    // loaded until the process ends.
    lib.bound = true;
    // The library ships beside this module. Windows looks for a bare name beside the program
    // (the browser), not beside a plug-in, so the folder is named first.
    const std::string file = libraryFileName(lib.name);
    const std::string folder = moduleFolder();
    HMODULE m = folder.empty() ? nullptr : LoadLibraryA((folder + file).c_str());
    if (!m) m = LoadLibraryA(lib.name.c_str());
    if (!m) {
        std::string looked = folder.empty() ? std::string() : folder + file + ", then ";
        looked += file + " on the system's library path";
        lib.missing = "skv: the voice decoder library " + lib.name +
                      " could not be loaded (looked for " + looked + ")" + kSilent;
        return;
    }
    lib.calls.initialise = bound<VoiceCodec::BlockCall>(GetProcAddress(m, MAKEINTRESOURCEA(2100)));
    lib.calls.convert = bound<VoiceCodec::BlockCall>(GetProcAddress(m, MAKEINTRESOURCEA(2120)));
    lib.calls.finish = bound<VoiceCodec::BlockCall>(GetProcAddress(m, MAKEINTRESOURCEA(2110)));
    lib.encode = bound<VoiceCodec::EncodeCall>(GetProcAddress(m, "qa118_encode"));
    lib.free = bound<VoiceCodec::FreeCall>(GetProcAddress(m, "qa118_free"));
    if (!lib.calls.initialise || !lib.calls.convert || !lib.calls.finish)
        lib.missing = "skv: the voice decoder library " + lib.name + " at " + modulePath(m) +
                      " lacks its decoding calls (ordinals 2100, 2120, 2110)" + kSilent;
}

const Library& library() {
    std::lock_guard<std::mutex> g(gLibraryMutex);
    if (!gLibrary.bound) bind(gLibrary);
    return gLibrary;
}

// Once for the process, not once a sound: a movie of many voice-coded sounds says it once.
void tellLibraryMissing(const Library& lib) {
    if (gMissingTold.exchange(true)) return;
    std::fprintf(stderr, "%s\n", lib.missing.c_str());
    std::lock_guard<std::mutex> g(gNoticeMutex);
    if (gNoticeHook) gNoticeHook(lib.missing);
}

VoiceCodec::DiagnosticHook gHook = &discard;
const VoiceCodec::DecoderCalls* gTestCalls = nullptr;

// The staging file: closed and deleted when the decode leaves, however it leaves.
class TempFile {
public:
    ~TempFile() {
        close();
        if (named_) DeleteFileA(name_);
    }
    bool create() {
        char dir[259];
        const DWORD n = GetTempPathA(sizeof dir, dir);
        if (n == 0 || n >= sizeof dir) return false;
        if (!GetTempFileNameA(dir, "v", 0, name_)) return false;
        named_ = true;
        return open("wb");
    }
    bool open(const char* mode) {
        close();
        file_ = std::fopen(name_, mode);
        return file_ != nullptr;
    }
    void close() {
        if (file_) std::fclose(file_);
        file_ = nullptr;
    }
    std::FILE* file() const { return file_; }

private:
    char name_[MAX_PATH] = {};
    bool named_ = false;
    std::FILE* file_ = nullptr;
};

} // namespace

void VoiceCodec::setDiagnosticHook(DiagnosticHook hook) {
    gHook = hook ? hook : &discard;
}

void VoiceCodec::setDecoderCallsForTesting(const DecoderCalls* calls) {
    gTestCalls = calls;
}

void VoiceCodec::setNoticeHook(NoticeHook hook) {
    std::lock_guard<std::mutex> g(gNoticeMutex);
    gNoticeHook = std::move(hook);
}

void VoiceCodec::setLibraryNameForTesting(const char* name) {
    std::lock_guard<std::mutex> g(gLibraryMutex);
    // The module bound so far stays loaded, as it would for the process: the library keeps
    // what it made for its decodes, and a decode on another thread may still be in it.
    gLibrary = Library{};
    if (name) gLibrary.name = name;
    gMissingTold.store(false);
}

bool VoiceCodec::libraryAvailable() {
    const Library& lib = library();
    return lib.calls.initialise && lib.calls.convert && lib.calls.finish && lib.encode && lib.free;
}

void VoiceCodec::configure(int32_t channels, int32_t samplesPerSecond, int32_t bitsPerSample) {
    // The channel count reaches the decoder too: a stereo sound decoded as mono would play at
    // twice its speed.
    channels_ = channels == 2 ? 2 : 1;
    samplesPerSecond_ = samplesPerSecond;
    bitsPerSample_ = bitsPerSample;
}

void VoiceCodec::fillDecodeBlock(uint8_t* block, const uint8_t* coded, int32_t length,
                                 uint8_t* output) const {
    using namespace qa118;
    std::memset(block, 0, kBlockSize);
    setBlockInt16(block, kOffSize, kBlockSize);
    setBlockInt32(block, kOffInFormat, kFormatVoice);
    setBlockAddress(block, kOffInData, kOffInDataHigh, coded);
    setBlockInt32(block, kOffInLength, length);
    setBlockInt32(block, kOffOutFormat, kFormatPcm);
    setBlockAddress(block, kOffOutData, kOffOutDataHigh, output);
    setBlockInt32(block, kOffOutCapacity, kOutputCapacity);
    setBlockInt32(block, kOffOutRate, samplesPerSecond_);
    setBlockInt16(block, kOffOutBytesPerSample, static_cast<int16_t>(bitsPerSample_ / 8));
    setBlockInt16(block, kOffChannels, static_cast<int16_t>(channels_));
    setBlockFloat(block, kOffGain, 1.0f);
    setBlockInt32(block, kOffVariant, decoderVariant_);
}

int32_t VoiceCodec::decode(const uint8_t* coded, int32_t length, std::vector<uint8_t>* pcm) {
    using namespace qa118;
    const DecoderCalls* chosen = gTestCalls;
    if (!chosen) {
        const Library& lib = library();
        if (!lib.missing.empty()) {
            tellLibraryMissing(lib);
            return 1;
        }
        chosen = &lib.calls;
    }
    const DecoderCalls& calls = *chosen;
    if (!calls.initialise || !calls.convert || !calls.finish) return 1;
    TempFile temp;
    if (!temp.create()) return -1;

    uint8_t block[kBlockSize];
    std::vector<uint8_t> output(kOutputBufferSize);
    fillDecodeBlock(block, coded, length, output.data());
    int32_t result = calls.initialise(block);
    if (result != 0) {
        gHook("dcmpVoxInit()", block, result);
        return 1;
    }
    // From here on the library holds a decode: it is finished on every way out.
    bool ok = true;
    for (;;) {
        result = calls.convert(block);
        if (result != 0) {
            gHook("dcmpVoxConvert()", block, result);
            ok = false;
            break;
        }
        const int32_t produced = blockInt32(block, kOffProduced);
        if (produced < 0 || produced > kOutputBufferSize) { // a library writing past our buffer
            ok = false;
            break;
        }
        if (std::fwrite(output.data(), 1, static_cast<size_t>(produced), temp.file()) !=
            static_cast<size_t>(produced)) {
            ok = false;
            break;
        }
        setBlockInt32(block, kOffProduced, 0);
        if (blockInt32(block, kOffStatus) != kStatusMore) break;
    }
    result = calls.finish(block);
    if (result != 0) {
        gHook("dcmpVoxFree()", block, result);
        return 1;
    }
    if (!ok) return 1;

    if (!temp.open("rb")) return -1;
    std::fseek(temp.file(), 0, SEEK_END);
    const long size = std::ftell(temp.file());
    std::fseek(temp.file(), 0, SEEK_SET);
    if (size < 0 || size > 0x7FFFFFFF) return -1;
    std::vector<uint8_t> data(static_cast<size_t>(size));
    if (std::fread(data.data(), 1, data.size(), temp.file()) != data.size()) return -1;
    *pcm = std::move(data);
    return 0;
}

int32_t VoiceCodec::encode(const WAVEFORMATEX& format, const uint8_t* pcm, int32_t length,
                           std::vector<uint8_t>* coded) {
    const Library& lib = library();
    if (!lib.encode || !lib.free || length < 0) return 1;
    uint8_t* out = nullptr;
    uint32_t outLength = 0;
    if (lib.encode(pcm, static_cast<uint32_t>(length), format.wBitsPerSample, format.nChannels,
                   format.nSamplesPerSec, encoderVariant_, &out, &outLength) != 0)
        return 1;
    coded->assign(out, out + outLength);
    lib.free(out);
    return 0;
}

} // namespace skv
