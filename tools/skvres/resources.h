// The plug-in module's Windows resources, written from the data the code itself uses: the
// version block with the registration data a browser reads, the string table, the "BUFFERING"
// picture and the two cursors. The Windows build compiles the script with windres.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skvres {

// A text as a resource script's string literal, quotes included: a quote doubled, a backslash
// doubled, control characters and bytes from 0x7F up as octal escapes (the script is read as
// code page 1252, the code page of the version block's translation).
std::string rcString(const std::string& text);

// The resource script; it names the other files by their names in the same folder.
std::string resourceScript();
// The .cur file of cursor resource `id` (one 32 x 32 image, 1 bit per pixel, with its hot
// spot); empty for an id the plug-in has no cursor for.
std::vector<uint8_t> cursorFile(uint16_t id);
// The BUFFERING picture as an 8-bit BMP file; empty when it cannot be made.
std::vector<uint8_t> bufferingBitmap();

// Writes npskyv32.rc, buffering.bmp, cursor_6000.cur and cursor_6001.cur into `folder` (made
// when missing), leaving alone each file whose bytes would not change so that a build does not
// redo work. False, with the reason in `error`, when one cannot be written.
bool writeResources(const std::string& folder, std::string* error);

} // namespace skvres
