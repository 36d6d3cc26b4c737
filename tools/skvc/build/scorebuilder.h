// The score part of a movie source: frames with their control channels, sprites held over
// spans of frames or moved between key positions, frame labels, frame actions, scorelets and
// sprite enablers. Every frame's image is computed on its own from the source (a control setting
// applies to the frames it names only) and the images are then delta-encoded.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <toml++/toml.h>

#include "members.h"
#include "movie/frameimage.h"
#include "movie/score.h"
#include "movie/spriteenabler.h"

namespace skvc {

struct MovieSettings {
    int32_t stageWidth = 512, stageHeight = 384;
    int32_t stageColour = 0;
    int32_t tempo = 15;
    int16_t palette = skv::skvScore::kBuiltInDefaultPalette;
    int32_t hubFrame = 0;
    int32_t frames = 0; // 0: as many as the score uses
};

struct PlacedEnabler {
    std::unique_ptr<skv::skvSpriteEnabler> enabler;
    int32_t after = 0; // the member it follows in the stream; 0 = after every member
};

struct BuiltScore {
    std::unique_ptr<skv::skvScore> score;
    std::vector<skv::FrameImage> images; // frame 1 first
    std::vector<uint8_t> labels;         // FrameLabelTable bytes; empty without labels
    std::vector<PlacedEnabler> enablers;
    std::map<int32_t, int32_t> firstUse; // member number -> first frame that shows or plays it
};

struct ScoreInputs {
    const toml::table* root = nullptr;
    std::string file;
    MovieSettings settings;
    const std::map<int32_t, const CompiledMember*>* members = nullptr;
    const std::map<std::string, int32_t>* numbersByName = nullptr;
};

BuiltScore buildScore(const ScoreInputs& in);

// FrameLabelTable bytes for (frame, text) pairs, sorted by frame (stable).
std::vector<uint8_t> encodeFrameLabels(std::vector<std::pair<int32_t, std::string>> labels);

} // namespace skvc
