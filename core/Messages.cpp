#include "core/Messages.h"

#include <cstdio>

#include "core/Program.h"
#include "core/RunState.h"
#include "core/TextBuffer.h"
#include "platform/Ports.h"

namespace grid {
namespace {

constexpr uint32_t kInformationBox = kBoxOk | kBoxIconInformation;
constexpr uint32_t kQuestionBox = kBoxOkCancel | kBoxIconQuestion;
constexpr uint32_t kErrorBox = kBoxOk | kBoxIconHand;

const MessageEntry catalogue[] = {
    {kMessageFinished, kInformationBox, "データ変換が終了しました。"},
    {kMessageFinishedWithTime, kInformationBox, "データ変換が終了しました。\n\n　経過時間 %d分 %d秒"},
    {kQuestionBordersOnAllCells, kQuestionBox, "罫線データが設定されていません。\n全てのセルに罫線を付けて良いですか？"},
    {kMessageCancelled, kInformationBox, "処理はキャンセルされました。"},
    {kQuestionNotEditableInCalc, kQuestionBox, "このソフトからコピーしたデータはCalcで編集出来ません。\n全てのセルに罫線を付けて良いですか？"},
    {kMessageConversionFailed, kErrorBox, "データ変換に失敗しました。"},
    {kMessageMemoryNotReleased, kErrorBox, "メモリを開放できません。"},
    {kMessageMemoryExhausted, kErrorBox, "メモリを確保できません。"},
    {kMessageMemoryFailed, kErrorBox, "メモリを操作できません。"},
    {kMessageCalcNotStarted, kErrorBox, "Calcを起動できませんでした。"},
    {kMessageCalcNotFound, kErrorBox, "Calcが見つかりませんでした。"},
    {kMessageClipboardNotOpenedForWriting, kErrorBox, "クリップボードの変換に失敗しました。\nクリップボードを書き込み用に開けません。"},
    {kMessageClipboardNotEmptied, kErrorBox, "クリップボードの変換に失敗しました。\nクリップボードを初期化できません。"},
    {kMessageClipboardNotWritten, kErrorBox, "クリップボードの変換に失敗しました。\nクリップボードに書き込めません。"},
    {kMessageClipboardNotClosedAfterWriting, kErrorBox, "クリップボードの変換に失敗しました。\n書き込み用に開いたクリップボードを閉じられません。"},
    {kMessageClipboardNotOpenedForReading, kErrorBox, "クリップボードの変換に失敗しました。\nクリップボードを読み込み用に開けません。"},
    {kMessageClipboardNotRead, kErrorBox, "クリップボードの変換に失敗しました。\nクリップボードからデータを読めません。"},
    {kMessageClipboardNotClosedAfterReading, kErrorBox, "クリップボードの変換に失敗しました。\n読み込み用に開いたクリップボードを閉じられません。"},
    {kMessageClipboardEmpty, kErrorBox, "クリップボードにデータがありません。"},
    {kMessageClipboardDataNotProcessed, kErrorBox, "クリップボードのデータを処理できませんでした。"},
    {kMessageCharacterNotConvertible, kErrorBox, "変換できない特殊文字があります。"},
    {kMessageSettingsFileMissing, kInformationBox, "初期化ファイルがありません。罫線が表示されないかもしれません。"},
    {kMessageSettingsFileUnreadable, kErrorBox, "初期化ファイルが読めません。UNICODEで記載していて、入力可能なファイルか確認して下さい。"},
    {kMessageRangeNotRectangular, kErrorBox, "範囲は矩形で指定して下さい。"},
    {kMessageTooManyFormatArguments, kErrorBox, "システムエラー　SPRINTFの変数は最大5個まで指定できます。"},
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
    std::snprintf(text, sizeof text, findMessage(kMessageFinishedWithTime)->text, static_cast<int>(minutes), static_cast<int>(seconds));
}

template <>
void formatElapsedMessage<char>(char (&text)[500], int32_t minutes, int32_t seconds) {
    BoundedSprintf<char>(text, sizeof text, findMessage(kMessageFinishedWithTime)->text, {minutes, seconds});
}

template <class Ch>
int32_t showMessage(MessageCode code) {
    const MessageEntry* entry = findMessage(code);
    if (!entry) return 0;
    char elapsed[500];
    const char* text = entry->text;
    if (code == kMessageFinishedWithTime) {
        formatElapsedMessage<Ch>(elapsed, runState<Ch>().elapsedMinutes, runState<Ch>().elapsedSeconds);
        text = elapsed;
    }
    return messageBoxPort().show(mainWindow, text, programCaption<Ch>(), entry->style);
}

template int32_t showMessage<char>(MessageCode);
template int32_t showMessage<char16_t>(MessageCode);

}  // namespace grid
