#pragma once
#include <cstdint>

#include "core/Status.h"

namespace grid {

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

// The text of message 1 with the elapsed minutes and seconds filled in.
template <class Ch> void formatElapsedMessage(char (&text)[500], int32_t minutes, int32_t seconds);

}  // namespace grid
