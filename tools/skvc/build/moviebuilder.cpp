#include "moviebuilder.h"

#include <algorithm>
#include <cstring>

#include "core/classids.h"
#include "core/guid.h"
#include "core/moviewriter.h"
#include "gfx/palette.h"
#include "members.h"
#include "movie/authorinfo.h"
#include "net/ratemap.h"
#include "ratemapbuilder.h"
#include "scorebuilder.h"
#include "script/runtime.h"
#include "scriptcheck.h"

namespace skvc {

namespace {

struct MovieHeader {
    GUID id{};
    bool idGiven = false;
    int32_t version = 0;
    uint32_t word4 = 0, word28 = 0;
};

// One object in stream order and the frame that first needs it.
struct Placed {
    skv::skvObject* object;
    int32_t neededAt;
};

toml::table parseManifest(const SourceFiles& files) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!files.read(kManifestName, &bytes, &error))
        throw BuildError(SourcePlace{kManifestName, 0, ""},
                         error + " (a movie source is a directory holding movie.toml)");
    try {
        return toml::parse(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
            std::string_view(kManifestName));
    } catch (const toml::parse_error& e) {
        throw BuildError(SourcePlace{kManifestName, static_cast<int>(e.source().begin.line), ""},
                         std::string(e.description()));
    }
}

// 128 bits of two FNV-1a hashes: a movie's identifier when the source gives none, so that a
// changed movie gets a new cache key.
GUID contentId(const std::vector<uint8_t>& content) {
    uint64_t a = 0xcbf29ce484222325ull, b = 0x84222325cbf29ce4ull;
    for (uint8_t c : content) {
        a = (a ^ c) * 0x100000001b3ull;
        b = (b ^ static_cast<uint8_t>(c + 0x5A)) * 0x100000001b3ull;
    }
    GUID g{};
    g.Data1 = static_cast<uint32_t>(a >> 32);
    g.Data2 = static_cast<uint16_t>(a >> 16);
    g.Data3 = static_cast<uint16_t>(a);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = static_cast<uint8_t>(b >> (8 * i));
    return g;
}

class MovieCompiler {
public:
    explicit MovieCompiler(const SourceFiles& files) : files_(files) {}
    std::vector<uint8_t> run(BuildSummary* summary);

private:
    void movieTable(const toml::table& root);
    void declareMembers(const toml::table& root);
    void compileMembers(std::vector<BuildWarning>* warnings);
    std::unique_ptr<skv::skvScriptRuntime> runtime(const std::vector<uint8_t>& labels);
    std::vector<uint8_t> write(const std::vector<Placed>& order, const MovieHeader& header,
                               std::vector<int64_t>* ends);

    const SourceFiles& files_;
    MovieSettings settings_;
    MovieHeader header_;
    std::unique_ptr<skv::skvAuthorInfo> info_;
    std::optional<std::vector<int64_t>> rateEntries_;
    int32_t rateFps_ = 0;
    // Declared members: their table (kept alive by root_) and kind.
    struct Declared {
        const toml::table* table;
        const MemberKind* kind;
        int index;
        CompiledMember member;
    };
    std::vector<Declared> declared_;
    std::map<int32_t, const CompiledMember*> byNumber_;
    std::map<std::string, int32_t> byName_;
    NameTable names_;
    const toml::node* paletteNode_ = nullptr;
    int paletteLine_ = 0;
};

