#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

#include "platform/CodePage.h"
#include "platform/portable/ProfileReader.h"
#include "platform/SettingsFile.h"

namespace grid {
namespace {

// A settings file larger than this is not read at all: its keys take their defaults.
constexpr off_t kLargestSettingsFile = 16 << 20;

// The text as the runtime's wide characters (UTF-32 here), handed to `convert` a piece at a time,
// so that a long text needs no copy of four bytes a character: the piece and its count of
// characters, the last piece's NUL counted. `convert` returns false to stop. False, before any
// piece, for a lone surrogate, which has no form in any code page.
template <class Convert>
bool inWidePieces(const char16_t* text, Convert convert) {
    auto isHigh = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    auto isLow = [](char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    for (const char16_t* p = text; *p != 0; ++p) {
        if (isHigh(*p) && isLow(p[1]))
            ++p;
        else if (isHigh(*p) || isLow(*p))
            return false;
    }
    constexpr size_t kPiece = 4096;
    wchar_t piece[kPiece + 1];
    size_t n = 0;
    for (const char16_t* p = text; *p != 0; ++p) {
        char32_t c = *p;
        if (isHigh(*p)) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        }
        piece[n++] = static_cast<wchar_t>(c);
        if (n == kPiece) {
            if (!convert(static_cast<const wchar_t*>(piece), n)) return true;
            n = 0;
        }
    }
    piece[n] = 0;
    convert(static_cast<const wchar_t*>(piece), n + 1);
    return true;
}

// The files of both programs hold UTF-8 when they have no byte-order mark, the text of Linux.
class PosixSettingsFile final : public SettingsFilePort {
public:
    size_t moduleFileName(char16_t* buffer, size_t size) override {
        std::string path = programPath();
        return copyCut(utf8ToUtf16(path.data(), path.size()), buffer, size);
    }
    size_t moduleFileName(char* buffer, size_t size) override { return copyCut(programPath(), buffer, size); }
    FoundEntry find(const char16_t* path) override { return find(utf16ToUtf8(path).c_str()); }
    FoundEntry find(const char* path) override {
        struct stat info;
        if (stat(path, &info) != 0) return FoundEntry::nothing;
        return S_ISDIR(info.st_mode) ? FoundEntry::directory : FoundEntry::file;
    }
    size_t profileString(const char16_t* section, const char16_t* key, const char16_t* defaultValue, char16_t* buffer,
                         size_t size, const char16_t* path) override {
        return grid::profileString(load(utf16ToUtf8(path)), section, key, defaultValue, buffer, size);
    }
    size_t profileString(const char* section, const char* key, const char* defaultValue, char* buffer, size_t size,
                         const char* path) override {
        return grid::profileString(load(path), section, key, defaultValue, buffer, size, systemCodePage());
    }
    uint32_t profileInt(const char16_t* section, const char16_t* key, int32_t defaultValue,
                        const char16_t* path) override {
        return grid::profileInt(load(utf16ToUtf8(path)), section, key, defaultValue);
    }
    uint32_t profileInt(const char* section, const char* key, int32_t defaultValue, const char* path) override {
        return grid::profileInt(load(path), section, key, defaultValue, systemCodePage());
    }
    void setCharacterTypeLocale(const char16_t* name) override { setlocale(LC_CTYPE, utf16ToUtf8(name).c_str()); }
    void setCharacterTypeLocale(const char* name) override { setlocale(LC_CTYPE, name); }
    // wcstombs over the whole text, piece by piece.
    size_t multibyteLength(const char16_t* text) override {
        size_t total = 0;
        std::mbstate_t state{};
        const bool valid = inWidePieces(text, [&](const wchar_t* piece, size_t count) {
            const size_t n = wcsnrtombs(nullptr, &piece, count, 0, &state);
            total = n == size_t(-1) ? SIZE_MAX : total + n;
            return total != SIZE_MAX;
        });
        return valid ? total : SIZE_MAX;
    }
    size_t toMultibyte(const char16_t* text, char* out, size_t size) override {
        size_t written = 0;
        std::mbstate_t state{};
        const bool valid = inWidePieces(text, [&](const wchar_t* piece, size_t count) {
            const wchar_t* end = piece + count;
            const size_t n = wcsnrtombs(out + written, &piece, count, size - written, &state);
            if (n == size_t(-1)) {
                written = SIZE_MAX;
                return false;
            }
            written += n;
            return piece == nullptr || piece == end;  // the piece went whole; else the room ran out
        });
        return valid ? written : SIZE_MAX;
    }
    // glibc has no isleadbyte: a byte that mbrtowc finds incomplete leads a character, and only a
    // double-byte code page (MB_CUR_MAX 2) counts, so that UTF-8 text keeps every byte a start.
    bool isLeadByte(char byte) override {
        if (MB_CUR_MAX != 2) return false;
        std::mbstate_t state{};
        wchar_t character = 0;
        return std::mbrtowc(&character, &byte, 1, &state) == size_t(-2);
    }
    char pathSeparator() const override { return '/'; }
    bool userSettingsFolder(char16_t* buffer, size_t size) override {
        std::string folder;
        return userFolder(folder) && copyFolder(folder, buffer, size);
    }
    bool userSettingsFolder(char* buffer, size_t size) override {
        std::string folder;
        return userFolder(folder) && copyFolder(folder, buffer, size);
    }
    bool packageSettingsFolder(char16_t* buffer, size_t size) override {
        std::string folder;
        return packageFolder(folder) && copyFolder(folder, buffer, size);
    }
    bool packageSettingsFolder(char* buffer, size_t size) override {
        std::string folder;
        return packageFolder(folder) && copyFolder(folder, buffer, size);
    }

private:
    // The folder into the buffer, whole with its NUL, or false.
    static bool copyFolder(const std::string& folder, char16_t* buffer, size_t size) {
        std::u16string wide = utf8ToUtf16(folder.data(), folder.size());
        return wide.size() < size && copyCut(wide, buffer, size) == wide.size();
    }
    static bool copyFolder(const std::string& folder, char* buffer, size_t size) {
        return folder.size() < size && copyCut(folder, buffer, size) == folder.size();
    }

