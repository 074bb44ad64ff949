// The preview renderer with the project's glyphs: measuring, line breaking as the encoder
// does, glyph colors, pages, canvas sizes, the generator's output and the image files.

#include <gtest/gtest.h>

#include <QFile>
#include <cstdio>
#include <filesystem>

#include "message/ProjectorText.h"
#include "message/WidthTables.h"
#include "render/Image.h"
#include "render/RenderTestSupport.h"

namespace orvanta {
namespace {

using render::GlyphSet;
using render::MessageRenderer;
using render::PreviewInput;
using test::previewMessage;

std::u16string lineText(const render::PreviewLine& line) {
    std::u16string out;
    for (const auto& c : line) {
        out.push_back(c.ch);
    }
    return out;
}

TEST(GlyphFiles, AreTheTableWidthsInPureBlackAndWhiteAndTheIconsAre24Square) {
    for (int code = 0x20; code <= 0xFF; ++code) {
        char name[40];
        std::snprintf(name, sizeof name, "/mfont/0x00%x.bmp", code);
        const auto glyph = render::loadImage(test::dataFolder() + name);
        ASSERT_TRUE(glyph) << name;
        EXPECT_EQ(glyph->height(), 24) << name;
        EXPECT_EQ(glyph->width(), narrowCharacterWidth(static_cast<char16_t>(code))) << name;
        for (int y = 0; y < glyph->height(); ++y) {
            for (int x = 0; x < glyph->width(); ++x) {
                const Rgb p = render::pixelAt(*glyph, x, y);
                ASSERT_TRUE(p == 0 || p == 0xFFFFFF) << name << " at " << x << "," << y;
                ASSERT_FALSE(y == 23 && p == 0) << name << ": ink on the bottom row";
            }
        }
    }
    for (int icon = 1; icon <= 5; ++icon) {
        const auto image = GlyphSet::load(test::dataFolder(), icon).icon;
        ASSERT_TRUE(image) << icon;
        EXPECT_EQ(image->size(), QSize(24, 24)) << icon;
    }
}

TEST(Renderer, MeasuresTheTitleWithItsIcon) {
    struct Case {
        int size;
        int icon;
        int width;
    } cases[] = {{0, 1, 50}, {1, 1, 100}, {0, 0, 26}};
    for (const Case& c : cases) {
        Message m = previewMessage(u"AB", u"x", MessageStyle::Box, c.size);
        m.icon = static_cast<std::uint8_t>(c.icon);
        EXPECT_EQ(render::measureTitle(render::makePreviewInput(m)), c.width) << c.size << c.icon;
    }
}

TEST(Renderer, BreaksLinesWhereTheProjectorDoes) {
    const std::u16string blanks(60, u' ');
    const std::u16string word(60, u'M');
    struct Case {
        std::u16string body;
        MessageStyle style;
        std::size_t line;
        std::u16string expected;
    } cases[] = {
        // 51 x 12 = 612 is below 614, the 52nd blank reaches it and becomes the line end.
        {blanks, MessageStyle::Box, 0, std::u16string(51, u' ') + u"\n"},
        // 47 x 13 = 611; the 48th M overflows and a line end is put in front of it.
        {word, MessageStyle::Box, 0, std::u16string(47, u'M') + u"\n"},
        {word, MessageStyle::Box, 1, std::u16string(13, u'M')},
        // Picture Side's panel: 17 x 12 = 204 fits 214, the 18th does not.
        {std::u16string(20, u'a'), MessageStyle::PictureSide, 0, std::u16string(17, u'a') + u"\n"},
        // The break of a long word never reaches back to a blank of the line before.
        {u"ab cd\r" + word, MessageStyle::Box, 0, u"ab cd\r"},
        {u"one\u25BC\rtwo", MessageStyle::Box, 0, u"one\u25BC"},
    };
    for (const Case& c : cases) {
        const PreviewInput in = render::makePreviewInput(previewMessage(u"", c.body, c.style));
        ASSERT_GT(in.message.size(), c.line);
        EXPECT_EQ(lineText(in.message[c.line]), c.expected);
    }
}

// Whatever the preview does to a word too long for a line, the blanks it turns into line ends
// are the ones the encoder turns into line ends for the projector.
TEST(Renderer, BreaksAtTheSameBlanksAsTheEncoder) {
    const std::u16string longWord(70, u'm');
    const std::u16string sentence = u"The fire alarm in hall B has sounded, please leave the ";
    const std::u16string messages[] = {
        sentence + sentence + sentence,
        longWord + u" " + sentence + sentence,
        sentence + longWord + longWord + u" " + sentence,
        sentence + u"\r" + sentence + sentence + u"\u25BC\r" + sentence + sentence,
        std::u16string(130, u' ') + sentence + u"    " + sentence,
        u"a\r\r" + longWord + u"\r" + sentence + longWord,
    };
    for (int size : {0, 1}) {
        for (const std::u16string& text : messages) {
            Message m = previewMessage(u"", text, MessageStyle::Box, size);
            RichText sent(text, 0xFFFFFF, 0xC0C0C0);
            breakLines(sent, sent.size(), size, false);
            dropLineEndsAfterPageMarks(sent);
            const std::u16string encoded = sent.text();
            std::u16string previewed;
            for (const auto& line : render::makePreviewInput(m).message) {
                previewed += lineText(line);
            }
            // The preview may only add line ends (the cuts); everything else is the same.
            std::size_t j = 0;
            for (std::size_t i = 0; i < encoded.size(); ++i, ++j) {
                while (j < previewed.size() && previewed[j] == u'\n' && encoded[i] != u'\n') {
                    ++j;
                }
                ASSERT_LT(j, previewed.size());
                ASSERT_EQ(previewed[j], encoded[i]) << "size " << size << " at " << i;
            }
        }
    }
}

TEST(Renderer, ColorsInkAndPaperAndKeepsTheBottomRowInTheBackground) {
    const GlyphSet glyphs = test::projectGlyphs();
    const QImage& glyph = *glyphs.glyphs['A'];
    struct Case {
        MessageStyle style;
        bool synchronize;
        Rgb paper;
        Rgb bottom;
    } cases[] = {
        {MessageStyle::Scroll, false, 0xFFFFFF, 0xFFFFFF},
        {MessageStyle::Box, false, 0xFFFFFF, 0xC0C0C0},  // canvas: half transparent, silver
        {MessageStyle::Box, true, 0x0000FF, 0x0000FF},
        {MessageStyle::PictureSide, true, 0x000000, 0x000000},
    };
    for (const Case& c : cases) {
        // Text color 1 (red) on background 7 (white).
        Message m = previewMessage(u"", u"A", c.style, 0, rgbFromColorCode(1), 0xFFFFFF);
        const PreviewInput in = render::makePreviewInput(m, c.synchronize);
        const MessageRenderer renderer(in, glyphs);
        const auto bitmap = renderer.renderMessage(0);
        const int x0 = c.style == MessageStyle::Scroll ? 1000 : 0;
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < glyph.width(); ++x) {
                const bool ink = render::pixelAt(glyph, x, y) == 0;
                const Rgb expected = ink ? 0xFF0000 : y == 23 ? c.bottom : c.paper;
                ASSERT_EQ(render::pixelAt(bitmap.image, x0 + x, y), expected)
                    << static_cast<int>(c.style) << " sync " << c.synchronize << " " << x << ","
                    << y;
            }
        }
    }
}

