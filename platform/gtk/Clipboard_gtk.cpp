#include "platform/gtk/Clipboard_gtk.h"

#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/CodePage.h"
#include "platform/gtk/MainThread_gtk.h"
#include "platform/portable/ClipboardText.h"
#include "platform/portable/GlobalMemory.h"
#include "platform/x11/SelectionReader_x11.h"

extern char** environ;

namespace grid {
namespace {

constexpr const char* kSylkTarget = "application/x-openoffice-sylk;windows_formatname=\"Sylk\"";
// Last errors of a read that failed, as Windows names them.
constexpr uint32_t kErrorInvalidData = 13;  // ERROR_INVALID_DATA: nothing usable, or text that cannot be decoded
constexpr uint32_t kErrorNotEnoughMemory = 8;  // ERROR_NOT_ENOUGH_MEMORY
constexpr uint32_t kErrorTimeout = 1460;    // ERROR_TIMEOUT: the owner stopped answering

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(g_ascii_tolower(c)); });
    return text;
}

// The charset named by a MIME type such as "text/plain;charset=utf-8", in lower case; empty when
// it names none.
std::string charsetOf(const std::string& type) {
    const std::string lower = lowerCase(type);
    const size_t at = lower.find("charset=");
    if (at == std::string::npos) return "";
    std::string charset = lower.substr(at + 8, lower.find(';', at) - (at + 8));
    charset.erase(std::remove(charset.begin(), charset.end(), '"'), charset.end());
    return charset;
}

bool isUtf8Charset(const std::string& charset) { return charset == "utf-8" || charset == "utf8"; }

// The Windows format a target stands for, as office programs name it in the target:
// `application/x-openoffice-link;windows_formatname="Link"` stands for "Link"; HTML, which browsers
// and spreadsheets offer as text/html, stands for Windows' "HTML Format". Empty for none.
std::string windowsFormatName(const std::string& target) {
    const std::string key = "windows_formatname=\"";
    const size_t at = target.find(key);
    if (at == std::string::npos) {
        const std::string type = lowerCase(target.substr(0, target.find(';')));
        return type == "text/html" ? "HTML Format" : "";
    }
    const size_t end = target.find('"', at + key.size());
    return end == std::string::npos ? "" : target.substr(at + key.size(), end - at - key.size());
}

// Windows compares the names of formats without regard to case.
bool sameFormatName(const std::string& a, const std::string& b) { return lowerCase(a) == lowerCase(b); }

constexpr uint32_t kFirstNamedFormat = 0xC000;

bool isPlainText(const std::string& target) { return lowerCase(target).rfind("text/plain", 0) == 0; }

// How much a target of text is preferred, lower first; -1 for a target that is not text. Text of a
// known encoding comes before text whose encoding is guessed.
int textRank(const std::string& target) {
    if (target == "UTF8_STRING") return 0;
    if (isPlainText(target)) {
        const std::string charset = charsetOf(target);
        return isUtf8Charset(charset) ? 1 : !charset.empty() ? 2 : 3;
    }
    if (target == "STRING") return 4;
    if (target == "COMPOUND_TEXT") return 5;
    if (target == "TEXT") return 6;
    return -1;
}

// The text of a selection as UTF-8, decoded by the type the owner gave it and ended at its first
// NUL, as the programs' text ends; false for text that cannot be decoded, which is refused rather
// than converted wrongly.
bool decodeText(const std::string& type, std::string& data) {
    auto endAtNul = [&data] {
        const size_t nul = data.find('\0');
        if (nul != std::string::npos) data.resize(nul);
    };
    auto validUtf8 = [&] {
        endAtNul();
        return g_utf8_validate(data.data(), gssize(data.size()), nullptr) != FALSE;
    };
    auto converted = [&](const char* from) {
        gsize written = 0;
        gchar* text = g_convert(data.data(), gssize(data.size()), "UTF-8", from, nullptr, &written, nullptr);
        if (!text) return false;
        data.assign(text, written);
        g_free(text);
        endAtNul();
        return true;
    };
    if (type == "UTF8_STRING") return validUtf8();
    if (type == "STRING") {
        endAtNul();
        return converted("ISO-8859-1");  // as ICCCM defines it
    }
    if (isPlainText(type)) {
        const std::string charset = charsetOf(type);
        // Without a charset the text counts as UTF-8, the text of Linux, when it is valid UTF-8.
        if (charset.empty() || isUtf8Charset(charset)) return validUtf8();
        return converted(charset.c_str());
    }
    return false;
}