    // The share folder beside the program's folder: /usr/share for /usr/bin/gridweave, so that a
    // package installed under any prefix, or unpacked anywhere, finds its own defaults.
    static bool packageFolder(std::string& folder) {
        std::string path = programPath();
        for (int level = 0; level < 2; ++level) {
            const size_t cut = path.rfind('/');
            if (cut == std::string::npos || cut == 0) return false;
            path.resize(cut);
        }
        folder = path + "/share";
        return true;
    }

    static std::string programPath() {
        std::string path(4096, '\0');
        ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
        path.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return path;
    }

    // $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
    static bool userFolder(std::string& folder) {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        if (config && config[0] == '/') {
            folder = config;
            return true;
        }
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd* user = getpwuid(getuid());
            home = user ? user->pw_dir : nullptr;
        }
        if (!home || home[0] != '/') return false;
        folder = std::string(home) + "/.config";
        return true;
    }

    // The parsed file at path, or nullptr when it cannot be read; the last file read is kept as
    // long as it is unchanged, since every key is asked for separately.
    const ProfileFile* load(const std::string& path) {
        try {
            // Without O_NONBLOCK a pipe of that name would wait for a writer forever.
            int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            if (fd < 0) return nullptr;
            const ProfileFile* file = loadOpen(fd, path);
            close(fd);
            return file;
        } catch (const std::bad_alloc&) {
            cached_.reset();
            return nullptr;
        }
    }

    const ProfileFile* loadOpen(int fd, const std::string& path) {
        struct stat info;
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kLargestSettingsFile) return nullptr;
        if (cached_ && cachedPath_ == path && cachedDevice_ == info.st_dev && cachedInode_ == info.st_ino &&
            cachedSize_ == info.st_size && cachedChange_.tv_sec == info.st_mtim.tv_sec &&
            cachedChange_.tv_nsec == info.st_mtim.tv_nsec)
            return cached_.get();
        cached_.reset();
        std::string bytes(static_cast<size_t>(info.st_size), '\0');
        size_t got = 0;
        while (got < bytes.size()) {
            ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0) return nullptr;
            if (n == 0) break;
            got += static_cast<size_t>(n);
        }
        bytes.resize(got);
        cached_ = std::make_unique<ProfileFile>(bytes.data(), bytes.size(), systemCodePage());
        cachedPath_ = path;
        cachedDevice_ = info.st_dev;
        cachedInode_ = info.st_ino;
        cachedSize_ = info.st_size;
        cachedChange_ = info.st_mtim;
        return cached_.get();
    }

    std::unique_ptr<ProfileFile> cached_;
    std::string cachedPath_;
    dev_t cachedDevice_ = 0;
    ino_t cachedInode_ = 0;
    off_t cachedSize_ = 0;
    timespec cachedChange_ = {};
};

}  // namespace

SettingsFilePort& systemSettingsFile() {
    static PosixSettingsFile port;
    return port;
}

}  // namespace grid
