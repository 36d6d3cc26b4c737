// What a sound member asks of the stage it is drawn on. The player behind the stage window
// implements it beside skvView; NWave finds it there.
#pragma once

namespace skv {

class skvObject;

class SoundStage {
public:
    virtual ~SoundStage() = default;
    // The sound the output plays now (none when none).
    virtual skvObject* currentSound() = 0;
    // The stage shows a hub score, whose frame changes never stop a sound.
    virtual bool showsHubScore() = 0;
};

} // namespace skv
