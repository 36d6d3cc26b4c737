// Feeds arbitrary text to the input script parser; whatever it accepts must keep its promises:
// events in time order, coordinates and keys in range, and a refusal that says why.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<skv::platform::InputEvent> events;
    std::string error;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!skv::platform::parseInputScript(text, &events, &error)) {
        if (error.empty()) std::abort(); // a refusal always says why
        return 0;
    }
    uint64_t previous = 0;
    for (const auto& e : events) {
        if (e.atMs < previous) std::abort();
        previous = e.atMs;
        if (e.x < -32768 || e.x > 32767 || e.y < -32768 || e.y > 32767) std::abort();
        const bool key = e.kind == skv::platform::InputEvent::Kind::KeyDown ||
                         e.kind == skv::platform::InputEvent::Kind::KeyUp;
        if (key && (e.virtualKey <= 0 || e.virtualKey > 255)) std::abort();
    }
    return 0;
}
