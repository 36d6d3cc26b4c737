// Pages and what skvplay is asked to open. A page's <embed> elements are found with their
// attributes in the order written (names as written, values unquoted, an attribute without a
// value given an empty one); those for the movie type or the movie extension get an instance.
// The page's own colour, the bgcolor of its <body>, goes with every embed: it is what the embeds
// sit on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace skvplay {

struct EmbedElement {
    std::vector<std::pair<std::string, std::string>> attributes;
    // The bgcolor of the page's first <body>, as written; empty when the page gives none.
    std::string pageColour;
    // The value of the first attribute with this name (any case); null when absent.
    const std::string* find(std::string_view name) const;
};

std::vector<EmbedElement> parseEmbeds(std::string_view html);
// An embed of type "application/vnd.skyvora", or whose src ends in ".skm" (any case).
bool isMovieEmbed(const EmbedElement& embed);

// An HTML colour as 0xRRGGBB: "#RRGGBB", the same without the '#' (as pages of the time wrote
// it), or one of the sixteen colour names (any case). False for anything else.
bool parseHtmlColour(std::string_view text, uint32_t* rgb);

enum class TargetKind { Page, MovieAddress, EmbedSource };
// What the command line names: a page (.htm/.html or text starting with '<'), an embed source
// (a text file), or a movie address (file:, qmsp:, http:, or a file holding a movie stream).
TargetKind classifyTarget(const std::string& target, std::string_view firstBytes);

} // namespace skvplay
