// Plays a built movie headless with the player's own run path and checks what it did against
// a movie test's expectations: the JSON-lines log, pixels and whole frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testfile.h"

namespace movietest {

// What went wrong, one text per failed check (empty: everything as expected). With `update`
// the expected log and frame pictures are written from this run instead of compared, and what
// was written is listed in `notes`. With `framesDir`, every frame shown is kept there as
// frame-NNNNN.png (numbered as shown).
std::vector<std::string> playAndCheck(const std::string& dir, const TestFile& test,
                                      const std::vector<uint8_t>& stream, bool update,
                                      const std::string& framesDir,
                                      std::vector<std::string>* notes);

// The log lines a test compares: the kinds it names ("event" and "frame" when it names none),
// without the time unless it asks for times. With `from`, only the lines from the first one of
// that kind on, their times counted from it (what comes before playback starts runs on other
// threads' timing too, so its times may differ by a millisecond from run to run).
std::vector<std::string> comparedLog(const std::vector<std::string>& lines,
                                     const std::vector<std::string>& kinds, bool times,
                                     const std::string& from = "");

} // namespace movietest
