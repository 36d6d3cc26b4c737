// skvc build: a movie source (a directory with movie.toml and its assets) to a movie stream.
//
// The stream holds, in this order: the score, the script runtime, the rate map, the author info
// (when the source has one), then the members in the order frames first need them (movie
// scripts and the default palette first, members no frame names last), each sprite enabler right
// after the member it waits for, and an end marker. The same source always gives the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "diag.h"
#include "sourcefiles.h"

namespace skvc {

inline constexpr const char* kManifestName = "movie.toml";

// What a build made, for the line that tells the author.
struct BuildSummary {
    int32_t members = 0;
    int32_t frames = 0;
    int32_t stageWidth = 0;
    int32_t stageHeight = 0;
    // What looks wrong but builds; filled as found, so it holds them also when an error follows.
    std::vector<BuildWarning> warnings;
};

// The whole stream; throws BuildError on the first error in the source.
std::vector<uint8_t> buildMovie(const SourceFiles& files, BuildSummary* summary = nullptr);

} // namespace skvc