// What the program reads from the clipboard: on X displays through a connection of the worker's
// own, bounded and cancellable; elsewhere through GTK's waiting calls on the main thread.
class ClipboardSource {
public:
    ClipboardSource(const std::string& x11Display, const std::function<bool()>& cancelled) {
        if (!x11Display.empty())
            reader_ = std::make_unique<SelectionReader>(x11Display.c_str(), kOwnerSilence, cancelled);
    }

    // The owner's targets; true with none when no program holds the clipboard.
    bool targets(std::vector<std::string>& names, uint32_t& error) {
        if (!reader_) return gtkTargets(names);
        return succeeded(reader_->targets(names), error, true);
    }

    bool read(const std::string& target, std::string& data, std::string& type, uint32_t& error) {
        if (!reader_) return gtkRead(target, data, type);
        return succeeded(reader_->read(target, data, type), error, false);
    }

    // An owner that resumes after the wait was given up still answers to the reader's window:
    // while the program runs, that window must be there for it (some owners end on an answer
    // they cannot deliver, and the user's clipboard would go with them).
    bool answerOwed() const { return reader_ && reader_->answerOwed(); }

private:
    // An owner that sends nothing for this long counts as gone.
    static constexpr std::chrono::milliseconds kOwnerSilence{5000};

    static bool succeeded(SelectionResult result, uint32_t& error, bool noOwnerIsEmpty) {
        switch (result) {
            case SelectionResult::received: return true;
            case SelectionResult::noOwner:
                if (noOwnerIsEmpty) return true;
                error = kErrorInvalidData;
                return false;
            case SelectionResult::cancelled: error = kErrorCancelled; return false;
            case SelectionResult::ownerSilent: error = kErrorTimeout; return false;
            default: error = kErrorInvalidData; return false;
        }
    }

    static bool gtkTargets(std::vector<std::string>& names) {
        names.clear();
        runOnGtkMainThread([&] {
            GdkAtom* atoms = nullptr;
            gint count = 0;
            if (!gtk_clipboard_wait_for_targets(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), &atoms, &count)) return;
            for (gint i = 0; i < count; ++i) {
                gchar* name = gdk_atom_name(atoms[i]);
                if (name) names.emplace_back(name);
                g_free(name);
            }
            g_free(atoms);
        });
        return true;
    }

    static bool gtkRead(const std::string& target, std::string& data, std::string& type) {
        bool found = false;
        runOnGtkMainThread([&] {
            GtkSelectionData* selection = gtk_clipboard_wait_for_contents(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD),
                                                                          gdk_atom_intern(target.c_str(), FALSE));
            if (!selection) return;
            gint length = 0;
            const guchar* raw = gtk_selection_data_get_data_with_length(selection, &length);
            if (raw && length >= 0) {
                data.assign(reinterpret_cast<const char*>(raw), size_t(length));
                gchar* name = gdk_atom_name(gtk_selection_data_get_data_type(selection));
                type = name ? name : "";
                g_free(name);
                found = true;
            }
            gtk_selection_data_free(selection);
        });
        return found;
    }

    std::unique_ptr<SelectionReader> reader_;
};

class GtkClipboardPort final : public ClipboardPort {
public:
    // Made on the main thread at start-up, when GTK knows its display.
    GtkClipboardPort() {
        GdkDisplay* display = gdk_display_get_default();
        if (display && GDK_IS_X11_DISPLAY(display)) {
            x11Display_ = gdk_display_get_name(display);
        } else if (const char* name = g_getenv("DISPLAY")) {
            x11Display_ = name;  // the X server beside a Wayland session shares its clipboard
        }
    }

    void setCancelCheck(std::function<bool()> cancelled) { cancelled_ = std::move(cancelled); }

