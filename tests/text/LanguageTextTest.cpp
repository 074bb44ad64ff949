#include "text/LanguageTable.h"
#include "text/LanguageText.h"

#include <gtest/gtest.h>

namespace orvanta {
namespace {

constexpr LanguageId kAllLanguages[] = {LanguageId::English, LanguageId::Japanese,
                                        LanguageId::ChineseSimplified};

TEST(LanguageText, HandPickedTextsInEachLanguage) {
    struct Case {
        Text key;
        const char* english;
        const char* japanese;
        const char* chinese;
    };
    const Case cases[] = {
        // leading blanks are part of the text
        {Text::Complete, "    Complete.", "    正常に終了しました。", "    已成功完成。"},
        // line break and placeholder
        {Text::TitleTooLongCharacters,
         "There is too many character in the title box.  (Max %d characters.) \nPlease delete any "
         "characters.",
         "タイトルは最大%d文字です。\n文字を削除してください。",
         "标题字符最多为%d个。请删除字符。"},
        {Text::ConfirmDeleteAddress, "[ %d.%d.%d.%d ] will be deleted. Are you sure?",
         "[ %d.%d.%d.%d ] を削除します。よろしいですか？", "确实要删除[ %d.%d.%d.%d ]吗？"},
        // English in every language
        {Text::SocketError, "SOCKET ERROR", "SOCKET ERROR", "SOCKET ERROR"},
        {Text::AddBitmapError, "AddBitmap Error\n", "AddBitmap Error\n", "AddBitmap Error\n"},
        {Text::StatusCancelled, "CANCEL", "CANCEL", "CANCEL"},
        // one text for Japanese and Chinese
        {Text::TitlePositionLeft, "Left", "左", "左"},
        {Text::BackgroundColor, "Background color", "背景色", "背景色"},
        // the first, either side of the gap, the caption
        {Text::OvxExtension, ".ovx", ".ovx", ".ovx"},
        {Text::TitleMayNotBeDisplayed,
         "All Message may not be displayed because of too many characters in the title box. (Max "
         "%d characters.)\nDo you want to proceed?",
         "タイトルは最大%"
         "d文字です。\nタイトルの文字数が多いため、すべての文字が表示されない可能性があります。\n続"
         "行しますか？",
         "标题字符最多为%d个。\n在标题框中的字符太多，邮件可能无法全部显示。\n你要继续吗？"},
        {Text::ImageCaption, "Image", "イメージ", "图像"},
        {Text::Caption, "Projector Orvanta Tool", "プロジェクターオルヴァンタツール",
         "投影机奥凡塔工具"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.key));
        EXPECT_EQ(languageText(c.key, LanguageId::English), c.english);
        EXPECT_EQ(languageText(c.key, LanguageId::Japanese), c.japanese);
        EXPECT_EQ(languageText(c.key, LanguageId::ChineseSimplified), c.chinese);
    }
}

TEST(LanguageText, IdentifiersWithoutEntryGiveError) {
    for (int id : {1145, 999, 0, -1, 1148, 1000000}) {
        for (LanguageId language : kAllLanguages) {
            EXPECT_EQ(languageText(id, language), "ERROR!") << id;
        }
    }
}

TEST(LanguageText, EveryOtherIdentifierHasTextInEveryLanguage) {
    const auto placeholders = [](const std::string& s) {
        std::size_t n = 0;
        for (std::size_t p = s.find("%d"); p != std::string::npos; p = s.find("%d", p + 2)) {
            ++n;
        }
        return n;
    };
    for (int id = 1000; id <= 1147; ++id) {
        if (id == 1145) {
            continue;
        }
        for (LanguageId language : kAllLanguages) {
            const std::string& text = languageText(id, language);
            EXPECT_FALSE(text.empty()) << id;
            EXPECT_NE(text, "ERROR!") << id;
        }
        // Every translation fills as many numbers as the English text.
        const std::string& english = languageText(id, LanguageId::English);
        for (LanguageId language : {LanguageId::Japanese, LanguageId::ChineseSimplified}) {
            EXPECT_EQ(placeholders(languageText(id, language)), placeholders(english)) << id;
        }
    }
}

TEST(LanguageText, FollowsTheInterfaceLanguage) {
    setInterfaceLanguage(LanguageId::Japanese);
    EXPECT_EQ(interfaceLanguage(), LanguageId::Japanese);
    EXPECT_EQ(languageText(Text::TabEdit), "編集");
    setInterfaceLanguage(LanguageId::ChineseSimplified);
    EXPECT_EQ(languageText(Text::TabEdit), "编辑");
    // A value the table does not know falls back to English rather than past the table.
    EXPECT_EQ(languageText(Text::TabEdit, static_cast<LanguageId>(0x0404)), "Edit");
    setInterfaceLanguage(LanguageId::English);
    EXPECT_EQ(languageText(Text::TabEdit), "Edit");
}

TEST(LanguageText, FormatFillsPlaceholdersInOrder) {
    setInterfaceLanguage(LanguageId::English);
    struct Case {
        std::string pattern;
        std::initializer_list<long long> numbers;
        std::string expected;
    };
    const Case cases[] = {
        {languageText(Text::ConfirmDeleteAddress),
         {192, 168, 0, 10},
         "[ 192.168.0.10 ] will be deleted. Are you sure?"},
        {languageText(Text::LineNumber, LanguageId::Japanese), {-3}, "行 -3 : "},
        {"%d%d", {1, 2}, "12"},
        {"a %d b %d", {7}, "a 7 b %d"},         // missing number: placeholder kept
        {"no numbers", {1, 2}, "no numbers"},   // surplus numbers ignored
        {"100% %s %x %", {5}, "100% %s %x %"},  // only %d is special
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatText(c.pattern, c.numbers), c.expected) << c.pattern;
    }
    EXPECT_EQ(formatText(Text::MessageSlotNumber, {12}), "Saved number:12");
}

// Keys added since the original table are numbered by their lists; every one of them must
// have a text in each language and be found again by its number, or a caption would read
// "ERROR!" in one language only.
TEST(LanguageText, EveryAddedKeyHasItsTextInEveryLanguage) {
    const auto rows = addedTextRows();
    ASSERT_FALSE(rows.empty());
    int previous = kLastLanguageTextId;
    for (const AddedTextRow& row : rows) {
        const int id = static_cast<int>(row.key);
        EXPECT_GT(id, previous);
        previous = id;
        ASSERT_NE(row.texts.english, nullptr) << id;
        EXPECT_EQ(languageRow(id), &row.texts) << id;
        for (LanguageId language :
             {LanguageId::English, LanguageId::Japanese, LanguageId::ChineseSimplified}) {
            EXPECT_NE(languageText(row.key, language), "ERROR!") << id;
            EXPECT_FALSE(languageText(row.key, language).empty()) << id;
        }
    }
    EXPECT_EQ(languageText(Text::MenuFile, LanguageId::Japanese), "ファイル");
    EXPECT_EQ(languageText(Text::OkButton, LanguageId::Japanese), "OK");
    EXPECT_EQ(languageText(Text::Caption, LanguageId::English), "Projector Orvanta Tool");
    EXPECT_EQ(languageRow(static_cast<int>(Text::FrameTextsEnd)), nullptr);
}

}  // namespace
}  // namespace orvanta
