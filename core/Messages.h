#pragma once
#include <cstdint>

#include "core/Allocation.h"
#include "core/Status.h"

namespace grid {

// The messages of the catalogue by name, with the gist of each; the value is the message's code.
enum : MessageCode {
    kMessageFinished = 0,                         // the data conversion has finished
    kMessageFinishedWithTime = 1,                 // the same, with the elapsed minutes and seconds
    kQuestionBordersOnAllCells = 2,               // no border data is set: may borders be put on all cells?
    kMessageCancelled = 3,                        // the processing was cancelled
    kQuestionNotEditableInCalc = 4,               // copied from this software, not editable in Calc: borders on all?
    kMessageConversionFailed = 5,                 // the data conversion failed
    kMessageMemoryNotReleased = 11,               // memory cannot be released (no step shows it)
    kMessageMemoryExhausted = 12,                 // memory cannot be allocated
    kMessageMemoryFailed = 13,                    // memory cannot be operated on
    kMessageCalcNotStarted = 14,                  // Calc could not be started
    kMessageCalcNotFound = 15,                    // Calc was not found
    kMessageClipboardNotOpenedForWriting = 16,    // the clipboard cannot be opened for writing
    kMessageClipboardNotEmptied = 17,             // the clipboard cannot be emptied
    kMessageClipboardNotWritten = 18,             // the clipboard cannot be written to
    kMessageClipboardNotClosedAfterWriting = 19,  // the clipboard opened for writing cannot be closed
    kMessageClipboardNotOpenedForReading = 20,    // the clipboard cannot be opened for reading
    kMessageClipboardNotRead = 21,                // no data can be read from the clipboard
    kMessageClipboardNotClosedAfterReading = 22,  // the clipboard opened for reading cannot be closed
    kMessageClipboardEmpty = 23,                  // there is no data on the clipboard
    kMessageClipboardDataNotProcessed = 24,       // the clipboard data could not be processed
    kMessageCharacterNotConvertible = 25,         // a special character cannot be converted (Gridquill)
    kMessageSettingsFileMissing = 31,             // there is no settings file; borders may not be shown
    kMessageSettingsFileUnreadable = 32,          // the settings file cannot be read (no step shows it)
    kMessageRangeNotRectangular = 39,             // please give the range as a rectangle
    kMessageTooManyFormatArguments = 99,          // system error: at most five arguments to a format
};

struct MessageEntry {
    MessageCode code;
    uint32_t style;
    const char* text;  // UTF-8; shown in code page 932
};

// The entry of a code, or nullptr for a code that is not in the catalogue.
const MessageEntry* findMessage(MessageCode code);
// Every entry, in code order.
const MessageEntry* messageCatalogue(int& count);

// Shows the message with the program's caption, owned by the progress window (no owner before it
// exists), and returns the box's answer; 0 without a box for a code outside the catalogue.
template <class Ch> int32_t showMessage(MessageCode code);

// The message for an allocation that failed: exhausted memory, or any other failure.
inline MessageCode allocationFailureMessage(AllocationFailure failure) {
    return failure == AllocationFailure::exhausted ? kMessageMemoryExhausted : kMessageMemoryFailed;
}

// The text of kMessageFinishedWithTime with the elapsed minutes and seconds filled in.
template <class Ch> void formatElapsedMessage(char (&text)[500], int32_t minutes, int32_t seconds);

}  // namespace grid
