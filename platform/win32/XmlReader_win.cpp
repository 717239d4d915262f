#include <windows.h>
#include <objidl.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "platform/XmlReader.h"

namespace grid {
namespace {

// A COM pointer, released once at the end of its scope.
template <class Interface>
class ComPointer {
public:
    ComPointer() = default;
    explicit ComPointer(Interface* pointer) : pointer_(pointer) {}
    ~ComPointer() {
        if (pointer_) pointer_->Release();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    // For a call that hands out a new reference.
    void** out() { return reinterpret_cast<void**>(&pointer_); }

private:
    Interface* pointer_ = nullptr;
};

// MinGW-w64 has no import library for XmlLite: the function comes from the system's xmllite.dll,
// loaded by its full path on first use and kept for the life of the process.
using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

CreateXmlReaderFunction createXmlReader() {
    static const CreateXmlReaderFunction function = []() -> CreateXmlReaderFunction {
        wchar_t path[MAX_PATH];
        UINT length = GetSystemDirectoryW(path, MAX_PATH);
        const wchar_t name[] = L"\\xmllite.dll";
        if (length == 0 || length + sizeof name / sizeof *name > MAX_PATH) return nullptr;
        for (size_t i = 0; i < sizeof name / sizeof *name; ++i) path[length + i] = name[i];
        HMODULE library = LoadLibraryW(path);
        if (!library) return nullptr;
        // Through void(*)(), which the compiler accepts between unrelated function types.
        return reinterpret_cast<CreateXmlReaderFunction>(
            reinterpret_cast<void (*)()>(GetProcAddress(library, "CreateXmlReader")));
    }();
    return function;
}

// Whether the text of `length` units is `expected`.
bool same(const WCHAR* text, UINT length, const wchar_t* expected) {
    for (UINT i = 0; i < length; ++i)
        if (expected[i] != text[i]) return false;  // a shorter `expected` differs at its '\0'
    return expected[length] == L'\0';
}

// Appends the UTF-16 text as UTF-8 and a '\0'; false for text that is no UTF-16.
bool appendUtf8(std::string& out, const WCHAR* text, UINT length) {
    if (length > 0) {
        if (length > UINT(INT_MAX)) return false;
        int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, int(length), nullptr, 0, nullptr, nullptr);
        if (bytes <= 0) return false;
        size_t at = out.size();
        out.resize(at + size_t(bytes));
        if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, int(length), &out[at], bytes, nullptr, nullptr) !=
            bytes)
            return false;
    }
    out += '\0';
    return true;
}

// The code units of a document in memory, in the encoding form its first bytes show: UTF-16 of
// either byte order, or bytes (UTF-8 and the other encodings that keep ASCII as it is). 0 past
// the end.
class Units {
public:
    Units(const char* bytes, size_t size) : bytes_(reinterpret_cast<const unsigned char*>(bytes)), count_(size) {
        auto starts = [&](unsigned char first, unsigned char second) {
            return size >= 2 && bytes_[0] == first && bytes_[1] == second;
        };
        bigEndian_ = starts(0xFE, 0xFF) || starts(0x00, '<');
        if (bigEndian_ || starts(0xFF, 0xFE) || starts('<', 0x00)) width_ = 2, count_ = size / 2;
    }

    size_t count() const { return count_; }
    char32_t operator[](size_t i) const {
        if (i >= count_) return 0;
        if (width_ == 1) return bytes_[i];
        const unsigned char* unit = bytes_ + 2 * i;
        return bigEndian_ ? char32_t(unit[0] << 8 | unit[1]) : char32_t(unit[1] << 8 | unit[0]);
    }
    bool at(size_t i, const char* ascii) const {
        for (; *ascii; ++ascii, ++i)
            if ((*this)[i] != char32_t(*ascii)) return false;
        return true;
    }
    size_t find(size_t i, const char* ascii) const {
        while (i < count_ && !at(i, ascii)) ++i;
        return i;
    }

private:
    const unsigned char* bytes_;
    size_t count_;
    int width_ = 1;
    bool bigEndian_ = false;
};

