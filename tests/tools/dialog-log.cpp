// libgrid-dialog-log.so: preloaded into a Linux program by its end-to-end tests (LD_PRELOAD), it
// writes every message dialog that the program runs, before the dialog is shown, as one line to
// the file that GRID_DIALOG_LOG names:
//
//   dialog CAPTION | BUTTONS | OWNER | TEXT
//
// BUTTONS is "OK" or "OK,Cancel"; OWNER is the role of the dialog's transient parent ("progress"
// for the progress window) or "none"; TEXT is the message with "\n" for its line breaks. The
// Windows robot writes its box lines the same way.
//
// With GRID_PROGRESS_LOG set, each new position of the progress bar (0 to 100) is written as one
// line to the file that it names when the bar takes it, so that a test can act at a given point of
// the run (the last line is the bar's position).
#include <dlfcn.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Plain pointers: the constructor below may run before the library's own C++ initialisers.
char* logPath = nullptr;
char* progressPath = nullptr;

// Read before the program's main and taken out of the environment, so that what the program
// starts (the keeper, an office) runs without this library.
__attribute__((constructor)) void takeSettings() {
    if (const char* path = std::getenv("GRID_DIALOG_LOG")) logPath = strdup(path);
    if (const char* path = std::getenv("GRID_PROGRESS_LOG")) progressPath = strdup(path);
    unsetenv("GRID_DIALOG_LOG");
    unsetenv("GRID_PROGRESS_LOG");
    unsetenv("LD_PRELOAD");
}

std::string describe(GtkDialog* dialog) {
    const char* title = gtk_window_get_title(GTK_WINDOW(dialog));
    const bool ok = gtk_dialog_get_widget_for_response(dialog, GTK_RESPONSE_OK) != nullptr;
    const bool cancel = gtk_dialog_get_widget_for_response(dialog, GTK_RESPONSE_CANCEL) != nullptr;
    const std::string buttons = ok && cancel ? "OK,Cancel" : ok ? "OK" : cancel ? "Cancel" : "none";
    GtkWindow* parent = gtk_window_get_transient_for(GTK_WINDOW(dialog));
    const char* role = parent ? gtk_window_get_role(parent) : nullptr;
    const std::string owner = !parent ? "none" : role ? role : "unnamed";
    gchar* text = nullptr;
    if (GTK_IS_MESSAGE_DIALOG(dialog)) g_object_get(dialog, "text", &text, nullptr);
    std::string escaped;
    for (const char* c = text ? text : ""; *c; ++c) escaped += *c == '\n' ? std::string("\\n") : std::string(1, *c);
    g_free(text);
    return "dialog " + std::string(title ? title : "") + " | " + buttons + " | " + owner + " | " + escaped;
}

}  // namespace

extern "C" gint gtk_dialog_run(GtkDialog* dialog) {
    using Run = gint (*)(GtkDialog*);
    static const Run run = reinterpret_cast<Run>(dlsym(RTLD_NEXT, "gtk_dialog_run"));
    if (logPath) {
        if (FILE* log = std::fopen(logPath, "a")) {
            std::fprintf(log, "%s\n", describe(dialog).c_str());
            std::fclose(log);
        }
    }
    return run(dialog);
}

// The bar is moved on the main thread only; a line is written each time its position changes.
extern "C" void gtk_progress_bar_set_fraction(GtkProgressBar* bar, gdouble fraction) {
    using Set = void (*)(GtkProgressBar*, gdouble);
    static const Set set = reinterpret_cast<Set>(dlsym(RTLD_NEXT, "gtk_progress_bar_set_fraction"));
    static int last = -1;
    const int position = int(fraction * 100 + 0.5);
    if (progressPath && position != last) {
        last = position;
        if (FILE* log = std::fopen(progressPath, "a")) {
            std::fprintf(log, "%d\n", position);
            std::fclose(log);
        }
    }
    set(bar, fraction);
}
