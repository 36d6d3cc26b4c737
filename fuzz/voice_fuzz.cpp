// Feeds arbitrary bytes to the voice decoder as coded data, at the rates and channel counts the
// player asks for, and through the library's parameter-block calls with a small output buffer.
#include <cstdint>
#include <cstring>
#include <vector>

#include "paramblock.h"
#include "voxformat.h"

extern "C" int16_t skv_ordinal_2100(void* block);
extern "C" int16_t skv_ordinal_2120(void* block);
extern "C" int16_t skv_ordinal_2110(void* block);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const uint32_t rates[] = {8000, 11025, 22050, 44100};
    const uint32_t rate = size ? rates[data[size - 1] % 4] : 11025;
    const uint32_t channels = size > 1 && (data[size - 2] & 1) ? 2 : 1;
    std::vector<int16_t> pcm;
    qa118::decodeVox(data, size, rate, channels, &pcm, nullptr);

    uint8_t block[qa118::kBlockSize] = {};
    std::vector<uint8_t> out(1000);
    qa118::setBlockInt16(block, qa118::kOffSize, qa118::kBlockSize);
    qa118::setBlockInt32(block, qa118::kOffInFormat, qa118::kFormatVoice);
    qa118::setBlockAddress(block, qa118::kOffInData, qa118::kOffInDataHigh, data);
    qa118::setBlockInt32(block, qa118::kOffInLength, static_cast<int32_t>(size));
    qa118::setBlockInt32(block, qa118::kOffOutFormat, qa118::kFormatPcm);
    qa118::setBlockAddress(block, qa118::kOffOutData, qa118::kOffOutDataHigh, out.data());
    qa118::setBlockInt32(block, qa118::kOffOutCapacity, static_cast<int32_t>(out.size()));
    qa118::setBlockInt16(block, qa118::kOffOutBytesPerSample, 2);
    qa118::setBlockInt16(block, qa118::kOffChannels, static_cast<int16_t>(channels));
    // The variant from bytes 8 and 9, where a sound's header has its own: both must be there.
    qa118::setBlockInt32(block, qa118::kOffVariant,
                         size > 9 ? static_cast<int32_t>(data[8] | data[9] << 8 | 0x8000000) : 0);
    if (skv_ordinal_2100(block) == 0) {
        for (int i = 0; i < 100000; ++i) {
            if (skv_ordinal_2120(block) != 0) break;
            if (qa118::blockInt32(block, qa118::kOffStatus) != qa118::kStatusMore) break;
        }
        skv_ordinal_2110(block);
    }
    return 0;
}
