#include "platform/gtk/MessageBox_gtk.h"

#include <gtk/gtk.h>

#include "platform/gtk/MainThread_gtk.h"

namespace grid {

int32_t GtkMessageDialogs::show(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
    int32_t answer = 0;
    runOnGtkMainThread([&] {
        const bool question = (style & 0xF) == kBoxOkCancel;
        const GtkMessageType type = (style & 0xF0) == kBoxIconHand       ? GTK_MESSAGE_ERROR
                                    : (style & 0xF0) == kBoxIconQuestion ? GTK_MESSAGE_QUESTION
                                                                         : GTK_MESSAGE_INFO;
        GtkWidget* dialog = gtk_message_dialog_new(owner ? GTK_WINDOW(owner) : nullptr, GTK_DIALOG_MODAL, type,
                                                   question ? GTK_BUTTONS_OK_CANCEL : GTK_BUTTONS_OK, "%s", text);
        gtk_window_set_title(GTK_WINDOW(dialog), caption);
        gtk_window_set_role(GTK_WINDOW(dialog), "message");
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
        const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
        gtk_widget_destroy(dialog);
        answer = response == GTK_RESPONSE_OK ? kAnswerOk : question ? kAnswerCancel : kAnswerOk;
    });
    return answer;
}

}  // namespace grid