void MovieCompiler::movieTable(const toml::table& root) {
    const toml::node* n = root.get("movie");
    if (!n || !n->as_table())
        throw BuildError(SourcePlace{kManifestName, 0, "movie"},
                         "the manifest needs a [movie] table (stage size, tempo, palette ...)");
    Fields f(*n->as_table(), kManifestName, "movie");
    if (auto stage = f.pair("stage", 1, 4096)) {
        settings_.stageWidth = static_cast<int32_t>(stage->first);
        settings_.stageHeight = static_cast<int32_t>(stage->second);
    }
    settings_.stageColour = static_cast<int32_t>(f.integer("colour", 0, 0, 255));
    settings_.tempo = static_cast<int32_t>(f.integer("tempo", 15, 1, 60));
    settings_.hubFrame = static_cast<int32_t>(f.integer("hub", 0, 0, 32767));
    settings_.frames = static_cast<int32_t>(f.integer("frames", 0, 1, 32767));
    header_.version = static_cast<int32_t>(f.integer("version", 0, INT32_MIN, INT32_MAX));
    header_.word4 = static_cast<uint32_t>(f.integer("header4", 0, 0, UINT32_MAX));
    header_.word28 = static_cast<uint32_t>(f.integer("header28", 0, 0, UINT32_MAX));
    if (std::optional<std::string> id = f.string("id")) {
        if (!skv::guidParse(id->c_str(), &header_.id))
            f.fail("id", "must be an identifier such as \"1a2b3c4d-0000-1111-2222-333344445555\"");
        header_.idGiven = true;
    }
    if (const toml::node* p = f.node("palette")) {
        paletteLine_ = lineOf(*p);
        if (std::optional<int64_t> v = p->value_exact<int64_t>()) {
            if (!skv::isBuiltInPalette(static_cast<int32_t>(*v)) && (*v < 1 || *v > 32767))
                f.fail(
                    "palette",
                    "must be a built-in palette (-1, -2 ... -7, -101, -102) or a palette member");
            settings_.palette = static_cast<int16_t>(*v);
        } else if (!p->is_string()) {
            f.fail("palette", "must be a palette number or a palette member's name");
        }
        paletteNode_ = p;
    }
    if (const toml::table* info = f.table("info")) {
        Fields inf(*info, kManifestName, "movie.info");
        info_ = std::make_unique<skv::skvAuthorInfo>();
        info_->objectId = skv::CLSID_skvAuthorInfo;
        const char* keys[] = {"title", "author", "copyright", "description", "contact"};
        for (int i = 0; i < 5; ++i)
            if (std::optional<std::string> s = inf.string(keys[i])) {
                if (s->size() > 255) inf.fail(keys[i], "is longer than 255 characters");
                info_->setText(i, s->c_str());
            }
        inf.finish();
    }
    f.finish();

    if (const toml::node* r = root.get("ratemap")) {
        if (!r->as_table())
            throw BuildError(SourcePlace{kManifestName, lineOf(*r), "ratemap"}, "must be a table");
        Fields rf(*r->as_table(), kManifestName, "ratemap");
        rateFps_ = static_cast<int32_t>(rf.integer("fps", 0, 1, 60));
        if (auto e = rf.integers("entries", 0, INT32_MAX, 32767)) {
            if (rateFps_)
                rf.fail("entries", "give either fps (to compute the map) or entries, not both");
            rateEntries_ = *e;
        }
        rf.finish();
    }
}

void MovieCompiler::declareMembers(const toml::table& root) {
    const toml::node* n = root.get("member");
    if (!n) return;
    const toml::array* a = n->as_array();
    if (!a || !a->is_array_of_tables())
        throw BuildError(SourcePlace{kManifestName, lineOf(*n), "member"},
                         "must be a list of tables, written [[member]]");
    std::map<int32_t, int> lines;
    int index = 0;
    for (const toml::node& e : *a) {
        const toml::table& t = *e.as_table();
        Fields f(t, kManifestName, tablePath("member", index));
        const std::optional<int64_t> number = f.integer("number", 1, 32767);
        if (!number) f.failTable("a member needs its 'number' (1-32767)");
        if (lines.count(static_cast<int32_t>(*number)))
            f.fail("number", "member " + std::to_string(*number) + " is already declared at line " +
                                 std::to_string(lines[static_cast<int32_t>(*number)]));
        lines[static_cast<int32_t>(*number)] = f.place("number").line;
        std::optional<std::string> type = f.string("type");
        const MemberKind* kind = nullptr;
        std::string known;
        for (const MemberKind& k : memberKinds()) {
            known += (known.empty() ? "" : ", ") + std::string(k.type);
            if (type && *type == k.type) kind = &k;
        }
        if (!kind) f.fail("type", "must be one of: " + known);
        Declared d{&t, kind, index, {}};
        d.member.kind = kind->kind;
        d.member.number = static_cast<int32_t>(*number);
        d.member.line = lineOf(e);
        if (std::optional<std::string> name = f.string("name")) {
            if (name->empty()) f.fail("name", "must not be empty");
            if (byName_.count(*name))
                f.fail("name", "another member is already named '" + *name + "'");
            byName_[*name] = d.member.number;
            d.member.name = *name;
        }
        declared_.push_back(std::move(d));
        ++index;
    }
}

