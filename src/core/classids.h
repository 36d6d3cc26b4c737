// Identifiers of the registered classes. A class's identifier is what the stream carries ahead of
// its body; the reader constructs objects by it.
#pragma once

#include "platform/win32.h"

namespace skv {

// {1A90DExx-AFFC-11CF-BAF5-0080C80D289D}, the family most classes belong to.
constexpr GUID classIdInFamily(uint32_t data1) {
    return GUID{data1, 0xAFFC, 0x11CF, {0xBA, 0xF5, 0x00, 0x80, 0xC8, 0x0D, 0x28, 0x9D}};
}

inline constexpr GUID CLSID_skvAuthorInfo{
    0x19E07030, 0x46F7, 0x11D0, {0xBC, 0xDF, 0x00, 0xA0, 0x24, 0xC8, 0x56, 0x00}};
inline constexpr GUID CLSID_NSprite = classIdInFamily(0x1A90DE92);
inline constexpr GUID CLSID_skvShape = classIdInFamily(0x1A90DEA0);
inline constexpr GUID CLSID_NWave = classIdInFamily(0x1A90DE93);
inline constexpr GUID CLSID_skvScore = classIdInFamily(0x1A90DE96);
inline constexpr GUID CLSID_skvScorelet{
    0x05E36280, 0xD0F9, 0x11CF, {0xBB, 0x70, 0x00, 0x80, 0xC8, 0x0D, 0x28, 0x9D}};
inline constexpr GUID CLSID_skvSpriteEnabler{
    0xBE2AEF10, 0xECA9, 0x11CF, {0xBB, 0x3C, 0x00, 0x80, 0xC8, 0x0D, 0x28, 0x9D}};
inline constexpr GUID CLSID_skvPalette = classIdInFamily(0x1A90DE95);
inline constexpr GUID CLSID_skvScriptRuntime = classIdInFamily(0x1A90DEA1);
inline constexpr GUID CLSID_skvScript = classIdInFamily(0x1A90DE9B);
inline constexpr GUID CLSID_skvObject = classIdInFamily(0x1A90DE90);
inline constexpr GUID CLSID_NChain = classIdInFamily(0x1A90DE98);
inline constexpr GUID CLSID_NTrailer = classIdInFamily(0x1A90DE97);
inline constexpr GUID CLSID_qmsObjectManager = classIdInFamily(0x1A90DE9E);
inline constexpr GUID CLSID_skvRateMap = classIdInFamily(0x1A90DE99);
inline constexpr GUID CLSID_skvText = classIdInFamily(0x1A90DE9A);

} // namespace skv