TEST(Renderer, SizesTheCanvasesOfEachStyle) {
    struct Case {
        MessageStyle style;
        int size;
        QSize title;
        QSize message;
    } cases[] = {
        // Lines "abc\r" (36 px, and the CR drawn as a blank: 48), twice, and "x" (13): 109.
        {MessageStyle::Scroll, 0, {1000, 24}, {1000 + 14 + 109, 24}},
        {MessageStyle::Scroll, 1, {1000, 48}, {1000 + 28 + 218, 48}},
        {MessageStyle::Box, 0, {640, 24}, {640, 72}},
        {MessageStyle::PopOn, 0, {640, 24}, {640, 24 * 12}},
        {MessageStyle::PopOn, 1, {640, 48}, {640, 48 * 5}},
        {MessageStyle::PictureSide, 0, {214, 24}, {214, 72 + 576}},
    };
    const GlyphSet glyphs = test::projectGlyphs();
    for (const Case& c : cases) {
        const PreviewInput in =
            render::makePreviewInput(previewMessage(u"T", u"abc\rabc\rx", c.style, c.size));
        const MessageRenderer renderer(in, glyphs);
        EXPECT_EQ(renderer.renderTitle().image.size(), c.title) << static_cast<int>(c.style);
        EXPECT_EQ(renderer.renderMessage(0).image.size(), c.message) << static_cast<int>(c.style);
    }
}

