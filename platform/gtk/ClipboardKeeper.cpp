// grid-clipboard-keeper: keeps a text on the clipboard after the program that wrote it has ended,
// where no clipboard manager runs. Reads the text (UTF-8) from standard input, takes the
// clipboard, writes one byte to standard output once it holds it, and serves the text until
// another program takes the clipboard.
#include <gtk/gtk.h>
#include <unistd.h>

#include <string>

namespace {

std::string text;

void serve(GtkClipboard*, GtkSelectionData* data, guint, gpointer) {
    gtk_selection_data_set_text(data, text.data(), gint(text.size()));
}

void taken(GtkClipboard*, gpointer) { gtk_main_quit(); }

}  // namespace

int main(int argc, char** argv) {
    char chunk[65536];
    for (ssize_t n; (n = read(0, chunk, sizeof chunk)) > 0;) text.append(chunk, size_t(n));
    if (!gtk_init_check(&argc, &argv)) return 1;
    GtkTargetList* list = gtk_target_list_new(nullptr, 0);
    gtk_target_list_add_text_targets(list, 0);
    gint count = 0;
    GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    const bool held = gtk_clipboard_set_with_data(clipboard, targets, guint(count), serve, taken, nullptr);
    gtk_target_table_free(targets, count);
    gtk_target_list_unref(list);
    (void)!write(1, "k", 1);
    close(1);
    if (held) gtk_main();
    return 0;
}
