#include <libxml/globals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/XmlReader.h"

namespace grid {
namespace {

// Nothing from the network; and by the options left out, no external subset loaded
// (XML_PARSE_DTDLOAD), no entity substituted (XML_PARSE_NOENT), no blank dropped
// (XML_PARSE_NOBLANKS) and the parser's own limits kept (XML_PARSE_HUGE).
constexpr int kOptions = XML_PARSE_NONET;

#if LIBXML_VERSION >= 21200
using ErrorRecord = const xmlError*;
#else
using ErrorRecord = xmlErrorPtr;
#endif

// What libxml2 reports lands here, never on stderr: an error (not a warning) makes the document
// malformed.
void noteError(void* failed, ErrorRecord error) {
    if (error && error->level >= XML_ERR_ERROR) *static_cast<bool*>(failed) = true;
}
void dropMessage(void*, const char*, ...) {}

// The thread's error channels, taken over for one read: whatever the parser reports outside the
// reader's own handler (while the reader is made) is noted too, and nothing is printed.
class ThreadErrors {
public:
    explicit ThreadErrors(bool* failed)
        : structured_(xmlStructuredError), structuredContext_(xmlStructuredErrorContext),
          generic_(xmlGenericError), genericContext_(xmlGenericErrorContext) {
        xmlSetStructuredErrorFunc(failed, noteError);
        xmlSetGenericErrorFunc(nullptr, dropMessage);
    }
    ~ThreadErrors() {
        xmlSetGenericErrorFunc(genericContext_, generic_);
        xmlSetStructuredErrorFunc(structuredContext_, structured_);
    }
    ThreadErrors(const ThreadErrors&) = delete;
    ThreadErrors& operator=(const ThreadErrors&) = delete;

private:
    xmlStructuredErrorFunc structured_;
    void* structuredContext_;
    xmlGenericErrorFunc generic_;
    void* genericContext_;
};

// The reader, freed at the end of its scope, and with it what it built of the document; that is
// freed here too once declaredType has taken it from the reader.
class TextReader {
public:
    explicit TextReader(xmlTextReaderPtr reader) : reader_(reader) {}
    ~TextReader() {
        if (reader_) xmlFreeTextReader(reader_);
        if (document_) xmlFreeDoc(document_);
    }
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    xmlTextReaderPtr get() const { return reader_; }
    // Whether the part of the document read so far declared a document type.
    bool declaredType() {
        if (!document_) document_ = xmlTextReaderCurrentDoc(reader_);
        return document_ && (document_->intSubset || document_->extSubset);
    }

private:
    xmlTextReaderPtr reader_;
    xmlDocPtr document_ = nullptr;
};

const char* text(const xmlChar* string) { return string ? reinterpret_cast<const char*>(string) : ""; }

// One reading: the reader's nodes handed to the handler in document order.
class Walk {
public:
    Walk(xmlTextReaderPtr reader, XmlHandler& handler, const bool& failed)
        : reader_(reader), handler_(handler), failed_(failed) {}

