// Script members: script assembly (docs/script-assembly.md) in which names may be written as
// #name wherever a nameId goes. The builder gives every such name its index in the movie's name
// table, in the order names are first met, and assembles the result.
#include <cctype>

#include "core/guid.h"
#include "members.h"
#include "script/assembler.h"
#include "script/script.h"
#include "script/scriptblock.h"
#include "scriptnames.h"

namespace skvc {

std::string resolveScriptNames(const std::string& text, NameTable& names) {
    std::string out;
    out.reserve(text.size());
    bool inText = false, inComment = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            inText = inComment = false;
            out += c;
            continue;
        }
        if (inComment) {
            out += c;
            continue;
        }
        if (inText) {
            out += c;
            if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n')
                out += text[++i];
            else if (c == '"')
                inText = false;
            continue;
        }
        if (c == ';') inComment = true;
        if (c == '"') inText = true;
        const auto identStart = [](char ch) {
            return std::isalpha(static_cast<unsigned char>(ch)) || ch == '_';
        };
        if (c == '#' && i + 1 < text.size() && identStart(text[i + 1])) {
            size_t j = i + 1;
            while (j < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_'))
                ++j;
            out += std::to_string(names.intern(text.substr(i + 1, j - i - 1)));
            i = j - 1;
            continue;
        }
        out += c;
    }
    return out;
}

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

    const std::string text =
        resolveScriptNames(std::string(bytes.begin(), bytes.end()), context.names);
    std::vector<uint8_t> block;
    skv::AsmError e;
    if (!skv::assembleScript(text, &block, &e))
        throw BuildError(SourcePlace{fileName, e.line, ""}, e.message);
    auto script = std::make_unique<skv::skvScript>();
    script->block = std::make_unique<skv::ScriptBlock>(std::move(block));
    script->objectId = skv::memberGuid(member.number);
    member.object = std::move(script);
}

} // namespace skvc
