// skvObject: the root of every serializable class.
//
// Every object read from a movie stream is an skvObject of a registered class (registry.h). Its
// stored form starts with this 64-byte header, written by the base serialize:
//
// | offset | size | field       |
// |--------|------|-------------|
// | 0      | 4    | tag "NOBJ" (int32 0x4A424F4E); not checked on loading |
// | 4      | 16   | classId     |
// | 20     | 16   | objectId    |
// | 36     | 16   | auxId       |
// | 52     | 4    | headerWord1 |
// | 56     | 4    | headerWord2 |
// | 60     | 4    | sizeHint    |
//
// The class's body follows. Subclasses keep the order of the virtual operations below and append
// their own after trigger().
#pragma once

#include <cstdint>

#include "platform/win32.h"

struct tagPOINT;

namespace skv {

class uArchive;
class StreamContext;
class skvView;
struct SpriteChannel;

// What readObjectEx saw: whether the 64-byte header could be read, and the class it named.
struct ObjectReadInfo {
    bool headerRead = false;
    GUID classId{};
};

class skvObject {
public:
    static constexpr int32_t kTagNOBJ = 0x4A424F4E;
    static constexpr int kHeaderSize = 64;

    skvObject();
    virtual ~skvObject() = default;
    skvObject(const skvObject&) = delete;
    skvObject& operator=(const skvObject&) = delete;

    // Slot 0: releases the object.
    virtual void destroy() { delete this; }
    // Slot 1: called once right after the object has been read from a stream, with the movie
    // stream that read it.
    virtual void attach(StreamContext* stream) {}
    // Slot 2: nonzero when the point lies on the member as the channel places it.
    virtual int hitTest(const SpriteChannel* channel, const tagPOINT& point) { return 0; }
    // Slot 3: draws the member for a channel. Sounds and palettes are called without one: for
    // them drawing means starting the sound or making the palette the stage's.
    virtual void draw(skvView* view, const SpriteChannel* channel) {}
    // Slot 4: positions the member for a channel and marks the areas to repaint; a sound stops.
    virtual void place(skvView* view, const SpriteChannel* channel) {}
    // Slot 5: an estimate in bytes of the object's data.
    virtual int32_t sizeHint() { return 0; }
    // Slot 6: storing writes the header then the body; loading reads only the body (readObject
    // has consumed the header). Subclasses call the base first when storing.
    virtual void serialize(uArchive& ar);
    // Slot 7: the trigger number a cast member carries.
    virtual int32_t trigger() { return 0; }

    void setClassId(const GUID& id) { classId = id; }

    int32_t flags = 1;
    GUID objectId{};
    GUID classId{};
    GUID auxId{};
    int32_t headerWord1 = 0;
    int32_t headerWord2 = 0;
    int32_t storedSizeHint = 0; // the header's size word, set from sizeHint() on storing
    int32_t hidden = 0;         // keeps a cast member from being drawn or hit; never stored

protected:
    // Reads or writes only the 64-byte header.
    void serializeHeader(uArchive& ar);
    friend skvObject* readObjectEx(uArchive& ar, ObjectReadInfo* info);
    // The same, telling a short header apart from an unknown class.
    skvObject* readObjectEx(uArchive& ar, ObjectReadInfo* info);
};

// Reads the next object (header and body) from a loading archive. Null when the header cannot be
// read or its class is unknown; an error raised inside the body propagates (the half-read
// object is freed first).
skvObject* readObject(uArchive& ar);
// The same, telling a short header apart from an unknown class.
skvObject* readObjectEx(uArchive& ar, ObjectReadInfo* info);

// Stores an object (header and body) to a storing archive.
inline void writeObject(uArchive& ar, skvObject& obj) {
    obj.serialize(ar);
}

} // namespace skv