    XmlResult run() {
        int depth = 0;
        bool rootSeen = false;
        for (;;) {
            int status = xmlTextReaderRead(reader_);
            if (status < 0 || failed_) return XmlResult::malformed;
            if (status == 0) break;
            switch (xmlTextReaderNodeType(reader_)) {
            case XML_READER_TYPE_DOCUMENT_TYPE:
                return XmlResult::refused;
            case XML_READER_TYPE_ELEMENT: {
                if (++depth > kXmlMaxDepth) return XmlResult::malformed;
                rootSeen = true;
                bool empty = xmlTextReaderIsEmptyElement(reader_) == 1;
                if (!element()) return XmlResult::malformed;
                if (!handler_.startElement(names_.data(), names_.data() + localOffset_, attributes_.data(),
                                           attributes_.size()))
                    return XmlResult::stopped;
                if (empty) {
                    --depth;
                    if (!handler_.endElement()) return XmlResult::stopped;
                }
                break;
            }
            case XML_READER_TYPE_END_ELEMENT:
                --depth;
                if (!handler_.endElement()) return XmlResult::stopped;
                break;
            case XML_READER_TYPE_TEXT:
            case XML_READER_TYPE_CDATA:
            case XML_READER_TYPE_WHITESPACE:
            case XML_READER_TYPE_SIGNIFICANT_WHITESPACE: {
                if (depth == 0) break;  // white space around the root element
                const char* value = text(xmlTextReaderConstValue(reader_));
                if (!handler_.text(value, std::strlen(value))) return XmlResult::stopped;
                break;
            }
            case XML_READER_TYPE_ENTITY_REFERENCE:  // only an entity a DTD declared stays a reference
                return XmlResult::malformed;
            default:  // comments, processing instructions
                break;
            }
        }
        return rootSeen && depth == 0 ? XmlResult::done : XmlResult::malformed;
    }

private:
    // Copies the element's names and attributes (namespace declarations left out) into names_ and
    // attributes_: the reader's own strings do not all outlive the next call to it.
    bool element() {
        int count = xmlTextReaderAttributeCount(reader_);  // namespace declarations included
        if (count < 0 || size_t(count) > kXmlMaxAttributes) return false;
        names_.clear();
        append(xmlTextReaderConstNamespaceUri(reader_));
        localOffset_ = names_.size();
        append(xmlTextReaderConstLocalName(reader_));
        offsets_.clear();
        for (int status = xmlTextReaderMoveToFirstAttribute(reader_); status == 1;
             status = xmlTextReaderMoveToNextAttribute(reader_)) {
            if (xmlTextReaderIsNamespaceDecl(reader_) == 1) continue;
            offsets_.push_back(names_.size());
            append(xmlTextReaderConstNamespaceUri(reader_));
            offsets_.push_back(names_.size());
            append(xmlTextReaderConstLocalName(reader_));
            offsets_.push_back(names_.size());
            append(xmlTextReaderConstValue(reader_));
        }
        if (count > 0 && xmlTextReaderMoveToElement(reader_) < 0) return false;
        attributes_.clear();
        for (size_t i = 0; i < offsets_.size(); i += 3) {
            const char* value = names_.data() + offsets_[i + 2];
            attributes_.push_back({names_.data() + offsets_[i], names_.data() + offsets_[i + 1], value,
                                   std::strlen(value)});
        }
        return true;
    }
    void append(const xmlChar* string) {
        names_ += text(string);
        names_ += '\0';
    }

    xmlTextReaderPtr reader_;
    XmlHandler& handler_;
    const bool& failed_;
    std::string names_;  // every string of one element, each ended by '\0'
    size_t localOffset_ = 0;
    std::vector<size_t> offsets_;  // three to an attribute: namespace URI, local name, value
    std::vector<XmlAttribute> attributes_;
};

class Libxml2Reader final : public XmlPort {
public:
    XmlResult read(const char* bytes, size_t size, XmlHandler& handler) override {
        if (size > size_t(INT_MAX)) return XmlResult::malformed;
        xmlInitParser();
        bool failed = false;
        ThreadErrors quiet(&failed);
        TextReader reader(xmlReaderForMemory(bytes, int(size), nullptr, nullptr, kOptions));
        if (!reader.get()) return XmlResult::malformed;
        xmlTextReaderSetStructuredErrorHandler(reader.get(), noteError, &failed);
        XmlResult result = Walk(reader.get(), handler, failed).run();
        // The parser reads ahead of the nodes it hands out: an error after a document type
        // declaration may end the reading before its node is seen.
        if (result == XmlResult::malformed && reader.declaredType()) return XmlResult::refused;
        return result;
    }
};

}  // namespace

XmlPort& systemXmlReader() {
    static Libxml2Reader reader;
    return reader;
}

}  // namespace grid
