#pragma once
// Reads the CLIPBOARD selection of an X display on a connection of its own, from the worker
// thread: the wait for the owner's answer needs no GTK main loop, ends when the owner has sent
// nothing for a while (a frozen or dead program), and ends when the user cancels. An owner that
// is still delivering a large selection in pieces keeps the wait alive with every piece.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace grid {

enum class SelectionResult {
    received,     // the data is there
    noOwner,      // no program holds the clipboard
    refused,      // the owner answered that it has no such data
    ownerSilent,  // the owner sent nothing for the whole silence bound
    cancelled,    // the user asked to cancel while the reader waited
    noDisplay,    // the display could not be reached
};

// Every call to Xlib of the process is safe from any thread from here on; to be called before any
// other call to Xlib (before GTK opens its display).
void prepareX11Threads();

class SelectionReader {
public:
    // `cancelled` is asked about ten times a second while the reader waits.
    SelectionReader(const char* displayName, std::chrono::milliseconds silence, std::function<bool()> cancelled);
    ~SelectionReader();
    SelectionReader(const SelectionReader&) = delete;
    SelectionReader& operator=(const SelectionReader&) = delete;

    bool hasOwner();
    // The names of the targets the owner offers.
    SelectionResult targets(std::vector<std::string>& names);
    // The data of a target, and the name of the type the owner gave it.
    SelectionResult read(const std::string& target, std::string& data, std::string& type);
    // A request was given up while the owner still owed its answer (silent or cancelled).
    bool answerOwed() const { return answerOwed_; }

private:
    struct Connection;
    SelectionResult receive(unsigned long target, std::string& data, unsigned long& type, int& format);

    Connection* connection_;
    std::chrono::milliseconds silence_;
    std::function<bool()> cancelled_;
    bool answerOwed_ = false;
};

}  // namespace grid
