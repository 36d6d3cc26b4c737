// Cast members: one small compiler per kind, found by the manifest's `type` field. A compiler
// reads its member's fields, reads and converts its asset files and returns the object the
// stream carries under the member's number. Adding a kind is one file and one row in
// memberKinds().
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/object.h"
#include "fields.h"
#include "platform/wingdi.h"
#include "script/assembler.h"
#include "sourcefiles.h"

namespace skvc {

// The movie-wide name table that script handlers and calls refer to by index.
class NameTable {
public:
    // The index of `name`, added at the end the first time it is seen.
    int32_t intern(const std::string& name);
    const std::vector<std::string>& names() const { return names_; }

private:
    std::vector<std::string> names_;
    std::map<std::string, int32_t> index_;
};

// A script-list entry of the runtime.
struct ScriptAttachment {
    int32_t key = 0;
    int32_t scriptRef = 0;
    int32_t isMovieScript = 0;
};

enum class MemberKindId { Palette, Bitmap, Script, Shape, Text, Sound };

struct CompiledMember {
    MemberKindId kind{};
    int32_t number = 0;
    std::string name;
    int line = 0; // where the member is declared
    std::unique_ptr<skv::skvObject> object;
    int32_t width = 0, height = 0;          // visual members
    std::vector<RGBQUAD> colours;           // palettes: their 256 colours
    std::vector<ScriptAttachment> attached; // scripts: their script-list entries
    bool spriteScript = false;              // scripts a sprite or a frame may name
    // Scripts: the file and what it defines and calls by name, for the checks that need every
    // script of the movie (scriptcheck.h).
    std::string scriptFile;
    skv::AsmUses scriptUses;
    // What a sprite showing the member takes unless it says otherwise (shapes and text).
    std::optional<uint8_t> fore, back;
    uint8_t lineByte = 0; // shapes: channel byte 5, the outline width plus one
};

// What a compiler may look at besides its own fields.
class MemberContext {
public:
    MemberContext(const SourceFiles& files, int16_t defaultPalette, NameTable& names)
        : files(files), defaultPalette(defaultPalette), names(names) {}

    const SourceFiles& files;
    int16_t defaultPalette;
    NameTable& names;
    // Members compiled so far, by number (palettes come first).
    std::map<int32_t, const CompiledMember*> compiled;
    std::map<std::string, int32_t> numbersByName;

    // Reads an asset named by `key`; errors name that field.
    std::vector<uint8_t> readAsset(Fields& f, const char* key, std::string* name = nullptr) const;
    // The 256 colours of palette `number` (built-in or a palette member); null when none.
    const RGBQUAD* paletteColours(int32_t number) const;
    // A palette given as a number or a palette member's name; the movie's default when absent.
    int32_t paletteField(Fields& f, const char* key) const;
    // A colour written "#RRGGBB"; `fallback` when absent.
    COLORREF colourField(Fields& f, const char* key, COLORREF fallback) const;
};

using MemberCompiler = void (*)(MemberContext& context, Fields& fields, CompiledMember& member);

struct MemberKind {
    const char* type; // the manifest's `type`
    MemberKindId kind;
    int phase; // compilers of a lower phase run first (palettes before the bitmaps mapped to them)
    MemberCompiler compile;
};

const std::vector<MemberKind>& memberKinds();

// The compilers, one file each.
void compilePaletteMember(MemberContext& context, Fields& fields, CompiledMember& member);
void compileBitmapMember(MemberContext& context, Fields& fields, CompiledMember& member);
void compileScriptMember(MemberContext& context, Fields& fields, CompiledMember& member);
void compileShapeMember(MemberContext& context, Fields& fields, CompiledMember& member);
void compileTextMember(MemberContext& context, Fields& fields, CompiledMember& member);
void compileSoundMember(MemberContext& context, Fields& fields, CompiledMember& member);

} // namespace skvc
