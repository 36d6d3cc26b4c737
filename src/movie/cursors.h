// The plug-in's two cursor resources: 0x6000, shown over a sprite whose click starts its
// animation, and 0x6001, shown over one whose animation is still on its way.
#pragma once

#include <cstdint>

#include "platform/winuser.h"

namespace skv {

inline constexpr uint16_t kClickCursor = 0x6000;
inline constexpr uint16_t kWaitCursor = 0x6001;

// The cursor resource `id`, made on first use and kept for the life of the process; null for an
// id the plug-in has no cursor for.
HCURSOR loadPluginCursor(uint16_t id);
// The picture of a cursor resource as rows of 32 letters: '#' black, 'o' white, '.' see-through.
// Null for an unknown id.
const char* const* pluginCursorArt(uint16_t id, int32_t* hotX, int32_t* hotY);

} // namespace skv