    bool open(WindowHandle) override {
        open_ = true;
        formats_.clear();
        written_ = false;
        return true;
    }
    bool close() override {
        if (!open_) return false;
        open_ = false;
        if (source_ && source_->answerOwed()) owedSources_.push_back(std::move(source_));
        source_.reset();
        // What getData handed out is the clipboard's and valid only while it is open.
        for (MemoryHandle block : handedOut_) memory_.discard(block);
        handedOut_.clear();
        if (written_) publish();
        return true;
    }
    uint32_t enumFormats(uint32_t format) override {
        if (!open_) return 0;
        if (format == 0 && !offered(formats_)) return 0;
        for (size_t i = 0; i < formats_.size(); ++i)
            if (format == 0 || formats_[i] == format) {
                size_t next = format == 0 ? i : i + 1;
                return next < formats_.size() ? formats_[next] : 0;
            }
        return 0;
    }
    MemoryHandle getData(uint32_t format) override {
        if (!open_) return nullptr;
        std::string bytes;
        if (format == kFormatSylk) {
            std::string type;
            if (!source().read(kSylkTarget, bytes, type, lastError_)) return nullptr;
        } else if (format == kFormatText || format == kFormatUnicodeText) {
            if (!readText(bytes)) return nullptr;
        } else if (format >= kFirstNamedFormat && format - kFirstNamedFormat < names_.size()) {
            if (!readNamed(names_[format - kFirstNamedFormat], bytes)) return nullptr;
        } else {
            return nullptr;
        }
        MemoryHandle block;
        if (format == kFormatUnicodeText) {
            const std::u16string wide = utf8ToUtf16(bytes.data(), bytes.size());
            std::string().swap(bytes);
            std::string units((wide.size() + 1) * sizeof(char16_t), '\0');
            std::memcpy(units.data(), wide.data(), wide.size() * sizeof(char16_t));
            block = memory_.adopt(std::move(units));
        } else {
            if (format == kFormatText) bytes.push_back('\0');  // the system code page is UTF-8 here
            block = memory_.adopt(std::move(bytes));
        }
        if (!block) {
            lastError_ = kErrorNotEnoughMemory;
            return nullptr;
        }
        handedOut_.push_back(block);
        return block;
    }
    // The clipboard changes hands only when the markup takes its place at close: a write that
    // fails on the way publishes nothing, and the user's clipboard stays with the program that
    // copied it.
    bool empty() override { return open_; }
    MemoryHandle setData(uint32_t format, MemoryHandle handle) override {
        if (!open_ || !memory_.has(handle) || (format != kFormatText && format != kFormatUnicodeText)) return nullptr;
        // The clipboard keeps the text as UTF-8, the form it is offered in; the block has served.
        // Without the memory for it, the block stays the program's, as SetClipboardData leaves it.
        OwnedBytes text;
        if (!utf8TextOfBlock(format, memory_.data(handle), memory_.size(handle), text)) {
            lastError_ = kErrorNotEnoughMemory;
            return nullptr;
        }
        text_ = std::move(text);
        memory_.discard(handle);
        written_ = true;
        return handle;
    }
    MemoryHandle globalAlloc(uint32_t, size_t bytes) override {
        MemoryHandle block = memory_.allocate(bytes);
        if (!block) lastError_ = kErrorNotEnoughMemory;
        return block;
    }
    MemoryHandle globalFree(MemoryHandle handle) override { return memory_.free(handle) ? nullptr : handle; }
    void* globalLock(MemoryHandle handle) override { return memory_.lock(handle); }
    bool globalUnlock(MemoryHandle handle) override { return memory_.unlock(handle, lastError_); }
    size_t globalSize(MemoryHandle handle) override { return memory_.size(handle); }
    void setLastError(uint32_t code) override { lastError_ = code; }
    uint32_t lastError() override { return lastError_; }
    uint32_t registerFormat(const char* name) override {
        if (!name || !*name) return 0;
        for (size_t i = 0; i < names_.size(); ++i)
            if (sameFormatName(names_[i], name)) return uint32_t(kFirstNamedFormat + i);
        names_.emplace_back(name);
        return uint32_t(kFirstNamedFormat + names_.size() - 1);
    }

