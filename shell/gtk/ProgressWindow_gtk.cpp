#include "shell/gtk/ProgressWindow_gtk.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "core/ConversionRun.h"
#include "core/Program.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "platform/SettingsFile.h"
#include "platform/Window.h"
#include "platform/gtk/Clipboard_gtk.h"
#include "platform/gtk/MainThread_gtk.h"
#include "platform/gtk/MessageBox_gtk.h"
#include "platform/uno/CalcConnection_uno.h"

namespace grid {
namespace {

GtkWidget* progressBar = nullptr;

// The bar moved on the main thread while the worker waits, as SendMessage does; the window closed
// there too.
struct GtkProgressWindow final : ProgressWindowPort {
    void setProgress(int32_t position) override {
        runOnGtkMainThread([position] {
            if (progressBar) gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(progressBar), position / 100.0);
        });
    }
    void close() override {
        g_idle_add(
            [](gpointer) -> gboolean {
                if (mainWindow) gtk_widget_destroy(GTK_WIDGET(mainWindow));
                return G_SOURCE_REMOVE;
            },
            nullptr);
    }
};

// The Cancel button, its keys and the close box all ask the same: the worker sees the request at
// its next check, if one is left, and ends the run there with the cancel message, the office's
// hidden document closed and nothing written to the clipboard.
template <class Ch>
void requestCancel() {
    runState<Ch>().cancelState.store(kCancelRequested);
}

template <class Ch>
gboolean keyPressed(GtkWidget*, GdkEventKey* event, gpointer) {
    if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter || event->keyval == GDK_KEY_Escape ||
        event->keyval == GDK_KEY_space) {
        requestCancel<Ch>();
        return TRUE;
    }
    return FALSE;
}

template <class Ch>
void cancelClicked(GtkButton*, gpointer) {
    requestCancel<Ch>();
}

// The window manager's close box (WM_DELETE_WINDOW), or the window's X window destroyed by another
// program: a cancel request, and the window stays, since the worker moves its bar and owns its
// message boxes by it until the run's end closes it (close() above). While a message box is up,
// GTK does not deliver the close box's request to the window at all.
template <class Ch>
gboolean closeRequested(GtkWidget*, GdkEvent*, gpointer) {
    requestCancel<Ch>();
    return TRUE;
}

// Set once the worker has returned: nobody is left to see a cancel request.
std::atomic<bool> workerDone{false};

// One check of a cancel request still pending at the end: the program goes on, its main loop
// serving, while the worker may still see the request, ten seconds at most, as on Windows.
template <class Ch>
gboolean checkPendingCancel(gpointer) {
    static int checks = 0;
    if (runState<Ch>().cancelState.load() == kCancelRequested && !workerDone.load() && ++checks <= 100)
        return G_SOURCE_CONTINUE;
    gtk_main_quit();
    return G_SOURCE_REMOVE;
}

// The run has closed the window (close() above: nothing else destroys it): the markup written goes
// to the clipboard manager or the keeper at once, so that every paste gets it whatever follows, and
// the program ends once no cancel request waits.
template <class Ch>
void destroyed(GtkWidget*, gpointer) {
    mainWindow = nullptr;
    progressBar = nullptr;
    startKeepingClipboard();
    if (checkPendingCancel<Ch>(nullptr) == G_SOURCE_CONTINUE) g_timeout_add(100, checkPendingCancel<Ch>, nullptr);
}

// The controls' font as the Windows programs ask for it: 11 pixels, bold, so that the status text
// fits the window as it does there.
void useWindowFont(GtkWidget* widget) {
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_size_new_absolute(11 * PANGO_SCALE));
    pango_attr_list_insert(attributes, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
    gtk_label_set_attributes(GTK_LABEL(widget), attributes);
    pango_attr_list_unref(attributes);
}

