// Script members: script source (docs/scripting.md, files ending in .sky) or script assembly
// (docs/script-assembly.md, any other file), in which names may be written as #name wherever a
// nameId goes. Every name gets its index in the movie's name table, in the order names are first
// met; what a script calls is checked once every script is known (scriptcheck.h).
#include <algorithm>

#include "core/guid.h"
#include "members.h"
#include "script/assembler.h"
#include "script/langcompiler.h"
#include "script/script.h"
#include "script/scriptblock.h"

namespace skvc {

void compileScriptMember(MemberContext& context, Fields& f, CompiledMember& member) {
    std::string fileName;
    std::vector<uint8_t> bytes = context.readAsset(f, "file", &fileName);
    std::optional<std::string> attach = f.string("attach");
    if (!attach) f.fail("attach", "is missing: say \"movie\", \"sprite\", \"frame\" or \"member\"");
    std::vector<int32_t> members;
    if (const toml::node* n = f.node("member")) {
        if (*attach != "member")
            f.fail("member", "only a script with attach = \"member\" names a member");
        std::vector<const toml::node*> items;
        if (const toml::array* a = n->as_array())
            for (const toml::node& e : *a)
                items.push_back(&e);
        else
            items.push_back(n);
        for (const toml::node* e : items) {
            if (std::optional<int64_t> v = e->value_exact<int64_t>()) {
                if (*v < 1 || *v > 32767) f.fail("member", "member numbers run from 1 to 32767");
                members.push_back(static_cast<int32_t>(*v));
            } else if (std::optional<std::string> s = e->value_exact<std::string>()) {
                auto it = context.numbersByName.find(*s);
                if (it == context.numbersByName.end())
                    f.fail("member", "no member is named '" + *s + "'");
                members.push_back(it->second);
            } else {
                f.fail("member", "must be a member's number or name, or a list of them");
            }
        }
    }
    if (*attach == "movie") {
        member.attached.push_back({member.number, member.number, 1});
    } else if (*attach == "sprite" || *attach == "frame") {
        member.attached.push_back({member.number, member.number, 0});
        member.spriteScript = true;
    } else if (*attach == "member") {
        if (members.empty())
            f.fail("attach", "a member script needs 'member': the number or name of its member");
        for (int32_t m : members)
            member.attached.push_back({m, member.number, 0});
    } else {
        f.fail("attach", "must be \"movie\", \"sprite\", \"frame\" or \"member\"");
    }

    // The assembler grows a copy of the table; names it added keep their order when interned.
    std::vector<std::string> names = context.names.names();
    const size_t known = names.size();
    std::vector<uint8_t> block;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (fileName.size() > 4 && fileName.ends_with(".sky")) {
        std::vector<skv::LangError> errors;
        if (!skv::compileScriptSource(text, &block, &errors, &names, &member.scriptUses)) {
            // Every error of the file: the first as the error, the others after it, each in
            // the form file:line:column: message.
            std::string message =
                errors.empty() ? "the script does not compile" : errors[0].message;
            // A file that is not a script at all would give an error a line: the first 50.
            const size_t shown = std::min<size_t>(errors.size(), 50);
            for (size_t i = 1; i < shown; ++i) {
                message.push_back('\n');
                message.append(skv::langErrorText(fileName, errors[i]));
            }
            if (shown < errors.size()) {
                message.push_back('\n');
                message.append(fileName + ": " + std::to_string(errors.size() - shown) +
                               " more errors");
            }
            SourcePlace place{fileName, errors.empty() ? 0 : errors[0].pos.line, ""};
            place.column = errors.empty() ? 0 : errors[0].pos.column;
            throw BuildError(place, message);
        }
    } else {
        skv::AsmError e;
        if (!skv::assembleScript(text, &block, &e, &names, &member.scriptUses))
            throw BuildError(SourcePlace{fileName, e.line, ""}, e.message);
    }
    for (size_t i = known; i < names.size(); ++i)
        context.names.intern(names[i]);
    member.scriptFile = fileName;
    auto script = std::make_unique<skv::skvScript>();
    script->block = std::make_unique<skv::ScriptBlock>(std::move(block));
    script->objectId = skv::memberGuid(member.number);
    member.object = std::move(script);
}

} // namespace skvc
