// Movies for the player tests, written as streams in C++: a score from frame records, scripts from
// assembly, block members that fill their channel's rectangle with one colour, and the tables of
// the script runtime. A test writes its movie to a file of its own and plays it headless.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/classids.h"
#include "core/guid.h"
#include "core/moviewriter.h"
#include "core/registry.h"
#include "gfx/animation.h"
#include "gfx/gfxclasses.h"
#include "gfx/view.h"
#include "movie/movieclasses.h"
#include "movie/score.h"
#include "movie_fixture.h"
#include "movie_test_util.h"
#include "net/netclasses.h"
#include "net/ratemap.h"
#include "player/headlessrun.h"
#include "script/assembler.h"
#include "script/runtime.h"
#include "script/script.h"
#include "script/scriptclasses.h"

namespace skv::test {

constexpr GUID kBlockClass{0x7E57B10C, 1, 1, {1, 2, 3, 4, 5, 6, 7, 8}};

// A member that fills its channel's rectangle with one palette index and is hit inside it.
class BlockMember : public skvObject {
public:
    BlockMember() { setClassId(kBlockClass); }
    void serialize(uArchive& ar) override {
        skvObject::serialize(ar);
        ar.serializeInt32(colour);
    }
    void draw(skvView* view, const SpriteChannel* c) override {
        nAnimation* stage = view ? view->animation() : nullptr;
        if (!stage || !c || !stage->buffersCreated()) return;
        nDIB* picture = stage->getDisplayOSB()->getDIB();
        if (!picture) return;
        const RECT r = rectOf(*c);
        for (int y = std::max<int>(0, r.top); y < std::min<int>(picture->height(), r.bottom); ++y)
            for (int x = std::max<int>(0, r.left); x < std::min<int>(picture->width(), r.right);
                 ++x)
                *picture->pixelAt(x, y) = static_cast<uint8_t>(colour);
        stage->addDirtyRect(r);
    }
    void place(skvView* view, const SpriteChannel* c) override {
        nAnimation* stage = view ? view->animation() : nullptr;
        if (stage && c) stage->addDirtyRect(rectOf(*c));
    }
    int hitTest(const SpriteChannel* c, const tagPOINT& p) override {
        const RECT r = rectOf(*c);
        return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
    }
    static RECT rectOf(const SpriteChannel& c) {
        return RECT{c.left(), c.top(), c.left() + c.width(), c.top() + c.height()};
    }
    int32_t colour = 0;
};

inline void registerPlayerTestClasses() {
    static const ClassRegistration reg(kBlockClass, &makeObject<BlockMember>, "TestBlock");
    registerCoreClasses();
    registerMovieClasses();
    registerScriptClasses();
    registerNetClasses();
    registerGfxClasses();
}

// Frame records.
inline Record tempo(uint8_t t) {
    return {at(0, 5), {t}};
}
inline Record frameScript(int16_t n) {
    return {at(0, 16), le16(n)};
}
inline Record sound(int16_t n) {
    return {at(0, 6), le16(n)};
}
// Sprite `s` showing member `m` at (x, y) with size (w, h) and sprite script `script`.
inline std::vector<Record> sprite(int s, int16_t m, int16_t x, int16_t y, int16_t w, int16_t h,
                                  int16_t script = 0) {
    return {{at(s + 1, 6), le16(m)},  {at(s + 1, 8), le16(y)},  {at(s + 1, 10), le16(x)},
            {at(s + 1, 12), le16(h)}, {at(s + 1, 14), le16(w)}, {at(s + 1, 16), le16(script)}};
}
inline std::vector<Record> operator+(std::vector<Record> a, const std::vector<Record>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A script: its number, its assembly, and where it belongs (a movie script, or the key of the
// sprite, cast member or frame it is attached to).
struct ScriptSpec {
    int32_t ref;
    std::string text;
    bool movie = true;
    int32_t key = 0;
};

struct MovieSpec {
    FrameString frames;
    int32_t hubFrame = -1;
    int32_t defaultTempo = 8;
    int32_t stageWidth = 64, stageHeight = 48;
    std::vector<std::string> names;
    std::vector<ScriptSpec> scripts;
    std::vector<std::pair<int32_t, int32_t>> blocks; // member number, colour index
    std::vector<skvObject*> extra;                   // written after the members, not owned
};

inline std::vector<uint8_t> buildMovie(const MovieSpec& spec) {
    registerPlayerTestClasses();
    MovieWriter w;
    skvRateMap rates;
    const int32_t perSecond[1] = {100};
    rates.assign(perSecond, 1);
    rates.objectId = CLSID_skvRateMap;
    w.add(rates);

    skvScriptRuntime runtime;
    runtime.objectId = CLSID_skvScriptRuntime;
    runtime.engine->names.assign(spec.names);
    for (const ScriptSpec& s : spec.scripts)
        runtime.engine->scripts.push_back({s.key, s.ref, s.movie ? 1 : 0});
    w.add(runtime);
    for (const ScriptSpec& s : spec.scripts) {
        std::vector<uint8_t> bytes;
        AsmError err;
        EXPECT_TRUE(assembleScript(s.text, &bytes, &err))
            << s.ref << ": " << err.line << ": " << err.message;
        skvScript script;
        script.objectId = memberGuid(s.ref);
        script.block = std::make_unique<ScriptBlock>(bytes);
        w.add(script);
    }
    for (auto [n, colour] : spec.blocks) {
        BlockMember b;
        b.objectId = memberGuid(n);
        b.colour = colour;
        w.add(b);
    }
    for (skvObject* o : spec.extra)
        w.add(*o);

    skvScore score;
    score.setDefaultTempo(spec.defaultTempo);
    score.setStageSize(spec.stageWidth, spec.stageHeight);
    score.setScoreData(spec.frames.bytes());
    score.setHubFrame(spec.hubFrame);
    w.add(score);
    return w.finish();
}

// The movie written to a file named after the test; its file: address.
inline std::string movieFile(const MovieSpec& spec) {
    const std::string path = tempDir() + uniqueName(".skm");
    writeBytes(path, buildMovie(spec));
    return "file:" + path;
}

// A handler that does nothing but may call "pass" (nameId `pass`).
inline std::string handler(int32_t nameId, int32_t passName = -1) {
    std::string s = ".handler " + std::to_string(nameId) + "\n";
    if (passName >= 0) s += "argListNoResult 0\ncallExternal " + std::to_string(passName) + "\n";
    return s + "ret\n";
}

// A handler that calls a built-in with one integer argument.
inline std::string callWith(int32_t nameId, int32_t builtin, int32_t arg) {
    return ".handler " + std::to_string(nameId) + "\npushInt " + std::to_string(arg) +
           "\nargListNoResult 1\ncallExternal " + std::to_string(builtin) + "\nret\n";
}

// What the log says, as short words: "status 5005", "state 3", "frame 2",
// "exitFrame:movie:12", "play 0". Events without handlers show as the bare event name.
inline std::vector<std::string> words(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    auto field = [](const std::string& line, const std::string& key) -> std::string {
        const std::string k = "\"" + key + "\":";
        size_t p = line.find(k);
        if (p == std::string::npos) return "";
        p += k.size();
        size_t e = p;
        if (line[p] == '"') {
            e = line.find('"', p + 1);
            return line.substr(p + 1, e - p - 1);
        }
        while (e < line.size() && line[e] != ',' && line[e] != '}')
            ++e;
        return line.substr(p, e - p);
    };
    for (const std::string& l : lines) {
        if (l.find("\"status\":") != std::string::npos) {
            out.push_back("status " + field(l, "status"));
        } else if (l.find("\"state\":") != std::string::npos) {
            out.push_back("state " + field(l, "state"));
        } else if (l.find("\"frame\":") != std::string::npos) {
            out.push_back("frame " + field(l, "frame"));
        } else if (l.find("\"play\":") != std::string::npos) {
            out.push_back("play " + field(l, "play"));
        } else if (l.find("\"event\":") != std::string::npos) {
            std::string w = field(l, "event");
            size_t p = 0;
            while ((p = l.find("\"role\":\"", p)) != std::string::npos) {
                p += 8;
                const std::string role = l.substr(p, l.find('"', p) - p);
                const size_t s = l.find("\"script\":", p) + 9;
                const std::string script = l.substr(s, l.find('}', s) - s);
                w += ":" + role + ":" + script;
            }
            out.push_back(w);
        }
    }
    return out;
}

// The words of one kind only (those starting with any of the prefixes).
inline std::vector<std::string> only(const std::vector<std::string>& ws,
                                     const std::vector<std::string>& prefixes) {
    std::vector<std::string> out;
    for (const std::string& w : ws)
        for (const std::string& p : prefixes)
            if (w.rfind(p, 0) == 0) {
                out.push_back(w);
                break;
            }
    return out;
}

// The "t" of each line that starts with the word.
inline std::vector<uint64_t> timesOf(const std::vector<std::string>& lines,
                                     const std::string& key) {
    std::vector<uint64_t> out;
    for (const std::string& l : lines)
        if (l.find("\"" + key + "\":") != std::string::npos)
            out.push_back(std::stoull(l.substr(5)));
    return out;
}

} // namespace skv::test