// Whether the reference after the '&' at `i` is a character reference to an XML character or one
// of the five predefined entities.
bool resolves(const Units& units, size_t i) {
    if (units[i] != '#') {
        for (const char* name : {"amp;", "lt;", "gt;", "apos;", "quot;"})
            if (units.at(i, name)) return true;
        return false;
    }
    bool hex = units[++i] == 'x';
    if (hex) ++i;
    char32_t value = 0;
    size_t digits = 0;
    for (;; ++i, ++digits) {
        char32_t unit = units[i] | 0x20;  // lower case for the letters
        if (unit >= '0' && unit <= '9') {
            value = value * (hex ? 16 : 10) + (unit - '0');
        } else if (hex && unit >= 'a' && unit <= 'f') {
            value = value * 16 + (unit - 'a' + 10);
        } else {
            break;
        }
        if (value > 0x10FFFF) return false;
    }
    return digits > 0 && units[i] == ';' &&
           (value == 0x9 || value == 0xA || value == 0xD || (value >= 0x20 && value <= 0xD7FF) ||
            (value >= 0xE000 && value <= 0xFFFD) || value >= 0x10000);
}

// Whether every '&' of a document without a document type, outside comments, CDATA sections and
// processing instructions, starts a reference that resolves. XmlLite rejects any other; Wine's
// reader leaves it in the text.
bool referencesResolve(const char* bytes, size_t size) {
    Units units(bytes, size);
    for (size_t i = 0; i < units.count(); ++i) {
        if (units.at(i, "<!--")) {
            i = units.find(i + 4, "-->");
        } else if (units.at(i, "<![CDATA[")) {
            i = units.find(i + 9, "]]>");
        } else if (units.at(i, "<?")) {
            i = units.find(i + 2, "?>");
        } else if (units[i] == '&' && !resolves(units, i + 1)) {
            return false;
        }
    }
    return true;
}

// One reading: the reader's nodes handed to the handler in document order. Besides XmlLite's own
// checks it keeps a few that Wine's reader lacks, so that the result is the same on both.
class Walk {
public:
    Walk(IXmlReader* reader, XmlHandler& handler, const char* bytes, size_t size)
        : reader_(reader), handler_(handler), bytes_(bytes), size_(size) {}

    XmlResult run() {
        bool rootSeen = false;
        size_t nodes = 0;
        XmlNodeType type;
        HRESULT status;
        while ((status = reader_->Read(&type)) == S_OK) {
            // Every node takes up at least one byte: more nodes than bytes is a reader repeating
            // itself, as Wine's does where a document stops inside an element.
            if (++nodes > size_) return XmlResult::malformed;
            switch (type) {
            case XmlNodeType_DocumentType:
                return XmlResult::refused;
            case XmlNodeType_Element: {
                if (starts_.size() + 1 > size_t(kXmlMaxDepth)) return XmlResult::malformed;
                rootSeen = true;
                bool empty = reader_->IsEmptyElement() != FALSE;
                if (!empty) starts_.push_back(position());
                if (!element()) return XmlResult::malformed;
                if (!handler_.startElement(names_.data(), names_.data() + localOffset_, attributes_.data(),
                                           attributes_.size()))
                    return XmlResult::stopped;
                if (empty && !handler_.endElement()) return XmlResult::stopped;
                break;
            }
            case XmlNodeType_EndElement: {
                // An end element reported at its start tag's place has no end tag of its own: Wine's
                // reader makes these up for the elements still open where a document stops after an
                // end tag.
                Position here = position();
                if (starts_.empty() || (here.line != 0 && here == starts_.back())) return XmlResult::malformed;
                starts_.pop_back();
                if (!handler_.endElement()) return XmlResult::stopped;
                break;
            }
            case XmlNodeType_Text:
            case XmlNodeType_CDATA:
            case XmlNodeType_Whitespace: {
                if (starts_.empty()) break;  // white space around the root element
                const WCHAR* value;
                UINT length;
                if (FAILED(reader_->GetValue(&value, &length))) return XmlResult::malformed;
                if (length == 0) break;
                text_.clear();
                if (!appendUtf8(text_, value, length)) return XmlResult::malformed;
                if (!handler_.text(text_.data(), text_.size() - 1)) return XmlResult::stopped;
                break;
            }
            default:  // the declaration, comments, processing instructions
                break;
            }
        }
        if (status == HRESULT(WC_E_DTDPROHIBITED)) return XmlResult::refused;
        if (status != S_FALSE || !rootSeen || !starts_.empty() || !referencesResolve(bytes_, size_))
            return XmlResult::malformed;
        return XmlResult::done;
    }

private:
    struct Position {
        UINT line, column;
        bool operator==(const Position&) const = default;
    };
    // Where the reader is; line 0 where it cannot tell.
    Position position() const {
        Position here{0, 0};
        if (reader_->GetLineNumber(&here.line) != S_OK || reader_->GetLinePosition(&here.column) != S_OK)
            return {0, 0};
        return here;
    }

