// Input scripts: the text format (docs/input-script.md). The same on every system; the delivery
// of the events belongs to each system's display.
#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

#include "platform/display.h"

namespace skv::platform {

namespace {

constexpr uint64_t kMaxTimeMs = uint64_t{1} << 40; // some 35 years
constexpr size_t kMaxEvents = 1000000;
constexpr uint64_t kModifierHoldMs = 500;

struct Named {
    const char* name;
    int vk;
};

constexpr Named kKeys[] = {
    {"return", VK_RETURN}, {"enter", VK_RETURN}, {"escape", VK_ESCAPE},  {"esc", VK_ESCAPE},
    {"space", VK_SPACE},   {"tab", VK_TAB},      {"backspace", VK_BACK}, {"left", VK_LEFT},
    {"right", VK_RIGHT},   {"up", VK_UP},        {"down", VK_DOWN},      {"home", VK_HOME},
    {"end", VK_END},       {"pageup", VK_PRIOR}, {"pagedown", VK_NEXT},  {"insert", VK_INSERT},
    {"delete", VK_DELETE}, {"shift", VK_SHIFT},  {"ctrl", VK_CONTROL},   {"control", VK_CONTROL},
    {"alt", VK_MENU},
};

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool parseInt(const std::string& word, long long min, long long max, long long* out) {
    long long v = 0;
    const char* begin = word.data();
    const char* end = begin + word.size();
    int base = 10;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        begin += 2;
        base = 16;
    }
    auto [p, ec] = std::from_chars(begin, end, v, base);
    if (ec != std::errc() || p != end || v < min || v > max) return false;
    *out = v;
    return true;
}

int keyOf(const std::string& word) {
    std::string w = lower(word);
    if (w.size() == 1 && std::isalnum(static_cast<unsigned char>(w[0])))
        return std::toupper(static_cast<unsigned char>(w[0]));
    if (w.size() >= 2 && w[0] == 'f') {
        long long n;
        if (parseInt(w.substr(1), 1, 12, &n)) return VK_F1 + static_cast<int>(n) - 1;
    }
    for (const Named& k : kKeys)
        if (w == k.name) return k.vk;
    long long vk;
    if (w.rfind("0x", 0) == 0 && parseInt(w, 1, 255, &vk)) return static_cast<int>(vk);
    return 0;
}

} // namespace

