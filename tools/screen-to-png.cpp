// screen-to-png FILE: saves what the X display shows as a PNG file, cropped to what is drawn on
// the black root window. For the README's pictures.
#include <gtk/gtk.h>

#include <algorithm>

int main(int argc, char** argv) {
    if (argc != 2 || !gtk_init_check(&argc, &argv)) return 2;
    GdkWindow* root = gdk_get_default_root_window();
    const int width = gdk_window_get_width(root), height = gdk_window_get_height(root);
    GdkPixbuf* screen = gdk_pixbuf_get_from_window(root, 0, 0, width, height);
    if (!screen) return 1;
    const int stride = gdk_pixbuf_get_rowstride(screen), channels = gdk_pixbuf_get_n_channels(screen);
    const guchar* pixels = gdk_pixbuf_get_pixels(screen);
    int left = width, top = height, right = -1, bottom = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const guchar* p = pixels + y * stride + x * channels;
            if (p[0] || p[1] || p[2]) left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
                                      bottom = std::max(bottom, y);
        }
    if (right < 0) left = top = 0, right = width - 1, bottom = height - 1;
    left = std::max(0, left - 8), top = std::max(0, top - 8);
    right = std::min(width - 1, right + 8), bottom = std::min(height - 1, bottom + 8);
    GdkPixbuf* cropped = gdk_pixbuf_new_subpixbuf(screen, left, top, right - left + 1, bottom - top + 1);
    const bool saved = gdk_pixbuf_save(cropped, argv[1], "png", nullptr, nullptr);
    g_object_unref(cropped);
    g_object_unref(screen);
    return saved ? 0 : 1;
}
