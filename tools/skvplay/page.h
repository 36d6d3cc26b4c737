// Pages and what skvplay is asked to open. A page's <embed> elements are found with their
// attributes in the order written (names as written, values unquoted, an attribute without a
// value given an empty one); those for the movie type or the movie extension get an instance.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace skvplay {

struct EmbedElement {
    std::vector<std::pair<std::string, std::string>> attributes;
    // The value of the first attribute with this name (any case); null when absent.
    const std::string* find(std::string_view name) const;
};

std::vector<EmbedElement> parseEmbeds(std::string_view html);
// An embed of type "application/vnd.skyvora", or whose src ends in ".skm" (any case).
bool isMovieEmbed(const EmbedElement& embed);

enum class TargetKind { Page, MovieAddress, EmbedSource };
// What the command line names: a page (.htm/.html or text starting with '<'), an embed source
// (a text file), or a movie address (file:, qmsp:, http:, or a file holding a movie stream).
TargetKind classifyTarget(const std::string& target, std::string_view firstBytes);

} // namespace skvplay