bool parseInputScript(std::string_view text, std::vector<InputEvent>* events, std::string* error) {
    std::vector<InputEvent> out;
    std::vector<InputEvent> later; // modifiers still held, in time order
    std::istringstream in{std::string(text)};
    std::string line;
    uint64_t previous = 0;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;)
            w.push_back(word);
        if (w.empty()) continue;
        if (w.size() < 2) return fail("a time and a command are needed, as in \"100 move 10 20\"");
        long long t;
        const bool relative = w[0][0] == '+';
        if (!parseInt(relative ? w[0].substr(1) : w[0], 0, static_cast<long long>(kMaxTimeMs), &t))
            return fail("\"" + w[0] + "\" is not a time in milliseconds (like 250 or +50)");
        uint64_t at = relative ? previous + static_cast<uint64_t>(t) : static_cast<uint64_t>(t);
        if (at < previous)
            return fail("times must not go back: " + std::to_string(at) + " comes after " +
                        std::to_string(previous));
        if (at > kMaxTimeMs) return fail("the time is too far ahead");
        previous = at;
        // Held modifiers come up once the script has reached their time (they are in time order:
        // each is held for the same while).
        while (!later.empty() && later.front().atMs <= at) {
            out.push_back(later.front());
            later.erase(later.begin());
        }
        const std::string command = lower(w[1]);
        std::vector<std::string> args(w.begin() + 2, w.end());
        InputEvent e;
        e.atMs = at;
        auto point = [&](size_t first) {
            long long x, y;
            if (args.size() < first + 2 || !parseInt(args[first], -32768, 32767, &x) ||
                !parseInt(args[first + 1], -32768, 32767, &y))
                return false;
            e.x = static_cast<int>(x);
            e.y = static_cast<int>(y);
            return true;
        };
        if (command == "move") {
            if (!point(0) || args.size() != 2) return fail("move takes X and Y: \"move 10 20\"");
            e.kind = InputEvent::Kind::Move;
            out.push_back(e);
        } else if (command == "click" || command == "press" || command == "release") {
            if (!point(0))
                return fail(command +
                            " takes X and Y, then optionally left, right or middle and "
                            "ctrl or shift: \"" +
                            command + " 10 20 right ctrl\"");
            std::vector<int> modifiers;
            for (size_t i = 2; i < args.size(); ++i) {
                const std::string a = lower(args[i]);
                if (a == "left")
                    e.button = MouseButton::Left;
                else if (a == "right")
                    e.button = MouseButton::Right;
                else if (a == "middle")
                    e.button = MouseButton::Middle;
                else if (a == "ctrl" || a == "control")
                    modifiers.push_back(VK_CONTROL);
                else if (a == "shift")
                    modifiers.push_back(VK_SHIFT);
                else
                    return fail("\"" + args[i] + "\" is not left, right, middle, ctrl or shift");
            }
            InputEvent k = e;
            for (int m : modifiers) {
                k.kind = InputEvent::Kind::KeyDown;
                k.virtualKey = m;
                out.push_back(k);
            }
            if (command != "release") {
                e.kind = InputEvent::Kind::ButtonDown;
                out.push_back(e);
            }
            if (command != "press") {
                e.kind = InputEvent::Kind::ButtonUp;
                out.push_back(e);
            }
            // A person lets go of the modifiers a while after the click, so that a program
            // that reads GetAsyncKeyState while it handles the click still finds them down.
            k.atMs = at + kModifierHoldMs;
            for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
                k.kind = InputEvent::Kind::KeyUp;
                k.virtualKey = *it;
                later.push_back(k);
            }
        } else if (command == "key" || command == "keydown" || command == "keyup") {
            if (args.empty())
                return fail(command + " takes a key name: a letter, a digit, F1-F12, return, "
                                      "escape, space, tab, backspace, an arrow, ctrl ... or 0xNN");
            std::vector<int> modifiers;
            for (size_t i = 1; i < args.size(); ++i) {
                const std::string a = lower(args[i]);
                if (a == "ctrl" || a == "control")
                    modifiers.push_back(VK_CONTROL);
                else if (a == "shift")
                    modifiers.push_back(VK_SHIFT);
                else
                    return fail("\"" + args[i] + "\" is not ctrl or shift");
            }
            const int vk = keyOf(args[0]);
            if (!vk) return fail("\"" + args[0] + "\" is not a key name this format knows");
            for (int m : modifiers) {
                e.kind = InputEvent::Kind::KeyDown;
                e.virtualKey = m;
                out.push_back(e);
            }
            e.virtualKey = vk;
            if (command != "keyup") {
                e.kind = InputEvent::Kind::KeyDown;
                out.push_back(e);
            }
            if (command != "keydown") {
                e.kind = InputEvent::Kind::KeyUp;
                out.push_back(e);
            }
            for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
                e.kind = InputEvent::Kind::KeyUp;
                e.virtualKey = *it;
                out.push_back(e);
            }
        } else {
            return fail("\"" + w[1] +
                        "\" is not a command: use move, click, press, release, key, "
                        "keydown or keyup");
        }
        if (out.size() + later.size() > kMaxEvents)
            return fail("too many events (at most 1000000)");
    }
    out.insert(out.end(), later.begin(), later.end());
    if (events) *events = std::move(out);
    return true;
}

bool loadInputScript(const std::string& path, std::vector<InputEvent>* events, std::string* error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        if (error) *error = "cannot open the input script " + path + ": check the path";
        return false;
    }
    std::ostringstream text;
    text << f.rdbuf();
    std::string why;
    if (!parseInputScript(text.str(), events, &why)) {
        if (error) *error = path + ", " + why;
        return false;
    }
    return true;
}

} // namespace skv::platform
