#include "platform/gtk/Clipboard_gtk.h"

#include <gtk/gtk.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/portable/GlobalMemory.h"
#include "platform/gtk/MainThread_gtk.h"

extern char** environ;

namespace grid {
namespace {

constexpr const char* kSylkTarget = "application/x-openoffice-sylk;windows_formatname=\"Sylk\"";

class GtkClipboardPort final : public ClipboardPort {
public:
    bool open(WindowHandle) override {
        open_ = true;
        formats_.clear();
        written_ = false;
        return true;
    }
    bool close() override {
        if (!open_) return false;
        open_ = false;
        if (written_) publish();
        return true;
    }
    uint32_t enumFormats(uint32_t format) override {
        if (!open_) return 0;
        if (format == 0) formats_ = offered();
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
        bool found = false;
        runOnGtkMainThread([&] {
            GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
            if (format == kFormatSylk) {
                GtkSelectionData* data = gtk_clipboard_wait_for_contents(clipboard, gdk_atom_intern(kSylkTarget, FALSE));
                if (data) {
                    gint length = 0;
                    const guchar* raw = gtk_selection_data_get_data_with_length(data, &length);
                    if (raw && length >= 0) bytes.assign(reinterpret_cast<const char*>(raw), size_t(length)), found = true;
                    gtk_selection_data_free(data);
                }
            } else if (format == kFormatText || format == kFormatUnicodeText) {
                gchar* text = gtk_clipboard_wait_for_text(clipboard);
                if (text) bytes = text, found = true;
                g_free(text);
            }
        });
        if (!found) return nullptr;
        if (format == kFormatUnicodeText) {
            const std::u16string wide = utf8ToUtf16(bytes.data(), bytes.size());
            return memory_.adopt(std::string(reinterpret_cast<const char*>(wide.c_str()), (wide.size() + 1) * 2));
        }
        if (format == kFormatText) bytes.push_back('\0');  // the system code page is UTF-8 here
        return memory_.adopt(bytes);
    }
    bool empty() override {
        if (!open_) return false;
        text_.clear();
        written_ = true;
        return true;
    }
    MemoryHandle setData(uint32_t format, MemoryHandle handle) override {
        if (!open_ || !memory_.has(handle) || (format != kFormatText && format != kFormatUnicodeText)) return nullptr;
        const std::string bytes = memory_.bytes(handle);
        if (format == kFormatUnicodeText) {
            const std::u16string wide(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
            text_ = utf16ToUtf8(wide.substr(0, wide.find(u'\0')).c_str());
        } else {
            text_ = bytes.substr(0, bytes.find('\0'));
        }
        memory_.handOver(handle);
        written_ = true;
        return handle;
    }
    MemoryHandle globalAlloc(uint32_t, size_t bytes) override { return memory_.allocate(bytes); }
    MemoryHandle globalFree(MemoryHandle handle) override { return memory_.free(handle) ? nullptr : handle; }
    void* globalLock(MemoryHandle handle) override { return memory_.lock(handle); }
    bool globalUnlock(MemoryHandle handle) override { return memory_.unlock(handle, lastError_); }
    size_t globalSize(MemoryHandle handle) override { return memory_.size(handle); }
    void setLastError(uint32_t code) override { lastError_ = code; }
    uint32_t lastError() override { return lastError_; }

    bool wroteMarkup() const { return published_; }
    const std::string& markup() const { return text_; }

private:
    std::vector<uint32_t> offered() {
        std::vector<uint32_t> list;
        runOnGtkMainThread([&] {
            GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
            GdkAtom* targets = nullptr;
            gint count = 0;
            if (!gtk_clipboard_wait_for_targets(clipboard, &targets, &count)) return;
            bool text = false, sylk = false;
            for (gint i = 0; i < count; ++i) {
                gchar* name = gdk_atom_name(targets[i]);
                const std::string target = name ? name : "";
                g_free(name);
                if (target == "UTF8_STRING" || target == "STRING" || target == "TEXT" || target == "text/plain" ||
                    target == "text/plain;charset=utf-8")
                    text = true;
                if (target == kSylkTarget) sylk = true;
            }
            g_free(targets);
            // Either text format stands for the other, as on Windows.
            if (text) list.push_back(kFormatUnicodeText), list.push_back(kFormatText);
            if (sylk) list.push_back(kFormatSylk);
        });
        return list;
    }
    void publish() {
        published_ = true;
        const std::string text = text_;
        runOnGtkMainThread([&] {
            GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
            gtk_clipboard_set_text(clipboard, text.data(), gint(text.size()));
            gtk_clipboard_set_can_store(clipboard, nullptr, 0);
        });
    }

    bool open_ = false, written_ = false, published_ = false;
    std::vector<uint32_t> formats_;
    GlobalMemory memory_;
    std::string text_;
    uint32_t lastError_ = 0;
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

ClipboardPort& gtkClipboard() { return theClipboard(); }

void keepClipboardAfterExit() {
    GtkClipboardPort& clipboard = theClipboard();
    if (!clipboard.wroteMarkup()) return;
    GtkClipboard* selection = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    if (gdk_display_supports_clipboard_persistence(gdk_display_get_default())) {
        gtk_clipboard_store(selection);  // the clipboard manager keeps it from here
        return;
    }
    // No manager: a keeper process of its own session takes the selection over.
    const std::string keeper = keeperPath();
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
    if (started) {
        const std::string& text = clipboard.markup();
        for (size_t sent = 0; sent < text.size();) {
            ssize_t n = write(input[1], text.data() + sent, text.size() - sent);
            if (n <= 0) break;
            sent += size_t(n);
        }
    }
    close(input[1]);
    // The keeper says when it holds the selection; only then is the program's own copy let go.
    char byte;
    if (started) (void)!read(ready[0], &byte, 1);
    close(ready[0]);
}

}  // namespace grid
