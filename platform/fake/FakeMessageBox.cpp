#include "platform/fake/FakeMessageBox.h"

#include <cstring>

#include "core/Messages.h"

namespace grid {
namespace {

// Message 1 carries numbers, so it is recognised by the text before its first conversion.
int codeOfText(const std::string& text) {
    int count = 0;
    const MessageEntry* entries = messageCatalogue(count);
    for (int i = 0; i < count; ++i) {
        std::string pattern = entries[i].text;
        size_t percent = pattern.find('%');
        if (percent == std::string::npos ? text == pattern : text.compare(0, percent, pattern, 0, percent) == 0)
            return static_cast<int>(entries[i].code);
    }
    return -1;
}

}  // namespace

FakeMessageBox::FakeMessageBox() { setMessageBoxPort(this); }
FakeMessageBox::~FakeMessageBox() { setMessageBoxPort(nullptr); }

int32_t FakeMessageBox::show(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
    shown_.push_back({owner, text, caption, style, codeOfText(text)});
    if (script_.empty()) return kAnswerOk;
    int32_t answer = script_.front();
    script_.pop_front();
    return answer;
}

std::vector<int> FakeMessageBox::codes() const {
    std::vector<int> result;
    for (const ShownMessage& message : shown_) result.push_back(message.code);
    return result;
}

}  // namespace grid
