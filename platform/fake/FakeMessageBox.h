#pragma once
// A message box that records what it was asked to show and answers from a script.
#include <deque>
#include <string>
#include <vector>

#include "platform/Ports.h"

namespace grid {

struct ShownMessage {
    WindowHandle owner;
    std::string text;
    std::string caption;
    uint32_t style;
    int code;  // the catalogue code whose text this is, or -1
};

class FakeMessageBox final : public MessageBoxPort {
public:
    FakeMessageBox();  // installs itself
    ~FakeMessageBox() override;  // restores the default

    int32_t show(WindowHandle owner, const char* text, const char* caption, uint32_t style) override;

    // Answers for the next boxes, in order; once used up every box is answered OK.
    void answer(std::initializer_list<int32_t> answers) { script_.insert(script_.end(), answers); }
    const std::vector<ShownMessage>& shown() const { return shown_; }
    std::vector<int> codes() const;
    void clear() { shown_.clear(); script_.clear(); }

private:
    std::vector<ShownMessage> shown_;
    std::deque<int32_t> script_;
};

}  // namespace grid