    // Copies the element's names and attributes (namespace declarations left out), as UTF-8, into
    // names_ and attributes_.
    bool element() {
        UINT count;
        if (FAILED(reader_->GetAttributeCount(&count)) || count > kXmlMaxAttributes)  // declarations included
            return false;
        names_.clear();
        if (!name(localOffset_)) return false;
        offsets_.clear();
        for (HRESULT status = reader_->MoveToFirstAttribute(); status != S_FALSE;
             status = reader_->MoveToNextAttribute()) {
            if (status != S_OK) return false;
            const WCHAR* prefix;
            const WCHAR* local;
            const WCHAR* value;
            UINT prefixLength, localLength, valueLength;
            if (FAILED(reader_->GetPrefix(&prefix, &prefixLength)) ||
                FAILED(reader_->GetLocalName(&local, &localLength)))
                return false;
            if (same(prefix, prefixLength, L"xmlns") || (prefixLength == 0 && same(local, localLength, L"xmlns")))
                continue;
            size_t uri = names_.size(), localName;
            if (!name(localName) || FAILED(reader_->GetValue(&value, &valueLength))) return false;
            size_t valueAt = names_.size();
            if (!appendUtf8(names_, value, valueLength)) return false;
            offsets_.insert(offsets_.end(), {uri, localName, valueAt, names_.size() - 1});
        }
        if (count > 0 && FAILED(reader_->MoveToElement())) return false;
        attributes_.clear();
        for (size_t i = 0; i < offsets_.size(); i += 4)
            attributes_.push_back({names_.data() + offsets_[i], names_.data() + offsets_[i + 1],
                                   names_.data() + offsets_[i + 2], offsets_[i + 3] - offsets_[i + 2]});
        return true;
    }
    // Appends the namespace URI and the local name of the current node; `localName` is where the
    // latter begins. False for a prefix bound to no URI (XmlLite rejects it; Wine's reader does not).
    bool name(size_t& localName) {
        const WCHAR* uri;
        const WCHAR* local;
        const WCHAR* qualified;
        UINT uriLength, localLength, qualifiedLength;
        if (FAILED(reader_->GetNamespaceUri(&uri, &uriLength)) || FAILED(reader_->GetLocalName(&local, &localLength)) ||
            FAILED(reader_->GetQualifiedName(&qualified, &qualifiedLength)))
            return false;
        if (qualifiedLength != localLength && uriLength == 0) return false;
        if (!appendUtf8(names_, uri, uriLength)) return false;
        localName = names_.size();
        return appendUtf8(names_, local, localLength);
    }

    IXmlReader* reader_;
    XmlHandler& handler_;
    const char* bytes_;
    size_t size_;
    std::vector<Position> starts_;  // of the open elements
    std::string names_;             // every string of one element, each ended by '\0'
    size_t localOffset_ = 0;
    std::vector<size_t> offsets_;  // four to an attribute: namespace URI, local name, value, its end
    std::vector<XmlAttribute> attributes_;
    std::string text_;
};

// Whether the document is in UTF-8: a UTF-8 byte order mark, or none and a declaration that names
// UTF-8 or no encoding, or no declaration.
bool inUtf8(const char* bytes, size_t size) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) return true;
    if (size >= 2 && (data[0] == 0 || data[1] == 0 || data[0] >= 0xFE)) return false;
    const std::string head(bytes, size < 200 ? size : 200);
    if (head.rfind("<?xml", 0) != 0) return true;
    const std::string declaration = head.substr(0, head.find("?>"));
    const size_t encoding = declaration.find("encoding");
    if (encoding == std::string::npos) return true;
    const size_t quote = declaration.find_first_of("'\"", encoding);
    const size_t end = quote == std::string::npos ? quote : declaration.find(declaration[quote], quote + 1);
    if (end == std::string::npos) return false;
    std::string name = declaration.substr(quote + 1, end - quote - 1);
    for (char& c : name) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return name == "utf-8" || name == "utf8";
}

