// Feeds arbitrary bytes to skvplay's page parser and to the plug-in's embed source reader: a page
// and an embed source come from wherever the user points the player.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "page.h"
#include "plugin/embedsource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const skvplay::EmbedElement& e : skvplay::parseEmbeds(text)) {
        skvplay::isMovieEmbed(e);
        for (const auto& [name, value] : e.attributes)
            if (name.empty()) __builtin_trap(); // every attribute has a name
    }
    skvplay::classifyTarget("page", text);
    const std::string address =
        skv::plugin::addressFromEmbedSource(reinterpret_cast<const char*>(data), size);
    if (address.size() > skv::plugin::kEmbedSourceLimit) __builtin_trap();
    for (unsigned char c : address)
        if (c < 0x20) __builtin_trap(); // control characters end the address
    return 0;
}
