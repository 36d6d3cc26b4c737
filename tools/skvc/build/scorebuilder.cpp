#include "scorebuilder.h"

#include <algorithm>

#include "core/classids.h"
#include "core/guid.h"
#include "framestring.h"
#include "movie/frameactions.h"
#include "movie/scorelet.h"

namespace skvc {

namespace {

constexpr int32_t kMaxFrames = 32767;
constexpr int16_t kMemberSpriteType = 1;
constexpr uint8_t kDefaultFore = 255; // black in the built-in palettes
constexpr uint8_t kDefaultBack = 0;   // white

void put16(std::vector<uint8_t>& v, int32_t x) {
    v.push_back(static_cast<uint8_t>(x & 0xFF));
    v.push_back(static_cast<uint8_t>((x >> 8) & 0xFF));
}

class ScoreCompiler {
public:
    explicit ScoreCompiler(const ScoreInputs& in) : in_(in) {}

    BuiltScore run();

private:
    // Each [[name]] table in order, named for messages by its place among them (tablePath).
    template <class F> void eachTable(const char* name, F f);
    int32_t memberRef(Fields& f, const char* key, bool required);
    const CompiledMember* member(int32_t number) const {
        auto it = in_.members->find(number);
        return it == in_.members->end() ? nullptr : it->second;
    }
    // The frames an entry covers: `frame = N` or `frames = [a, b]`.
    std::pair<int32_t, int32_t> span(Fields& f);
    int32_t scriptRef(Fields& f, const char* key);
    void use(int32_t member, int32_t frame) {
        auto it = built_.firstUse.find(member);
        if (it == built_.firstUse.end() || frame < it->second) built_.firstUse[member] = frame;
    }
    skv::FrameImage& image(int32_t frame) {
        if (frame > static_cast<int32_t>(built_.images.size())) {
            skv::FrameImage blank;
            blank.clear();
            built_.images.resize(static_cast<size_t>(frame), blank);
        }
        return built_.images[static_cast<size_t>(frame - 1)];
    }

    void frames();
    void sprites();
    void scorelets(skv::skvScore& score);
    void enablers();

