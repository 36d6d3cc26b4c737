// What a file offered as a movie holds, in words for the person who offered it.
//
// The player's own messages for a file that is not a movie are the server's and the stream's
// ("An unknown error has occurred"); the programs around it (skvc dump, skvplay) say instead what
// they found, from how a movie stream is framed (core/moviewriter.h): the 32-byte header that
// begins with "QMS ", then one raw DEFLATE body holding the objects one after another, each a
// 64-byte header and its class's body (core/object.h), up to an end marker (core/endmarkers.h).
// Object bodies carry no length, so finding where an object ends means reading it: the objects
// are read with the classes registered in this module's copy of core, and a caller registers
// every layer's classes first (registerPlayerClasses); a class nobody registered is reported as
// unknown. The check runs on the calling thread, inflating the body only as far as the objects
// are read, and keeps of each object only its header's words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/moviewriter.h"
#include "platform/win32.h"

namespace skv {

enum class MovieFinding {
    Movie,        // a header, objects and an end marker
    Missing,      // no file or folder of that name
    Unreadable,   // it exists and cannot be read
    Folder,       // a folder
    Empty,        // no bytes
    OtherFormat,  // the signature of another kind of file
    Text,         // text
    NotAStream,   // bytes of no known kind, not beginning with "QMS "
    CutInHeader,  // "QMS " and fewer than 32 bytes
    Truncated,    // the compressed body stops before its end
    Damaged,      // the body does not inflate, an object cannot be read, or no end marker
    UnknownClass, // an object of a class not registered
};

// The words of one object's header, which is all a listing of a stream shows.
struct CheckedObject {
    GUID classId{};
    GUID objectId{};
    int32_t sizeHint = 0;
};

struct MovieCheck {
    MovieFinding finding = MovieFinding::Movie;
    uint64_t fileSize = 0;
    std::string format;       // OtherFormat: "PNG", "JPEG", ...
    bool movieSource = false; // Text, Folder: a movie source's manifest, or a folder with one
    std::string buildCommand; // when movieSource: the skvc build command that makes the movie
    std::string systemError;  // Missing, Unreadable: why it cannot be read
    StreamHeader header;      // from CutInHeader on: as far as it was read
    std::vector<CheckedObject> objects; // the objects read whole, in stream order
    GUID endClassId{}; // Movie: the end marker's class; UnknownClass: the unknown one
    // Truncated, Damaged: where the objects stop. cutInObject: inside object objects.size()
    // (its class known when cutClassKnown), else between two objects.
    bool cutInObject = false;
    bool cutClassKnown = false;
    GUID cutClassId{};
    bool bodyDamaged = false;  // Damaged: the compressed body itself does not inflate
    uint64_t damagedAt = 0;    // bodyDamaged: the offset in the file where inflating failed
    bool bodyComplete = false; // the compressed body reached its end
    std::string objectError;   // Damaged: why the object could not be read, when not a cut

    // True when the file has a whole stream header: it is a movie stream, or the start of one.
    bool isStream() const;
    // A sentence that begins with `name`, the file as the person named it:
    // "ball.png is not a Skyvora movie: it starts with a PNG signature",
    // "mymovie.skm ends after 1 204 bytes, in the middle of an object (object 5, nDIB)".
    std::string sentence(const std::string& name) const;
    // The same as a clause beginning with "it": "it is empty", "it starts with a PNG
    // signature", "it ends after 10 bytes, in the middle of its 32-byte header".
    std::string reason() const;
};

// Checks bytes already at hand; `name` (may be empty) is the file's path, used only to tell a
// movie source's manifest and to name the folder to build.
MovieCheck checkMovieBytes(const std::vector<uint8_t>& bytes, const std::string& name = {});
// Checks a file or folder on disk.
MovieCheck checkMovieFile(const std::string& path);

// "1 204", "11 828": thousands grouped with a space.
std::string groupedNumber(uint64_t n);

} // namespace skv