void MovieCompiler::compileMembers(std::vector<BuildWarning>* warnings) {
    if (paletteNode_) {
        if (std::optional<std::string> name = paletteNode_->value_exact<std::string>()) {
            auto it = byName_.find(*name);
            if (it == byName_.end())
                throw BuildError(SourcePlace{kManifestName, paletteLine_, "movie.palette"},
                                 "no member is named '" + *name + "'");
            settings_.palette = static_cast<int16_t>(it->second);
        }
    }
    // Members without a palette of their own are mapped to the movie's: it must be known to be a
    // palette before the first of them is compiled, not only once they all are.
    if (settings_.palette > 0) {
        const auto named = std::find_if(declared_.begin(), declared_.end(), [&](const Declared& d) {
            return d.member.number == settings_.palette;
        });
        if (named == declared_.end() || named->kind->kind != MemberKindId::Palette)
            throw BuildError(SourcePlace{kManifestName, paletteLine_, "movie.palette"},
                             "member " + std::to_string(settings_.palette) +
                                 " is not a palette member");
    }
    MemberContext context(files_, settings_.palette, names_);
    context.numbersByName = byName_;
    std::vector<Declared*> order;
    for (Declared& d : declared_)
        order.push_back(&d);
    // Palettes before the bitmaps mapped to them; within a phase by member number, so that the
    // name table scripts build does not depend on where in the manifest a script is declared.
    std::stable_sort(order.begin(), order.end(), [](const Declared* a, const Declared* b) {
        if (a->kind->phase != b->kind->phase) return a->kind->phase < b->kind->phase;
        return a->member.number < b->member.number;
    });
    for (Declared* d : order) {
        Fields f(*d->table, kManifestName, tablePath("member", d->index));
        f.integer("number", 1, 32767);
        f.string("type");
        f.string("name");
        d->kind->compile(context, f, d->member);
        f.finish();
        context.compiled[d->member.number] = &d->member;
        byNumber_[d->member.number] = &d->member;
    }
    checkScripts(byNumber_, warnings);
}

std::unique_ptr<skv::skvScriptRuntime> MovieCompiler::runtime(const std::vector<uint8_t>& labels) {
    auto rt = std::make_unique<skv::skvScriptRuntime>();
    rt->objectId = skv::CLSID_skvScriptRuntime;
    skv::ScriptEngine& e = *rt->engine;
    for (const auto& [number, m] : byNumber_)
        for (const ScriptAttachment& a : m->attached)
            e.scripts.push_back({a.key, a.scriptRef, a.isMovieScript});
    e.names.assign(names_.names());
    e.labels = skv::FrameLabelTable(labels);
    e.hasLabels = !labels.empty();
    std::vector<std::pair<std::string, int32_t>> cast;
    for (const auto& [number, m] : byNumber_)
        if (!m->name.empty()) cast.emplace_back(m->name, number);
    e.castNames.assign(std::move(cast));
    rt->noScripts = (e.scripts.empty() && labels.empty() && e.castNames.entries().empty()) ? 1 : 0;
    return rt;
}

std::vector<uint8_t> MovieCompiler::write(const std::vector<Placed>& order,
                                          const MovieHeader& header, std::vector<int64_t>* ends) {
    skv::StreamHeader h;
    h.movieId = header.id;
    h.streamVersion = header.version;
    h.word4 = header.word4;
    h.word28 = header.word28;
    skv::MovieWriter writer(h);
    if (ends) ends->clear();
    for (const Placed& p : order) {
        writer.add(*p.object);
        if (ends) ends->push_back(static_cast<int64_t>(writer.content().size()));
    }
    return writer.finish();
}