// A page mark ends a Box page and what follows it starts the next one, as the projector shows
// it: only the line end the "Page feed" button puts after the mark is dropped, as the encoder
// drops it.
TEST(Renderer, EndsABoxPageAtThePageMarkAndStartsTheNextWithWhatFollows) {
    struct Case {
        std::u16string body;
        int firstPageLines;
        std::u16string nextPage;  // its first line
        int nextPageLines;
    } cases[] = {
        {u"one\rtwo\u25BC\rthree\rfour", 2, u"three\r", 2},
        {u"Page one\u25BCBravo", 1, u"Bravo", 1},
        {u"one\u25BC\nBravo", 1, u"Bravo", 1},
        {u"one\u25BC\r\rBravo", 1, u"\r", 2},
    };
    const GlyphSet glyphs = test::projectGlyphs();
    for (const Case& c : cases) {
        const PreviewInput in =
            render::makePreviewInput(previewMessage(u"", c.body, MessageStyle::Box));
        const MessageRenderer renderer(in, glyphs);
        const auto first = renderer.renderMessage(0);
        EXPECT_EQ(first.lines, c.firstPageLines);
        EXPECT_TRUE(first.pageBreak);
        EXPECT_FALSE(first.endReached);
        ASSERT_GT(in.message.size(), static_cast<std::size_t>(c.firstPageLines));
        EXPECT_EQ(lineText(in.message[static_cast<std::size_t>(c.firstPageLines)]), c.nextPage);
        const auto second = renderer.renderMessage(c.firstPageLines);
        EXPECT_EQ(second.lines, c.nextPageLines);
        EXPECT_TRUE(second.endReached);
        ASSERT_FALSE(second.advances.empty());
        ASSERT_FALSE(second.advances[0].empty());
        EXPECT_GT(second.advances[0][0], 0);  // its first unit is drawn
    }
    // "Scroll" draws the mark as one blank and nothing for the line end that is not sent.
    const PreviewInput scroll =
        render::makePreviewInput(previewMessage(u"", u"A\u25BC\rB", MessageStyle::Scroll));
    EXPECT_EQ(render::measureMessage(scroll),
              narrowCharacterWidth(u'A') + narrowCharacterWidth(u' ') + narrowCharacterWidth(u'B'));
}

// Missing glyph files, an unknown icon and text far beyond the preview's tables draw what
// they can: blanks of the table width, never anything outside the canvas.
TEST(Renderer, DrawsBlanksForMissingGlyphsAndStaysWithinItsTables) {
    Message m = previewMessage(u"AB", std::u16string(4600, u'\'') + u"\r\r\r", MessageStyle::Box);
    m.icon = 3;
    const PreviewInput in = render::makePreviewInput(m);
    EXPECT_LE(in.message.size(), render::kPreviewMaxLines);
    for (const auto& line : in.message) {
        EXPECT_LE(line.size(), render::kPreviewMaxLineUnits);
    }
    const GlyphSet none;  // nothing loaded
    const MessageRenderer renderer(in, none);
    const auto title = renderer.renderTitle();
    ASSERT_EQ(title.advances.size(), 1u);
    EXPECT_EQ(title.advances[0], (std::vector<int>{13, 13}));
    EXPECT_EQ(render::pixelAt(title.image, 24 + 5, 5), 0xC0C0C0u);  // paper of a blank "A"
    EXPECT_GT(renderer.renderMessage(0).lines, 0);
}

TEST(ImageFiles, SaveByExtensionAsWholeFilesOnly) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("orvanta-render-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    QImage image = render::createImage(3, 2);
    render::setPixelAt(image, 1, 1, 0xFFFFFF);
    const std::string bmp = (dir / "Title.BMP").string();
    ASSERT_TRUE(render::saveImage(image, bmp));
    QFile file(QString::fromStdString(bmp));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(30);
    EXPECT_EQ(head[28], 24);  // bits per pixel
    const auto back = render::loadImage(bmp);
    ASSERT_TRUE(back);
    EXPECT_EQ(render::pixelAt(*back, 1, 1), 0xFFFFFFu);
    EXPECT_EQ(render::pixelAt(*back, 0, 0), 0u);

    EXPECT_FALSE(render::saveImage(image, (dir / "title.unknown").string()));
    EXPECT_FALSE(render::saveImage(image, (dir / "missing" / "title.bmp").string()));
    EXPECT_FALSE(render::loadImage((dir / "none.bmp").string()));
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        EXPECT_EQ(entry.path().filename(), "Title.BMP");  // nothing else was left behind
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orvanta
