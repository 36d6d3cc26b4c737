// The files Setup works with, all in its own directory. The order is the order in which they are
// checked and copied.
#pragma once

#include <span>

namespace skvinst {

struct SetupFile {
    const char* name;
    bool copied;  // goes into every plugins directory found
    bool checked; // must be there before anything starts
};

inline constexpr SetupFile kSetupFiles[] = {
    {"npskyv32.dll", true, true},
    {"qa118dec.dll", true, true},
    {"skyvora.txt", true, true},
    {"license.txt", false, true},
    // Its presence says Setup was unpacked from a self-extracting package into a temporary
    // directory of its own, which Setup then clears when it ends.
    {"selfextr.id", false, false},
    {"skvinst.dat", false, true},
};

inline constexpr const char* kLicenseFile = "license.txt";
inline constexpr const char* kReleaseNotesFile = "skyvora.txt";
inline constexpr const char* kPackageMarkFile = "selfextr.id";
inline constexpr const char* kClipFile = "skvinst.dat";

// A directory of a browser installation: the program, and beside it the plug-ins directory.
inline constexpr const char* kBrowserProgram = "netscape.exe";
inline constexpr const char* kPluginsDirectory = "plugins";

} // namespace skvinst
