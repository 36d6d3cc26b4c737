#include "page.h"

#include <cctype>

namespace skvplay {

namespace {

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool iendsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && iequals(s.substr(s.size() - suffix.size()), suffix);
}

bool istartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// Parses the attributes of a tag from `pos` (just after its name) to its '>'; returns the
// position after the tag.
size_t parseAttributes(std::string_view html, size_t pos, EmbedElement* out) {
    const size_t n = html.size();
    for (;;) {
        while (pos < n && (isSpace(html[pos]) || html[pos] == '/'))
            ++pos;
        if (pos >= n) return n;
        if (html[pos] == '>') return pos + 1;
        const size_t nameStart = pos;
        while (pos < n && !isSpace(html[pos]) && html[pos] != '=' && html[pos] != '>' &&
               html[pos] != '/')
            ++pos;
        std::string name(html.substr(nameStart, pos - nameStart));
        while (pos < n && isSpace(html[pos]))
            ++pos;
        std::string value;
        if (pos < n && html[pos] == '=') {
            ++pos;
            while (pos < n && isSpace(html[pos]))
                ++pos;
            if (pos < n && (html[pos] == '"' || html[pos] == '\'')) {
                const char quote = html[pos++];
                const size_t end = html.find(quote, pos);
                const size_t stop = end == std::string_view::npos ? n : end;
                value = std::string(html.substr(pos, stop - pos));
                pos = stop == n ? n : stop + 1;
            } else {
                const size_t start = pos;
                while (pos < n && !isSpace(html[pos]) && html[pos] != '>')
                    ++pos;
                value = std::string(html.substr(start, pos - start));
            }
        }
        if (!name.empty()) out->attributes.emplace_back(std::move(name), std::move(value));
    }
}

} // namespace

const std::string* EmbedElement::find(std::string_view name) const {
    for (const auto& [n, v] : attributes)
        if (iequals(n, name)) return &v;
    return nullptr;
}

std::vector<EmbedElement> parseEmbeds(std::string_view html) {
    std::vector<EmbedElement> embeds;
    std::string pageColour;
    bool bodySeen = false;
    size_t pos = 0;
    while ((pos = html.find('<', pos)) != std::string_view::npos) {
        if (html.compare(pos, 4, "<!--") == 0) {
            const size_t end = html.find("-->", pos + 4);
            if (end == std::string_view::npos) break;
            pos = end + 3;
            continue;
        }
        const size_t nameStart = pos + 1;
        size_t nameEnd = nameStart;
        while (nameEnd < html.size() && std::isalnum(static_cast<unsigned char>(html[nameEnd])))
            ++nameEnd;
        const std::string_view name = html.substr(nameStart, nameEnd - nameStart);
        if (iequals(name, "body") && !bodySeen) {
            // Only the first body counts, as a browser ignores a second one's attributes.
            bodySeen = true;
            EmbedElement body;
            pos = parseAttributes(html, nameEnd, &body);
            if (const std::string* colour = body.find("bgcolor")) pageColour = *colour;
            continue;
        }
        if (!iequals(name, "embed")) {
            pos = nameStart;
            continue;
        }
        EmbedElement e;
        pos = parseAttributes(html, nameEnd, &e);
        embeds.push_back(std::move(e));
    }
    for (EmbedElement& e : embeds)
        e.pageColour = pageColour;
    return embeds;
}

bool isMovieEmbed(const EmbedElement& embed) {
    if (const std::string* type = embed.find("type"))
        if (iequals(*type, "application/vnd.skyvora")) return true;
    if (const std::string* src = embed.find("src")) return iendsWith(*src, ".skm");
    return false;
}

bool parseHtmlColour(std::string_view text, uint32_t* rgb) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    static constexpr std::pair<std::string_view, uint32_t> kNames[] = {
        {"black", 0x000000},  {"silver", 0xC0C0C0}, {"gray", 0x808080},   {"white", 0xFFFFFF},
        {"maroon", 0x800000}, {"red", 0xFF0000},    {"purple", 0x800080}, {"fuchsia", 0xFF00FF},
        {"green", 0x008000},  {"lime", 0x00FF00},   {"olive", 0x808000},  {"yellow", 0xFFFF00},
        {"navy", 0x000080},   {"blue", 0x0000FF},   {"teal", 0x008080},   {"aqua", 0x00FFFF}};
    for (const auto& [name, value] : kNames)
        if (iequals(text, name)) {
            *rgb = value;
            return true;
        }
    if (!text.empty() && text.front() == '#') text.remove_prefix(1);
    if (text.size() != 6) return false;
    uint32_t value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    *rgb = value;
    return true;
}

TargetKind classifyTarget(const std::string& target, std::string_view firstBytes) {
    if (istartsWith(target, "qmsp:") || istartsWith(target, "http:")) {
        return iendsWith(target, ".htm") || iendsWith(target, ".html") ? TargetKind::Page
                                                                       : TargetKind::MovieAddress;
    }
    if (iendsWith(target, ".htm") || iendsWith(target, ".html")) return TargetKind::Page;
    if (firstBytes.substr(0, 4) == "QMS ") return TargetKind::MovieAddress;
    size_t i = 0;
    while (i < firstBytes.size() && isSpace(firstBytes[i]))
        ++i;
    if (i < firstBytes.size() && firstBytes[i] == '<') return TargetKind::Page;
    if (istartsWith(target, "file:")) return TargetKind::MovieAddress;
    return firstBytes.empty() ? TargetKind::MovieAddress : TargetKind::EmbedSource;
}

} // namespace skvplay
