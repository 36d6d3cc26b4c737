// skvplay's reading of pages: which embeds get the plug-in, and their attributes as written.
#include <gtest/gtest.h>

#include "fetch.h"
#include "page.h"

using namespace skvplay;

TEST(Page, EmbedAttributesKeepOrderCaseAndQuoting) {
    const auto embeds =
        parseEmbeds("<html><body><!-- <embed src=hidden.skm> -->\n"
                    "<EMBED SRC=\"movie.skm\" WIDTH=320 Height='240' sw1=\"a b\" autostart>\n"
                    "<embedded src=x.skm><embed src=other.txt type=text/plain></body>");
    ASSERT_EQ(embeds.size(), 2u);
    const auto& a = embeds[0].attributes;
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[0], (std::pair<std::string, std::string>{"SRC", "movie.skm"}));
    EXPECT_EQ(a[1], (std::pair<std::string, std::string>{"WIDTH", "320"}));
    EXPECT_EQ(a[2], (std::pair<std::string, std::string>{"Height", "240"}));
    EXPECT_EQ(a[3], (std::pair<std::string, std::string>{"sw1", "a b"}));
    EXPECT_EQ(a[4], (std::pair<std::string, std::string>{"autostart", ""}));
    EXPECT_TRUE(isMovieEmbed(embeds[0]));
    EXPECT_FALSE(isMovieEmbed(embeds[1]));
}

TEST(Page, MovieTypeSelectsAnEmbedWhateverItsSource) {
    const auto embeds = parseEmbeds("<embed src=go.txt type=Application/VND.Skyvora>");
    ASSERT_EQ(embeds.size(), 1u);
    EXPECT_TRUE(isMovieEmbed(embeds[0]));
}

TEST(Page, UnterminatedMarkupEndsQuietly) {
    EXPECT_EQ(parseEmbeds("<embed src=\"never closed").size(), 1u);
    EXPECT_TRUE(parseEmbeds("<!-- open comment <embed src=a.skm>").empty());
    EXPECT_TRUE(parseEmbeds("<").empty());
}

TEST(Page, TargetsAreToldApartByNameAndContent) {
    EXPECT_EQ(classifyTarget("a/page.HTML", ""), TargetKind::Page);
    EXPECT_EQ(classifyTarget("page", "  <html>"), TargetKind::Page);
    EXPECT_EQ(classifyTarget("demo.skm", std::string_view("QMS \x01\x00", 6)),
              TargetKind::MovieAddress);
    EXPECT_EQ(classifyTarget("pointer.skm", "file:/m/demo.skm\r\n"), TargetKind::EmbedSource);
    EXPECT_EQ(classifyTarget("qmsp://host/demo.skm", ""), TargetKind::MovieAddress);
}

TEST(Page, RelativeAddressesResolveAgainstThePage) {
    EXPECT_EQ(resolveUrl("text.txt", "/srv/pages"), "/srv/pages/text.txt");
    EXPECT_EQ(resolveUrl("text.txt", "http://h:8/dir/page.html"), "http://h:8/dir/text.txt");
    EXPECT_EQ(resolveUrl("file:/x", "/srv"), "file:/x");
    EXPECT_EQ(localPath("file:///tmp/a"), "/tmp/a");
    EXPECT_EQ(localPath("qmsp://h/a"), "");
}
