// Texts longer than the 259 bytes a control gets are cut between characters.

#include "LanguageTestSupport.h"
#include "TextBuffer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>

namespace tavolix::test {
namespace {

std::string repeated(const std::string& piece, std::size_t times)
{
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

TEST(TextBuffer, KeepsAtMost259BytesAndNeverSplitsACharacter)
{
    const struct
    {
        std::string text;
        std::size_t kept;
    } cases[] = {
        {std::string(259, 'a'), 259},                            // fits whole
        {std::string(300, 'a'), 259},                            // plain bytes
        {std::string(258, 'a') + "\xC3\xA9", 258},               // é over the limit
        {std::string(257, 'a') + "\xE2\x82\xAC" + "b", 257},     // € over the limit
        {std::string(256, 'a') + "\xF0\x9F\x98\x80", 256},       // 4 bytes over the limit
        {std::string(255, 'a') + "\xF0\x9F\x98\x80" + "b", 259}, // 4 bytes ending at it
        {std::string(256, 'a') + "\xE2\x82\xAC", 259},           // € ending at it
        {repeated("\xE6\x97\xA5", 100), 258},                    // 日 × 100
        {std::string(250, 'a') + std::string(20, '\x80'), 259},  // stray continuation bytes
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.text.size());
        TextBuffer buffer;
        buffer.assign(testCase.text.c_str());
        EXPECT_EQ(buffer.view(), std::string_view(testCase.text).substr(0, testCase.kept));
    }

    TextBuffer buffer;
    buffer.assign("kept");
    buffer.assign(nullptr);
    EXPECT_TRUE(buffer.view().empty());
}

TEST(LanguageSwitch, LongDatabaseTextsReachTheWindowCutBetweenCharacters)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("language.db"));
    ASSERT_TRUE(writeFixtureDb(path, 0));
    const std::string exactly259 = std::string(256, 'x') + "\xE2\x82\xAC";
    const std::string japanese300 = repeated("\xE6\x97\xA5", 100);
    const std::string emojiAcross = std::string(257, 'y') + "\xF0\x9F\x98\x80";
    ASSERT_TRUE(runSql(path, "update interface set t6='" + exactly259 + "', t7='" + japanese300 +
                                 "', t13='" + emojiAcross + "' where language='English';" +
                                 "update language set c0='" + japanese300 + "' where rowid=6;"));
    SwitchHarness window;
    window.start(path);

    EXPECT_EQ(window.target.texts.value(1023).toStdString(), exactly259);
    EXPECT_EQ(window.target.texts.value(1024), QString::fromStdString(japanese300.substr(0, 258)));
    EXPECT_EQ(window.target.texts.value(windowTitleControl), QString(257, u'y'));
    EXPECT_EQ(window.entries().value(5), QString::fromStdString(japanese300.substr(0, 258)));
    EXPECT_TRUE(window.messages.texts().isEmpty());
}

} // namespace
} // namespace tavolix::test
