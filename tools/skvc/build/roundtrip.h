// Reads a built movie back with the player's classes and writes every object again, so that a
// build can be checked against what the player makes of it. Objects must come back byte for
// byte, except JPEG bitmaps: the player keeps only the decoded pixels of a JPEG bitmap it reads,
// so writing one again compresses those pixels anew; for them the check is that the object
// comes back as a JPEG bitmap of the same size and palette. Likewise a voice-coded sound comes
// back as its decoded samples, so it is checked to decode at its variant's rate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skvc {

struct RoundTripResult {
    bool ok = false;
    size_t objects = 0;     // objects read, the end marker included
    size_t jpegBitmaps = 0; // of which JPEG bitmaps, compared by form only
    size_t voiceSounds = 0; // and voice-coded sounds, checked to decode
    std::string problem;    // what differed, when not ok
};

RoundTripResult roundTrip(const std::vector<uint8_t>& stream);

// Raw inflate of a whole stream's body (after its 32-byte header); false when it is corrupt.
bool inflateBody(const std::vector<uint8_t>& stream, std::vector<uint8_t>* content);

} // namespace skvc