    // Markup written and not yet handed on, for the keeper.
    bool markupToKeep() const { return published_ && !kept_; }
    const OwnedBytes& markup() const { return text_; }
    void markupKept() { kept_ = true; }

private:
    ClipboardSource& source() {
        if (!source_) source_ = std::make_unique<ClipboardSource>(x11Display_, cancelled_);
        return *source_;
    }

    // The formats the owner's targets stand for; false with the last error set when they could not
    // be had, none when no program holds the clipboard.
    bool offered(std::vector<uint32_t>& list) {
        list.clear();
        std::vector<std::string> targets;
        if (!source().targets(targets, lastError_)) return false;
        bool text = false, sylk = false;
        for (const std::string& target : targets) {
            text = text || textRank(target) >= 0;
            sylk = sylk || target == kSylkTarget;
        }
        // Either text format stands for the other, as on Windows.
        if (text) list.push_back(kFormatUnicodeText), list.push_back(kFormatText);
        if (sylk) list.push_back(kFormatSylk);
        for (size_t i = 0; i < names_.size(); ++i)
            if (std::any_of(targets.begin(), targets.end(), [&](const std::string& target) {
                    return sameFormatName(windowsFormatName(target), names_[i]);
                }))
                list.push_back(uint32_t(kFirstNamedFormat + i));
        return true;
    }

    // The bytes of the target that stands for a format known by name, as they are.
    bool readNamed(const std::string& name, std::string& bytes) {
        std::vector<std::string> targets;
        if (!source().targets(targets, lastError_)) return false;
        for (const std::string& target : targets)
            if (sameFormatName(windowsFormatName(target), name)) {
                std::string type;
                return source().read(target, bytes, type, lastError_);
            }
        lastError_ = kErrorInvalidData;
        return false;
    }

    // The clipboard's text as UTF-8, from the best target of text that the owner offers.
    bool readText(std::string& text) {
        std::vector<std::string> targets;
        if (!source().targets(targets, lastError_)) return false;
        std::string best;
        for (const std::string& target : targets) {
            const int rank = textRank(target);
            if (rank >= 0 && (best.empty() || rank < textRank(best))) best = target;
        }
        std::string type;
        if (best.empty()) {
            lastError_ = kErrorInvalidData;
            return false;
        }
        if (!source().read(best, text, type, lastError_)) return false;
        if (type == "COMPOUND_TEXT" || type == "TEXT") {
            // Old programs' encoding of many character sets, which GTK decodes.
            bool decoded = false;
            runOnGtkMainThread([&] {
                gchar** list = nullptr;
                GdkDisplay* display = gdk_display_get_default();
                const gint count = gdk_text_property_to_utf8_list_for_display(
                    display, gdk_atom_intern(type.c_str(), FALSE), 8, reinterpret_cast<const guchar*>(text.data()),
                    gint(text.size()), &list);
                if (count > 0) {
                    text = list[0];
                    decoded = true;
                }
                g_strfreev(list);
            });
            if (decoded) return true;
        } else if (decodeText(type, text)) {
            return true;
        }
        lastError_ = kErrorInvalidData;
        return false;
    }

    // The markup is served from the program's one copy: GTK asks for it only when another program
    // pastes, or when a clipboard manager stores it.
    void publish() {
        published_ = true;
        kept_ = false;
        runOnGtkMainThread([this] {
            GtkTargetList* list = gtk_target_list_new(nullptr, 0);
            gtk_target_list_add_text_targets(list, 0);
            gint count = 0;
            GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
            GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
            gtk_clipboard_set_with_data(
                clipboard, targets, guint(count),
                [](GtkClipboard*, GtkSelectionData* data, guint, gpointer port) {
                    const OwnedBytes& text = static_cast<GtkClipboardPort*>(port)->text_;
                    const char* bytes = text.data() ? reinterpret_cast<const char*>(text.data()) : "";
                    gtk_selection_data_set_text(data, bytes, gint(text.size()));
                },
                [](GtkClipboard*, gpointer) {}, this);
            gtk_clipboard_set_can_store(clipboard, nullptr, 0);
            gtk_target_table_free(targets, count);
            gtk_target_list_unref(list);
        });
    }

