#include <map>

#include "core/Messages.h"
#include "tests/unit/TestSupport.h"

namespace grid::test {
namespace {

struct Expected {
    uint32_t style;
    const char* text;
};

// The catalogue as the users know it, text for text.
const std::map<MessageCode, Expected> expectedCatalogue = {
    {0, {0x40, "データ変換が終了しました。"}},
    {1, {0x40, "データ変換が終了しました。\n\n　経過時間 %d分 %d秒"}},
    {2, {0x21, "罫線データが設定されていません。\n全てのセルに罫線を付けて良いですか？"}},
    {3, {0x40, "処理はキャンセルされました。"}},
    {4, {0x21, "このソフトからコピーしたデータはCalcで編集出来ません。\n全てのセルに罫線を付けて良いですか？"}},
    {5, {0x10, "データ変換に失敗しました。"}},
    {11, {0x10, "メモリを開放できません。"}},
    {12, {0x10, "メモリを確保できません。"}},
    {13, {0x10, "メモリを操作できません。"}},
    {14, {0x10, "Calcを起動できませんでした。"}},
    {15, {0x10, "Calcが見つかりませんでした。"}},
    {16, {0x10, "クリップボードの変換に失敗しました。\nクリップボードを書き込み用に開けません。"}},
    {17, {0x10, "クリップボードの変換に失敗しました。\nクリップボードを初期化できません。"}},
    {18, {0x10, "クリップボードの変換に失敗しました。\nクリップボードに書き込めません。"}},
    {19, {0x10, "クリップボードの変換に失敗しました。\n書き込み用に開いたクリップボードを閉じられません。"}},
    {20, {0x10, "クリップボードの変換に失敗しました。\nクリップボードを読み込み用に開けません。"}},
    {21, {0x10, "クリップボードの変換に失敗しました。\nクリップボードからデータを読めません。"}},
    {22, {0x10, "クリップボードの変換に失敗しました。\n読み込み用に開いたクリップボードを閉じられません。"}},
    {23, {0x10, "クリップボードにデータがありません。"}},
    {24, {0x10, "クリップボードのデータを処理できませんでした。"}},
    {25, {0x10, "変換できない特殊文字があります。"}},
    {31, {0x40, "初期化ファイルがありません。罫線が表示されないかもしれません。"}},
    {32, {0x10, "初期化ファイルが読めません。UNICODEで記載していて、入力可能なファイルか確認して下さい。"}},
    {39, {0x10, "範囲は矩形で指定して下さい。"}},
    {99, {0x10, "システムエラー　SPRINTFの変数は最大5個まで指定できます。"}},
};

TEST(MessageCatalogue, HoldsExactlyTheKnownTextsAndStyles) {
    int count = 0;
    const MessageEntry* entries = messageCatalogue(count);
    ASSERT_EQ(size_t(count), expectedCatalogue.size());
    for (int i = 0; i < count; ++i) {
        auto expected = expectedCatalogue.find(entries[i].code);
        ASSERT_NE(expected, expectedCatalogue.end()) << entries[i].code;
        EXPECT_EQ(entries[i].style, expected->second.style) << entries[i].code;
        EXPECT_STREQ(entries[i].text, expected->second.text) << entries[i].code;
    }
}

TEST(MessageCatalogue, EveryTextHasACodePage932Form) {
    int count = 0;
    const MessageEntry* entries = messageCatalogue(count);
    for (int i = 0; i < count; ++i) {
        std::string bytes;
        EXPECT_TRUE(utf8ToCodePage932(entries[i].text, bytes)) << entries[i].code;
    }
}

TEST(MessageCatalogue, FullWidthSpacesOfMessages1And99AreCodePage932Bytes8140) {
    std::string bytes;
    ASSERT_TRUE(utf8ToCodePage932(findMessage(99)->text, bytes));
    // システムエラー, the full-width space, then SPRINTF.
    const std::string head99 = "\x83\x56\x83\x58\x83\x65\x83\x80\x83\x47\x83\x89\x81\x5b\x81\x40SPRINTF";
    EXPECT_EQ(bytes.substr(0, head99.size()), head99);
    ASSERT_TRUE(utf8ToCodePage932(findMessage(1)->text, bytes));
    size_t lineFeeds = bytes.find("\n\n");
    ASSERT_NE(lineFeeds, std::string::npos);
    // The last line: full-width space, 経過時間 (8C 6F 89 DF 8E 9E 8A D4), an ASCII space, %d分 ...
    EXPECT_EQ(bytes.substr(lineFeeds + 2), "\x81\x40\x8c\x6f\x89\xdf\x8e\x9e\x8a\xd4 %d\x95\xaa %d\x95\x62");
}

template <class Ch>
class ShowMessageTest : public CoreTest<Ch> {};
TYPED_TEST_SUITE(ShowMessageTest, CharTypes);

TYPED_TEST(ShowMessageTest, ShowsTextCaptionAndStyleOwnedByTheProgressWindow) {
    using Ch = TypeParam;
    EXPECT_EQ(showMessage<Ch>(31), kAnswerOk);  // before the window exists: no owner
    int window = 0;
    mainWindow = &window;
    this->boxes.answer({kAnswerCancel});
    EXPECT_EQ(showMessage<Ch>(2), kAnswerCancel);
    const auto& shown = this->boxes.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].owner, nullptr);
    EXPECT_EQ(shown[0].style, 0x40u);
    EXPECT_EQ(shown[1].owner, &window);
    EXPECT_EQ(shown[1].style, 0x21u);
    EXPECT_EQ(shown[1].text, expectedCatalogue.at(2).text);
    EXPECT_EQ(shown[1].caption, sizeof(Ch) == 1 ? "Gridquill for Windows" : "Gridweave for Windows");
}

TYPED_TEST(ShowMessageTest, CodesOutsideTheCatalogueShowNothing) {
    using Ch = TypeParam;
    for (MessageCode code : {6u, 26u, 40u, 100u, 0xFFFFFFFFu}) EXPECT_EQ(showMessage<Ch>(code), 0);
    EXPECT_TRUE(this->boxes.shown().empty());
}

TYPED_TEST(ShowMessageTest, Message1CarriesTheElapsedMinutesAndSeconds) {
    using Ch = TypeParam;
    runState<Ch>().elapsedMinutes = 1;
    runState<Ch>().elapsedSeconds = 15;
    showMessage<Ch>(1);
    ASSERT_EQ(this->boxes.shown().size(), 1u);
    EXPECT_EQ(this->boxes.shown()[0].text, "データ変換が終了しました。\n\n　経過時間 1分 15秒");
    EXPECT_EQ(this->boxes.shown()[0].code, 1);
}

TYPED_TEST(ShowMessageTest, AClosedBoxIsNoConsent) {
    using Ch = TypeParam;
    setMessageBoxPort(nullptr);  // no box can be shown: MessageBoxA's answer is 0
    EXPECT_EQ(showMessage<Ch>(2), 0);
    setMessageBoxPort(&this->boxes);
}

}  // namespace
}  // namespace grid::test