// A UTF-8 document with every character beyond ASCII in its texts and attribute values written as a
// character reference, which means the same. Wine's XmlLite loses characters of UTF-8 where one of
// its reads of the input ends inside a run of them. Names, comments, CDATA sections and processing
// instructions are left as they are (a reference would change what they say).
std::string withReferences(const char* bytes, size_t size) {
    std::string out;
    out.reserve(size + size / 2);
    enum class Place { text, tag, value, kept } place = Place::text;
    char quote = 0;
    const char* keptEnd = "";
    size_t i = 0;
    if (size >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) out.append(bytes, 3), i = 3;  // the byte order mark
    while (i < size) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (place == Place::kept) {
            const size_t n = std::strlen(keptEnd);
            if (size - i >= n && std::memcmp(bytes + i, keptEnd, n) == 0) {
                out.append(bytes + i, n);
                i += n;
                place = Place::text;
            } else {
                out += char(c), ++i;
            }
            continue;
        }
        if (c >= 0x80 && place != Place::tag) {
            // A whole character of UTF-8 as a reference; a byte that starts none stays as it is.
            const size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
            char32_t code = extra ? char32_t(c & (0x3F >> extra)) : 0;
            bool whole = extra > 0 && i + extra < size;
            for (size_t k = 1; whole && k <= extra; ++k) {
                const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
                whole = (next & 0xC0) == 0x80;
                code = code << 6 | (next & 0x3F);
            }
            if (whole) {
                char reference[16];
                std::snprintf(reference, sizeof reference, "&#x%X;", unsigned(code));
                out += reference;
                i += extra + 1;
            } else {
                out += char(c), ++i;
            }
            continue;
        }
        out += char(c), ++i;
        if (place == Place::text && c == '<') {
            place = Place::tag;
            for (const auto& [open, close] : {std::pair{"!--", "-->"}, std::pair{"![CDATA[", "]]>"}, std::pair{"?", "?>"},
                                              std::pair{"!DOCTYPE", ">"}}) {
                const size_t n = std::strlen(open);
                if (size - i >= n && std::memcmp(bytes + i, open, n) == 0) {
                    place = Place::kept, keptEnd = close;
                    break;
                }
            }
        } else if (place == Place::tag && (c == '"' || c == '\'')) {
            place = Place::value, quote = char(c);
        } else if (place == Place::value && c == static_cast<unsigned char>(quote)) {
            place = Place::tag;
        } else if (place == Place::tag && c == '>') {
            place = Place::text;
        }
    }
    return out;
}

class XmlLiteReader final : public XmlPort {
public:
    XmlResult read(const char* bytes, size_t size, XmlHandler& handler) override {
        CreateXmlReaderFunction create = createXmlReader();
        if (!create || size > UINT_MAX) return XmlResult::malformed;
        const bool utf8 = inUtf8(bytes, size);
        const std::string referenced = utf8 ? withReferences(bytes, size) : std::string();
        const BYTE* input = reinterpret_cast<const BYTE*>(utf8 ? referenced.data() : bytes);
        const size_t inputSize = utf8 ? referenced.size() : size;
        if (inputSize > UINT_MAX) return XmlResult::malformed;
        ComPointer<IStream> stream(SHCreateMemStream(input, UINT(inputSize)));
        ComPointer<IXmlReader> reader;
        if (!stream.get() || FAILED(create(__uuidof(IXmlReader), reader.out(), nullptr)) ||
            FAILED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
            // One level more than kXmlMaxDepth: the walk's own count decides, the reader's only backs it.
            FAILED(reader->SetProperty(XmlReaderProperty_MaxElementDepth, kXmlMaxDepth + 1)) ||
            FAILED(reader->SetInput(stream.get())))
            return XmlResult::malformed;
        return Walk(reader.get(), handler, bytes, size).run();
    }
};

}  // namespace

XmlPort& systemXmlReader() {
    static XmlLiteReader reader;
    return reader;
}

}  // namespace grid