    bool open_ = false, written_ = false, published_ = false, kept_ = false;
    std::vector<uint32_t> formats_;
    std::vector<std::string> names_;  // formats known by name, from kFirstNamedFormat
    std::vector<MemoryHandle> handedOut_;
    GlobalMemory memory_;
    OwnedBytes text_;  // the markup written, as UTF-8
    uint32_t lastError_ = 0;
    std::string x11Display_;
    std::function<bool()> cancelled_;
    std::unique_ptr<ClipboardSource> source_;
    std::vector<std::unique_ptr<ClipboardSource>> owedSources_;  // kept until the program ends
};

GtkClipboardPort& theClipboard() {
    static GtkClipboardPort clipboard;
    return clipboard;
}

std::string keeperPath() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    std::string folder(path, size_t(n));
    return folder.substr(0, folder.rfind('/') + 1) + "grid-clipboard-keeper";
}

}  // namespace

void prepareGtkClipboard() { prepareX11Threads(); }

ClipboardPort& gtkClipboard() { return theClipboard(); }

void setClipboardCancelCheck(std::function<bool()> cancelled) { theClipboard().setCancelCheck(std::move(cancelled)); }

namespace {

// The hand-over of the markup to the keeper, which the main loop goes on serving meanwhile.
struct Handover {
    int ready = -1;  // the keeper says here when it holds the selection
    std::thread writer;
};
Handover handover;

// The markup to the keeper's standard input, and then its end.
void sendToKeeper(int fd, const OwnedBytes& text) {
    const auto* bytes = reinterpret_cast<const char*>(text.data());
    for (size_t sent = 0; sent < text.size();) {
        const ssize_t n = write(fd, bytes + sent, text.size() - sent);
        if (n <= 0) break;
        sent += size_t(n);
    }
    close(fd);
}

gboolean keeperReady(gint fd, GIOCondition, gpointer) {
    char byte;
    (void)!read(fd, &byte, 1);  // a byte, or the end of a keeper that did not make it
    close(fd);
    handover.ready = -1;
    return G_SOURCE_REMOVE;
}

}  // namespace

void startKeepingClipboard() {
    GtkClipboardPort& clipboard = theClipboard();
    if (!clipboard.markupToKeep()) return;
    clipboard.markupKept();
    GtkClipboard* selection = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    if (gdk_display_supports_clipboard_persistence(gdk_display_get_default())) {
        gtk_clipboard_store(selection);  // the clipboard manager keeps it from here
        return;
    }
    // No manager: a keeper process of its own session takes the selection over.
    std::string keeper;
    try {
        keeper = keeperPath();
    } catch (const std::bad_alloc&) {
        return;  // no keeper: the program serves the markup while it runs
    }
    int input[2], ready[2];
    if (keeper.empty() || pipe(input) != 0) return;
    if (pipe(ready) != 0) {
        close(input[0]), close(input[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, ready[1], 1);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    char* arguments[] = {const_cast<char*>(keeper.c_str()), nullptr};
    pid_t child = 0;
    const bool started = posix_spawn(&child, keeper.c_str(), &actions, &attributes, arguments, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(input[0]);
    close(ready[1]);
    if (!started) {
        close(input[1]);
        close(ready[0]);
        return;
    }
    // The markup goes to the keeper from a thread of its own, and its word comes to the main loop:
    // until the keeper holds the selection, the program serves every paste itself.
    const OwnedBytes& text = clipboard.markup();
    try {
        handover.writer = std::thread([fd = input[1], &text] { sendToKeeper(fd, text); });
    } catch (const std::exception&) {
        // No thread to be had (std::bad_alloc, or std::system_error from the system): the markup
        // goes from here, the keeper reading it whole before it does anything else.
        sendToKeeper(input[1], text);
    }
    handover.ready = ready[0];
    g_unix_fd_add(ready[0], GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), keeperReady, nullptr);
}

void keepClipboardAfterExit() {
    startKeepingClipboard();
    // Only once the keeper holds the selection is the program's own copy let go.
    while (handover.ready != -1) g_main_context_iteration(nullptr, TRUE);
    if (handover.writer.joinable()) handover.writer.join();
}

}  // namespace grid