template <class Ch>
void createWindow() {
    RunState<Ch>& run = runState<Ch>();
    run.cancelState.store(kCancelNotRequested);
    run.bordersAccepted = 0;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), programCaption<Ch>());
    gtk_window_set_role(GTK_WINDOW(window), "progress");
    gtk_window_set_default_size(GTK_WINDOW(window), 260, 130);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    // A layout clips what does not fit, so the status text is cut at the window's edge as there.
    GtkWidget* layout = gtk_layout_new(nullptr, nullptr);
    gtk_widget_set_size_request(layout, 260, 130);
    gtk_container_add(GTK_CONTAINER(window), layout);
    GtkWidget* status = gtk_label_new("データを変換中です。しばらくお待ちください。");
    useWindowFont(status);
    gtk_layout_put(GTK_LAYOUT(layout), status, 10, 7);
    progressBar = gtk_progress_bar_new();
    gtk_widget_set_size_request(progressBar, 200, 20);
    gtk_layout_put(GTK_LAYOUT(layout), progressBar, 30, 30);
    GtkWidget* cancel = gtk_button_new_with_label("キャンセル");
    gtk_widget_set_size_request(cancel, 86, 20);
    useWindowFont(gtk_bin_get_child(GTK_BIN(cancel)));
    gtk_widget_set_can_focus(cancel, FALSE);  // keys go to the window, as there
    gtk_layout_put(GTK_LAYOUT(layout), cancel, 80, 65);
    g_signal_connect(cancel, "clicked", G_CALLBACK(cancelClicked<Ch>), nullptr);
    g_signal_connect(window, "key-press-event", G_CALLBACK(keyPressed<Ch>), nullptr);
    g_signal_connect(window, "delete-event", G_CALLBACK(closeRequested<Ch>), nullptr);
    g_signal_connect(window, "destroy-event", G_CALLBACK(closeRequested<Ch>), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(destroyed<Ch>), nullptr);
    gtk_widget_show_all(window);
    mainWindow = window;
}

// --help and --version are answered on standard output instead of a conversion; any other
// argument is left alone, as the program takes its options from its settings file.
template <class Ch>
bool answeredCommandLine(int argc, char** argv) {
    const char* program = Program<Ch>::command;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--version") {
            std::printf("%s %s\n", program, GRID_VERSION);
            return true;
        }
        if (argument == "--help" || argument == "-h") {
            std::printf(
                "Usage: %s [--help | --version]\n"
                "Converts the cells copied in a spreadsheet, or copied text, to %s on the clipboard.\n"
                "Copy the cells first, then start %s, for example from a keyboard shortcut.\n"
                "Settings are read from the first of these files:\n"
                "  %s beside the program\n"
                "  $XDG_CONFIG_HOME/%s/%s (~/.config/%s/%s by default)\n"
                "  the package's defaults in ../share/%s/%s from the program's folder\n",
                program, sizeof(Ch) == 2 ? "one HTML table" : "wiki table markup", program,
                Program<Ch>::settingsFileName, program, Program<Ch>::settingsFileName, program,
                Program<Ch>::settingsFileName, program, Program<Ch>::settingsFileName);
            return true;
        }
    }
    return false;
}

}  // namespace

template <class Ch>
int runGtkProgram(int argc, char** argv, const ProgramParts<Ch>& parts) {
    if (answeredCommandLine<Ch>(argc, argv)) return std::fflush(stdout) == 0 ? 0 : 1;
    prepareGtkClipboard();
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "%s: cannot open the display: start it from a desktop session\n",
                     Program<Ch>::command);
        return 1;
    }
    markGtkMainThread();
    static GtkMessageDialogs dialogs;
    static GtkProgressWindow progress;
    setMessageBoxPort(&dialogs);
    setSettingsFilePort(&systemSettingsFile());
    setClipboardPort(&gtkClipboard());
    setProgressWindowPort(&progress);
    setProgramParts(parts);
    setProgramCaption<Ch>(Program<Ch>::linuxCaption);

    serveCalcThroughUno();
    prepareSettings<Ch>();
    createWindow<Ch>();
    setClipboardCancelCheck([] { return cancelRequested<Ch>(); });
    std::thread([] {
        workerMain<Ch>();
        workerDone.store(true);
    }).detach();
    gtk_main();
    endCalcConnection();
    keepClipboardAfterExit();  // markup written while the program waited for the worker
    return 0;
}

template int runGtkProgram<char>(int, char**, const ProgramParts<char>&);
template int runGtkProgram<char16_t>(int, char**, const ProgramParts<char16_t>&);

}  // namespace grid