std::vector<uint8_t> MovieCompiler::run(BuildSummary* summary) {
    const toml::table root = parseManifest(files_);
    for (auto&& [k, v] : root) {
        static const char* known[] = {"movie",    "member",  "frame",  "sprite",
                                      "scorelet", "enabler", "ratemap"};
        if (std::find_if(std::begin(known), std::end(known),
                         [&](const char* s) { return k.str() == s; }) == std::end(known))
            throw BuildError(SourcePlace{kManifestName, lineOf(v), std::string(k.str())},
                             "unknown table; the manifest holds [movie], [[member]], [[frame]], "
                             "[[sprite]], [[scorelet]], [[enabler]] and [ratemap]");
    }
    movieTable(root);
    declareMembers(root);
    std::vector<BuildWarning> ownWarnings;
    compileMembers(summary ? &summary->warnings : &ownWarnings);

    ScoreInputs in;
    in.root = &root;
    in.file = kManifestName;
    in.settings = settings_;
    in.members = &byNumber_;
    in.numbersByName = &byName_;
    BuiltScore score = buildScore(in);
    std::unique_ptr<skv::skvScriptRuntime> rt = runtime(score.labels);
    const int32_t frameCount = static_cast<int32_t>(score.images.size());

    // When each member is first needed: movie scripts and the default palette before playing;
    // a member's scripts with the member.
    std::map<int32_t, int32_t> needed = score.firstUse;
    for (const auto& [number, m] : byNumber_) {
        for (const ScriptAttachment& a : m->attached) {
            if (a.isMovieScript)
                needed[number] = 0;
            else if (a.key != number && score.firstUse.count(a.key)) {
                const int32_t f = score.firstUse.at(a.key);
                needed[number] = needed.count(number) ? std::min(needed[number], f) : f;
            }
        }
    }
    if (settings_.palette > 0) needed[settings_.palette] = 0;
    std::vector<const CompiledMember*> members;
    for (const auto& [number, m] : byNumber_)
        members.push_back(m);
    std::stable_sort(members.begin(), members.end(),
                     [&](const CompiledMember* a, const CompiledMember* b) {
                         const int64_t fa = needed.count(a->number) ? needed[a->number] : INT32_MAX;
                         const int64_t fb = needed.count(b->number) ? needed[b->number] : INT32_MAX;
                         return fa < fb;
                     });

    std::vector<int32_t> entries;
    if (rateEntries_)
        entries.assign(rateEntries_->begin(), rateEntries_->end());
    else
        entries.assign(static_cast<size_t>(std::max<int32_t>(
                           1, (frameCount + (rateFps_ ? rateFps_ : settings_.tempo) - 1) /
                                  (rateFps_ ? rateFps_ : settings_.tempo))),
                       0);
    if (entries.size() > 32767)
        throw BuildError(SourcePlace{kManifestName, 0, "ratemap"},
                         "the movie is too long for a rate map");
    auto rateMap = std::make_unique<skv::skvRateMap>();
    rateMap->objectId = skv::CLSID_skvRateMap;
    rateMap->assign(entries.data(), static_cast<int16_t>(entries.size()));

    std::vector<Placed> order = {{score.score.get(), 0}, {rt.get(), 0}, {rateMap.get(), 0}};
    if (info_) order.push_back({info_.get(), 0});
    std::vector<bool> placed(score.enablers.size(), false);
    for (const CompiledMember* m : members) {
        order.push_back({m->object.get(), needed.count(m->number) ? needed[m->number] : -1});
        for (size_t i = 0; i < score.enablers.size(); ++i)
            if (score.enablers[i].after == m->number) {
                order.push_back({score.enablers[i].enabler.get(), -1});
                placed[i] = true;
            }
    }
    for (size_t i = 0; i < score.enablers.size(); ++i)
        if (!placed[i]) order.push_back({score.enablers[i].enabler.get(), -1});
    // Enablers get identities of their own that do not change from build to build.
    for (size_t i = 0; i < score.enablers.size(); ++i) {
        GUID& g = score.enablers[i].enabler->objectId;
        g = skv::CLSID_skvSpriteEnabler;
        g.Data1 ^= static_cast<uint32_t>(score.enablers[i].enabler->triggerNumber);
        g.Data2 = static_cast<uint16_t>(i);
    }

    std::vector<int64_t> ends;
    MovieHeader header = header_;
    std::vector<uint8_t> first = write(order, header, &ends);
    if (!rateEntries_) {
        std::vector<StreamSpan> spans;
        for (size_t i = 0; i < order.size(); ++i)
            spans.push_back({ends[i], order[i].neededAt});
        entries = computeRateMap(spans, ends.empty() ? 0 : ends.back(),
                                 static_cast<int64_t>(first.size()) - 32, frameCount,
                                 rateFps_ ? rateFps_ : settings_.tempo);
        rateMap->assign(entries.data(), static_cast<int16_t>(entries.size()));
    }
    if (!header.idGiven) {
        skv::MovieWriter probe;
        for (const Placed& p : order)
            probe.add(*p.object);
        header.id = contentId(probe.content());
    }
    if (summary) {
        summary->members = static_cast<int32_t>(byNumber_.size());
        summary->frames = frameCount;
        summary->stageWidth = settings_.stageWidth;
        summary->stageHeight = settings_.stageHeight;
    }
    return write(order, header, nullptr);
}

} // namespace

std::vector<uint8_t> buildMovie(const SourceFiles& files, BuildSummary* summary) {
    return MovieCompiler(files).run(summary);
}

} // namespace skvc
