// A movie test's test.toml: how to play the movie and what to expect (tests/movies/README.md).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace movietest {

// A pixel of a frame the run showed: `colour` within `tolerance` on every channel.
struct PixelCheck {
    int32_t frame = 0; // score frame, as last shown
    int32_t shown = 0; // or: the Nth frame shown (1-based)
    int32_t step = 0;  // the window after this step of the transition into that frame (0: none)
    int32_t x = 0, y = 0;
    uint32_t colour = 0; // 0xRRGGBB
    int32_t tolerance = 0;
    int line = 0;
};

// A whole frame against a PNG of the test folder.
struct FrameCheck {
    int32_t frame = 0;
    int32_t shown = 0;
    int32_t step = 0;
    std::string png;
    int32_t tolerance = 0;    // per channel
    int64_t maxDiffering = 0; // pixels allowed beyond the tolerance
    int line = 0;
};

struct TestFile {
    // [run]
    bool play = false; // the test has a [run] table
    bool virtualClock = true;
    uint64_t limitMs = 60000;
    std::optional<std::pair<int32_t, int32_t>> page;
    std::string inputScript; // in the form of docs/input-script.md, stage coordinates
    // [expect]
    std::string dump;
    std::string log;
    std::vector<std::string> logKinds; // empty: every kind but "note"
    bool logTimes = false;
    std::string logFrom; // compare from the first line of this kind on (empty: from the start)
    bool completed = true;
    std::vector<PixelCheck> pixels;
    std::vector<FrameCheck> frames;
};

// Throws skvc::BuildError naming the line and field when the file is malformed.
TestFile readTestFile(const std::string& dir);

} // namespace movietest
