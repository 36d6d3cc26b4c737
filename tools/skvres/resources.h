// The plug-in module's Windows resources, written from the data the code itself uses: the
// version block with the registration data a browser reads, the string table, the "BUFFERING"
// picture and the two cursors. The Windows build compiles the script with windres.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skvres {

// A text as a resource script's string: quotes doubled, backslashes and every byte outside
// printable ASCII as octal escapes.
std::string rcString(const std::string& text);

// The resource script (it names the other files by their names in the same folder).
std::string resourceScript();
// A .cur file of a cursor resource (one 32 x 32 image, 1 bit per pixel, with its hot spot).
std::vector<uint8_t> cursorFile(uint16_t id);
// The BUFFERING picture as a BMP file.
std::vector<uint8_t> bufferingBitmap();

// Writes the four files into `folder`, leaving alone each whose bytes would not change. False,
// with the reason in `error`, when one cannot be written.
bool writeResources(const std::string& folder, std::string* error);

} // namespace skvres
