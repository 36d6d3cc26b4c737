// UuidCreate: random version-4 identifiers that never repeat.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "platform/win32.h"

namespace {

TEST(Uuid, VersionFourRfcVariantAndNoRepeats) {
    std::set<std::string> seen;
    for (int i = 0; i < 2000; ++i) {
        UUID u;
        std::memset(&u, 0, sizeof u);
        ASSERT_EQ(UuidCreate(&u), RPC_S_OK);
        EXPECT_EQ(u.Data3 >> 12, 4) << "version";
        EXPECT_EQ(u.Data4[0] >> 6, 2) << "variant";
        EXPECT_TRUE(seen.insert(std::string(reinterpret_cast<const char*>(&u), sizeof u)).second);
    }
    // Randomness reaches every byte: each position takes many values over the run.
    std::set<uint8_t> values[16];
    for (int i = 0; i < 200; ++i) {
        UUID u;
        UuidCreate(&u);
        const auto* bytes = reinterpret_cast<const uint8_t*>(&u);
        for (int k = 0; k < 16; ++k)
            values[k].insert(bytes[k]);
    }
    for (int k = 0; k < 16; ++k)
        EXPECT_GT(values[k].size(), 8u) << "byte " << k;
}

} // namespace
