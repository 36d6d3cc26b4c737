#include "sound/valuereduction.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace skv {

void reduceValues(std::vector<uint8_t>& samples, int32_t threshold) {
    if (threshold == 0) return;
    std::array<uint32_t, 256> count{};
    for (uint8_t& s : samples) {
        if (s < 40) s = 0;
        ++count[s];
    }
    struct Entry {
        int value;
        uint32_t count;
    };
    std::vector<Entry> ranked;
    for (int v = 0; v < 256; ++v)
        ranked.push_back({v, count[static_cast<size_t>(v)]});
    // A stable order, so that equal counts rank the same way on every run.
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const Entry& a, const Entry& b) { return a.count > b.count; });
    std::array<bool, 256> dropped{};
    for (size_t anchor = 0; anchor < 63 && anchor < ranked.size(); ++anchor) {
        const int a = ranked[anchor].value;
        // The ranking shrinks as values drop out: its end is looked at again every time.
        for (size_t j = anchor + 1; j < std::min<size_t>(254, ranked.size());) {
            if (std::abs(ranked[j].value - a) <= threshold) {
                dropped[static_cast<size_t>(ranked[j].value)] = true;
                ranked.erase(ranked.begin() + static_cast<long>(j));
                continue;
            }
            ++j;
        }
    }
    if (ranked.size() == 256) return;
    // Only values the sound holds are targets: a value that never occurs would put a new value
    // into the sound instead of merging it into an existing one.
    std::array<int, 256> rank{};
    for (size_t i = 0; i < ranked.size(); ++i)
        rank[static_cast<size_t>(ranked[i].value)] = static_cast<int>(i);
    std::array<uint8_t, 256> map{};
    for (int v = 0; v < 256; ++v) {
        map[static_cast<size_t>(v)] = static_cast<uint8_t>(v);
        if (!dropped[static_cast<size_t>(v)] || count[static_cast<size_t>(v)] == 0) continue;
        int best = -1;
        for (int d = 1; d < 256 && best < 0; ++d) {
            for (int c : {v - d, v + d}) {
                if (c < 0 || c > 255) continue;
                const auto cu = static_cast<size_t>(c);
                if (dropped[cu] || count[cu] == 0) continue;
                if (best < 0 || rank[cu] < rank[static_cast<size_t>(best)]) best = c;
            }
        }
        if (best >= 0) map[static_cast<size_t>(v)] = static_cast<uint8_t>(best);
    }
    for (uint8_t& s : samples)
        s = map[s];
}

} // namespace skv
