#include "core/Messages.h"

#include <cstdio>

#include "core/Program.h"
#include "core/RunState.h"
#include "core/TextBuffer.h"
#include "platform/Ports.h"

namespace grid {
namespace {

constexpr uint32_t kInformation = kBoxOk | kBoxIconInformation;
constexpr uint32_t kQuestion = kBoxOkCancel | kBoxIconQuestion;
constexpr uint32_t kError = kBoxOk | kBoxIconHand;

const MessageEntry catalogue[] = {
    {0, kInformation, "データ変換が終了しました。"},
    {1, kInformation, "データ変換が終了しました。\n\n　経過時間 %d分 %d秒"},
    {2, kQuestion, "罫線データが設定されていません。\n全てのセルに罫線を付けて良いですか？"},
    {3, kInformation, "処理はキャンセルされました。"},
    {4, kQuestion, "このソフトからコピーしたデータはCalcで編集出来ません。\n全てのセルに罫線を付けて良いですか？"},
    {5, kError, "データ変換に失敗しました。"},
    {11, kError, "メモリを開放できません。"},
    {12, kError, "メモリを確保できません。"},
    {13, kError, "メモリを操作できません。"},
    {14, kError, "Calcを起動できませんでした。"},
    {15, kError, "Calcが見つかりませんでした。"},
    {16, kError, "クリップボードの変換に失敗しました。\nクリップボードを書き込み用に開けません。"},
    {17, kError, "クリップボードの変換に失敗しました。\nクリップボードを初期化できません。"},
    {18, kError, "クリップボードの変換に失敗しました。\nクリップボードに書き込めません。"},
    {19, kError, "クリップボードの変換に失敗しました。\n書き込み用に開いたクリップボードを閉じられません。"},
    {20, kError, "クリップボードの変換に失敗しました。\nクリップボードを読み込み用に開けません。"},
    {21, kError, "クリップボードの変換に失敗しました。\nクリップボードからデータを読めません。"},
    {22, kError, "クリップボードの変換に失敗しました。\n読み込み用に開いたクリップボードを閉じられません。"},
    {23, kError, "クリップボードにデータがありません。"},
    {24, kError, "クリップボードのデータを処理できませんでした。"},
    {25, kError, "変換できない特殊文字があります。"},
    {31, kInformation, "初期化ファイルがありません。罫線が表示されないかもしれません。"},
    {32, kError, "初期化ファイルが読めません。UNICODEで記載していて、入力可能なファイルか確認して下さい。"},
    {39, kError, "範囲は矩形で指定して下さい。"},
    {99, kError, "システムエラー　SPRINTFの変数は最大5個まで指定できます。"},
};

}  // namespace

const MessageEntry* findMessage(MessageCode code) {
    for (const MessageEntry& entry : catalogue)
        if (entry.code == code) return &entry;
    return nullptr;
}

const MessageEntry* messageCatalogue(int& count) {
    count = static_cast<int>(sizeof catalogue / sizeof catalogue[0]);
    return catalogue;
}

template <>
void formatElapsedMessage<char16_t>(char (&text)[500], int32_t minutes, int32_t seconds) {
    // Gridweave formats with the runtime's bounded print routine; the format is the catalogue's own.
    std::snprintf(text, sizeof text, findMessage(1)->text, static_cast<int>(minutes), static_cast<int>(seconds));
}

template <>
void formatElapsedMessage<char>(char (&text)[500], int32_t minutes, int32_t seconds) {
    BoundedSprintf<char>(text, sizeof text, findMessage(1)->text, {minutes, seconds});
}

template <class Ch>
int32_t showMessage(MessageCode code) {
    const MessageEntry* entry = findMessage(code);
    if (!entry) return 0;
    char elapsed[500];
    const char* text = entry->text;
    if (code == 1) {
        formatElapsedMessage<Ch>(elapsed, runState<Ch>().elapsedMinutes, runState<Ch>().elapsedSeconds);
        text = elapsed;
    }
    return messageBoxPort().show(mainWindow, text, programCaption<Ch>(), entry->style);
}

template int32_t showMessage<char>(MessageCode);
template int32_t showMessage<char16_t>(MessageCode);

}  // namespace grid