    const ScoreInputs& in_;
    BuiltScore built_;
    std::vector<std::pair<int32_t, std::string>> labels_;
    std::map<int32_t, std::vector<skv::FrameAction>> actions_;
    // Which sprite entry (its line) holds channel c on frame f, to refuse overlaps.
    std::map<std::pair<int32_t, int32_t>, int> taken_;
};

template <class F> void ScoreCompiler::eachTable(const char* name, F f) {
    const toml::node* n = in_.root->get(name);
    if (!n) return;
    const toml::array* a = n->as_array();
    if (!a || !a->is_array_of_tables())
        throw BuildError(SourcePlace{in_.file, lineOf(*n), name},
                         std::string("must be a list of tables, written [[") + name + "]]");
    int index = 0;
    for (const toml::node& e : *a) {
        Fields fields(*e.as_table(), in_.file, tablePath(name, index++));
        f(fields);
        fields.finish();
    }
}

int32_t ScoreCompiler::memberRef(Fields& f, const char* key, bool required) {
    const toml::node* n = f.node(key);
    if (!n) {
        if (required) f.fail(key, "is missing: give a member's number or name");
        return 0;
    }
    int32_t number = 0;
    if (std::optional<std::string> s = n->value_exact<std::string>()) {
        auto it = in_.numbersByName->find(*s);
        if (it == in_.numbersByName->end()) f.fail(key, "no member is named '" + *s + "'");
        number = it->second;
    } else if (std::optional<int64_t> v = n->value_exact<int64_t>()) {
        if (*v < 1 || *v > 32767) f.fail(key, "member numbers run from 1 to 32767");
        number = static_cast<int32_t>(*v);
        if (!member(number)) f.fail(key, "no member has number " + std::to_string(number));
    } else {
        f.fail(key, "must be a member's number or name");
    }
    return number;
}

std::pair<int32_t, int32_t> ScoreCompiler::span(Fields& f) {
    std::optional<int64_t> one = f.integer("frame", 1, kMaxFrames);
    std::optional<std::pair<int64_t, int64_t>> two = f.pair("frames", 1, kMaxFrames);
    if (one && two) f.fail("frames", "give either frame or frames, not both");
    if (one) return {static_cast<int32_t>(*one), static_cast<int32_t>(*one)};
    if (two) {
        if (two->second < two->first) f.fail("frames", "the last frame comes before the first");
        return {static_cast<int32_t>(two->first), static_cast<int32_t>(two->second)};
    }
    return {0, 0};
}

int32_t ScoreCompiler::scriptRef(Fields& f, const char* key) {
    if (!f.has(key)) return 0;
    const int32_t n = memberRef(f, key, true);
    const CompiledMember* m = member(n);
    if (!m || m->kind != MemberKindId::Script || !m->spriteScript)
        f.fail(key, "must name a script member with attach = \"sprite\" or \"frame\"");
    return n;
}

void ScoreCompiler::frames() {
    eachTable("frame", [&](Fields& f) {
        auto [first, last] = span(f);
        if (first == 0) f.failTable("needs 'frame = N' or 'frames = [first, last]'");
        int32_t tempoByte = 0;
        if (const toml::node* t = f.node("tempo")) {
            if (std::optional<int64_t> v = t->value_exact<int64_t>()) {
                if (*v < 1 || *v > 60) f.fail("tempo", "frames per second run from 1 to 60");
                tempoByte = static_cast<int32_t>(*v);
            } else if (std::optional<std::string> s = t->value_exact<std::string>();
                       s && (*s == "click" || *s == "sound")) {
                tempoByte = *s == "click" ? 128 : 135;
            } else {
                f.fail("tempo", "must be frames per second (1-60), \"click\" or \"sound\"");
            }
        }
        const std::optional<int64_t> wait = f.integer("wait", 1, 64);
        if (wait) {
            if (tempoByte) f.fail("wait", "a frame has either a tempo or a wait, not both");
            tempoByte = 256 - static_cast<int32_t>(*wait);
        }
        int32_t effect = 0, chunk = 0, quarters = 0;
        if (const toml::table* t = f.table("transition")) {
            Fields tf(*t, in_.file, f.path() + ".transition");
            effect = static_cast<int32_t>(tf.integer("effect", 1, 255).value_or(0));
            if (!effect) tf.fail("effect", "is missing: the transition's number (1-255)");
            chunk = static_cast<int32_t>(tf.integer("chunk", 1, 0, 255));
            quarters = static_cast<int32_t>(tf.integer("duration", 4, 0, 127));
            tf.finish();
        }
        const int32_t sound = memberRef(f, "sound", false);
        if (sound && member(sound)->kind != MemberKindId::Sound)
            f.fail("sound", "must name a sound member");
        int32_t palette = 0;
        if (const toml::node* p = f.node("palette")) {
            if (std::optional<int64_t> v = p->value_exact<int64_t>(); v && *v < 0) {
                if (*v < -32768) f.fail("palette", "is not a palette number");
                palette = static_cast<int32_t>(*v);
            } else {
                palette = memberRef(f, "palette", true);
                if (member(palette)->kind != MemberKindId::Palette)
                    f.fail("palette", "must name a palette member");
            }
        }
        const int32_t script = scriptRef(f, "script");
        const std::optional<int64_t> jump = f.integer("jump", 1, kMaxFrames);
        if (script && jump)
            f.fail("jump", "a frame's script number is its jump target: give one of them");
        const std::optional<std::string> label = f.string("label");
        if (label && (label->empty() || label->size() > 255))
            f.fail("label", "must be 1 to 255 characters");
        if (label && first != last)
            f.fail("label", "a label belongs to one frame: use 'frame = N'");
        std::vector<skv::FrameAction> actions;
        if (const toml::array* list = f.array("actions")) {
            if (first != last) f.fail("actions", "actions belong to one frame: use 'frame = N'");
            int index = 0;
            for (const toml::node& n : *list) {
                const toml::table* t = n.as_table();
                if (!t) f.fail("actions", "each action is a table such as { show = 3 }");
                Fields af(*t, in_.file, tablePath(f.path() + ".actions", index++));
                const int32_t show = memberRef(af, "show", false);
                const int32_t hide = memberRef(af, "hide", false);
                const int32_t stop =
                    static_cast<int32_t>(af.integer("stop", 1, kMaxFrames).value_or(0));
                if ((show != 0) + (hide != 0) + (stop != 0) != 1)
                    af.failTable("an action is one of { show = MEMBER }, { hide = MEMBER } or { "
                                 "stop = TRIGGER }");
                af.finish();
                const int32_t target = show ? -show : hide ? -hide : stop;
                actions.push_back(
                    {show || stop ? 1 : 2,
                     static_cast<int32_t>(static_cast<uint32_t>(target) & 0x3FFFFFFFu)});
            }
        }
        if (label) labels_.emplace_back(first, *label);
        if (!actions.empty()) {
            auto& list = actions_[first];
            list.insert(list.end(), actions.begin(), actions.end());
        }
        for (int32_t fr = first; fr <= last; ++fr) {
            skv::FrameImage& im = image(fr);
            skv::SpriteChannel& c0 = im[0];
            if (tempoByte) c0.bytes[5] = static_cast<uint8_t>(tempoByte);
            if (effect) {
                c0.bytes[4] = static_cast<uint8_t>(effect);
                c0.bytes[2] = static_cast<uint8_t>(chunk);
                c0.bytes[3] = static_cast<uint8_t>(quarters);
            }
            if (sound) {
                c0.setInt16At(6, static_cast<int16_t>(sound));
                use(sound, fr);
            }
            if (script) {
                c0.setInt16At(16, static_cast<int16_t>(script));
                use(script, fr);
            }
            if (jump) c0.setInt16At(16, static_cast<int16_t>(*jump));
            if (palette) {
                im[1].setInt16At(0, static_cast<int16_t>(palette));
                if (palette > 0) use(palette, fr);
            }
        }
    });
}

void ScoreCompiler::sprites() {
    eachTable("sprite", [&](Fields& f) {
        const int32_t sprite = static_cast<int32_t>(f.integer("sprite", 1, 48).value_or(0));
        if (!sprite)
            f.fail("sprite", "is missing: the sprite number, 1 to 48 (sprite 1 draws lowest)");
        const int32_t number = memberRef(f, "member", true);
        const CompiledMember* m = member(number);
        if (m->kind != MemberKindId::Bitmap && m->kind != MemberKindId::Shape &&
            m->kind != MemberKindId::Text)
            f.fail("member", "a sprite shows a bitmap, shape or text member");
        auto [first, last] = span(f);
        struct Key {
            int32_t frame, left, top;
        };
        std::vector<Key> keys;
        const auto at = f.pair("at", -32768, 32767);
        const auto to = f.pair("to", -32768, 32767);
        if (const toml::array* list = f.array("keys")) {
            if (at || to || first)
                f.fail("keys", "a sprite with keys takes its frames and places from them");
            int index = 0;
            for (const toml::node& n : *list) {
                const toml::table* t = n.as_table();
                if (!t) f.fail("keys", "each key is a table such as { frame = 1, at = [10, 20] }");
                Fields kf(*t, in_.file, tablePath(f.path() + ".keys", index++));
                const auto kfr = kf.integer("frame", 1, kMaxFrames);
                const auto kat = kf.pair("at", -32768, 32767);
                if (!kfr || !kat) kf.failTable("a key needs both 'frame' and 'at'");
                kf.finish();
                if (!keys.empty() && *kfr <= keys.back().frame)
                    kf.fail("frame", "keys must be in increasing frame order");
                keys.push_back({static_cast<int32_t>(*kfr), static_cast<int32_t>(kat->first),
                                static_cast<int32_t>(kat->second)});
            }
            if (keys.empty()) f.fail("keys", "needs at least one key");
            first = keys.front().frame;
            last = keys.back().frame;
        } else {
            if (!first) f.failTable("needs 'frame = N', 'frames = [first, last]' or 'keys'");
            const auto start = at.value_or(std::make_pair<int64_t, int64_t>(0, 0));
            keys.push_back(
                {first, static_cast<int32_t>(start.first), static_cast<int32_t>(start.second)});
            if (to) {
                if (first == last) f.fail("to", "a move needs more than one frame");
                keys.push_back(
                    {last, static_cast<int32_t>(to->first), static_cast<int32_t>(to->second)});
            }
        }
        int32_t ink = 0;
        if (const toml::node* n = f.node("ink")) {
            if (std::optional<int64_t> v = n->value_exact<int64_t>(); v && *v >= 0 && *v <= 31) {
                ink = static_cast<int32_t>(*v);
            } else if (std::optional<std::string> s = n->value_exact<std::string>();
                       s && (*s == "copy" || *s == "transparent" || *s == "matte")) {
                ink = *s == "copy" ? 0 : *s == "transparent" ? 1 : 8;
            } else {
                f.fail("ink", "must be \"copy\", \"transparent\", \"matte\" or an ink number 0-31");
            }
        }
        const uint8_t fore =
            static_cast<uint8_t>(f.integer("fore", m->fore.value_or(kDefaultFore), 0, 255));
        const uint8_t back =
            static_cast<uint8_t>(f.integer("back", m->back.value_or(kDefaultBack), 0, 255));
        uint8_t lineByte = m->lineByte;
        if (f.has("line")) {
            if (m->kind != MemberKindId::Shape) f.fail("line", "only a shape has an outline");
            lineByte = static_cast<uint8_t>(f.integer("line", 0, 0, 6) + 1);
        }
        const auto size = f.pair("size", 0, 32767);
        const int32_t script = scriptRef(f, "script");
        const std::optional<int64_t> trigger = f.integer("trigger", 1, 32767);
        if (script && trigger)
            f.fail("trigger", "a sprite's script number is its trigger: give one of them");

        skv::SpriteChannel c{};
        c.bytes[0] = kMemberSpriteType;
        c.bytes[2] = back;
        c.bytes[3] = fore;
        c.bytes[4] = static_cast<uint8_t>(ink);
        c.bytes[5] = lineByte;
        c.setCastNumber(static_cast<int16_t>(number));
        c.setWidth(static_cast<int16_t>(size ? size->first : m->width));
        c.setHeight(static_cast<int16_t>(size ? size->second : m->height));
        c.setScriptNumber(static_cast<int16_t>(script ? script : trigger.value_or(0)));
        size_t k = 0;
        for (int32_t fr = first; fr <= last; ++fr) {
            auto owner = taken_.find({fr, sprite});
            if (owner != taken_.end())
                f.fail("sprite", "sprite " + std::to_string(sprite) + " is already used on frame " +
                                     std::to_string(fr) + " by the sprite entry at line " +
                                     std::to_string(owner->second));
            taken_[{fr, sprite}] = f.place(nullptr).line;
            while (k + 1 < keys.size() && keys[k + 1].frame <= fr)
                ++k;
            int32_t left = keys[k].left, top = keys[k].top;
            if (k + 1 < keys.size()) {
                const Key& a = keys[k];
                const Key& b = keys[k + 1];
                const auto lerp = [&](int32_t p, int32_t q) {
                    const int64_t num = int64_t(q - p) * (fr - a.frame), den = b.frame - a.frame;
                    const int64_t step =
                        num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
                    return static_cast<int32_t>(p + step);
                };
                left = lerp(a.left, b.left);
                top = lerp(a.top, b.top);
            }
            c.setLeft(static_cast<int16_t>(left));
            c.setTop(static_cast<int16_t>(top));
            image(fr)[sprite + 1] = c;
            use(number, fr);
            if (script) use(script, fr);
        }
    });
}

void ScoreCompiler::scorelets(skv::skvScore& score) {
    eachTable("scorelet", [&](Fields& f) {
        auto s = std::make_unique<skv::skvScorelet>();
        const toml::node* mode = f.node("mode");
        std::optional<std::string> name = mode ? mode->value_exact<std::string>() : std::nullopt;
        if (!name || (*name != "auto" && *name != "idle" && *name != "once"))
            f.fail("mode", "must be \"auto\" (starts by itself), \"idle\" (starts at random) or "
                           "\"once\" (plays once when its trigger is clicked)");
        s->mode = *name == "auto"   ? skv::skvScorelet::kStartsItself
                  : *name == "idle" ? skv::skvScorelet::kIdle
                                    : skv::skvScorelet::kOneShot;
        const std::optional<int64_t> start = f.integer("start", 1, kMaxFrames);
        if (!start)
            f.fail("start", "is missing: the score frame its frames begin at (also its trigger)");
        s->startFrame = s->trigger = static_cast<int32_t>(*start);
        s->active = f.boolean("active", false) ? 1 : 0;
        if (auto pause = f.integers("pause", 1, kMaxFrames, skv::skvScorelet::kMaxPauseTriggers))
            s->pauseList.assign(pause->begin(), pause->end());
        s->enabled = 0;
        if (in_.settings.hubFrame <= 0)
            f.failTable("scorelets play over a hub score: set movie.hub");
        if (*start <= in_.settings.hubFrame)
            f.fail("start", "a scorelet's frames come after the hub frame (" +
                                std::to_string(in_.settings.hubFrame) + ")");
        score.addScorelet(s.release());
    });
}

void ScoreCompiler::enablers() {
    eachTable("enabler", [&](Fields& f) {
        const std::optional<int64_t> trigger = f.integer("trigger", 1, kMaxFrames);
        if (!trigger) f.fail("trigger", "is missing: the trigger to enable");
        PlacedEnabler p;
        p.enabler = std::make_unique<skv::skvSpriteEnabler>(static_cast<int32_t>(*trigger));
        p.after = memberRef(f, "after", false);
        built_.enablers.push_back(std::move(p));
    });
}

BuiltScore ScoreCompiler::run() {
    frames();
    sprites();
    const MovieSettings& s = in_.settings;
    int32_t count = static_cast<int32_t>(built_.images.size());
    if (s.frames) {
        if (s.frames < count)
            throw BuildError(SourcePlace{in_.file, 0, "movie.frames"},
                             "the score uses " + std::to_string(count) + " frames, more than the " +
                                 std::to_string(s.frames) + " given");
        image(s.frames);
        count = s.frames;
    }
    if (count == 0) {
        image(1); // a movie has at least one frame
        count = 1;
    }
    if (s.hubFrame > count)
        throw BuildError(SourcePlace{in_.file, 0, "movie.hub"},
                         "the hub frame is past the last frame (" + std::to_string(count) + ")");
    size_t labelText = 0;
    for (const auto& [frame, text] : labels_)
        labelText += text.size();
    if (labelText > 65535)
        throw BuildError(SourcePlace{in_.file, 0, "frame.label"},
                         "the labels come to " + std::to_string(labelText) +
                             " characters; a movie's labels hold at most 65535");
    for (const auto& [frame, text] : labels_)
        if (frame > count)
            throw BuildError(SourcePlace{in_.file, 0, "frame.label"},
                             "label '" + text + "' is on frame " + std::to_string(frame) +
                                 ", past the last frame");

    auto score = std::make_unique<skv::skvScore>();
    score->objectId = skv::CLSID_skvScore;
    score->setDefaultPalette(s.palette);
    score->setDefaultTempo(s.tempo);
    score->setStageColour(s.stageColour);
    score->setStageSize(s.stageWidth, s.stageHeight);
    score->setScoreData(encodeFrameString(built_.images));
    score->setHubFrame(s.hubFrame);
    std::vector<skv::FrameAction> table;
    for (const auto& [frame, list] : actions_) {
        table.push_back({0, static_cast<int32_t>(static_cast<uint32_t>(frame) & 0x3FFFFFFFu)});
        table.insert(table.end(), list.begin(), list.end());
    }
    if (table.size() > size_t(skv::FrameActions::kMaxActions))
        throw BuildError(SourcePlace{in_.file, 0, "frame.actions"},
                         "the frame actions and their frame markers come to " +
                             std::to_string(table.size()) + " entries; a score holds at most 512");
    score->frameActions().assign(std::move(table));
    scorelets(*score);
    enablers();
    built_.labels = encodeFrameLabels(labels_);
    built_.score = std::move(score);
    return std::move(built_);
}

} // namespace

std::vector<uint8_t> encodeFrameLabels(std::vector<std::pair<int32_t, std::string>> labels) {
    if (labels.empty()) return {};
    std::stable_sort(labels.begin(), labels.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<uint8_t> out;
    put16(out, static_cast<int32_t>(labels.size()));
    std::string area;
    for (const auto& [frame, text] : labels) {
        put16(out, frame);
        put16(out, static_cast<int32_t>(area.size()));
        area += text;
    }
    put16(out, 0);
    put16(out, static_cast<int32_t>(area.size()));
    out.insert(out.end(), area.begin(), area.end());
    return out;
}

BuiltScore buildScore(const ScoreInputs& in) {
    return ScoreCompiler(in).run();
}

} // namespace skvc
