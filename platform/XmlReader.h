#pragma once
// The XML port: a pull reader over a document in memory, driven to the end or until the handler
// stops it. The backends are real readers (libxml2's text reader; XmlLite on Windows); both refuse
// a document type declaration, so no entity is ever defined or loaded. Names and texts are UTF-8;
// elements and attributes are known by their namespace URI and local name, never by prefix.
#include <cstddef>

namespace grid {

struct XmlAttribute {
    const char* namespaceUri;  // "" for none
    const char* localName;
    const char* value;
    size_t valueLength;
};

class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    // Each returns false to stop the reading (the result is then `stopped`). An empty element
    // gives its start and its end.
    virtual bool startElement(const char* namespaceUri, const char* localName, const XmlAttribute* attributes,
                              size_t count) = 0;
    virtual bool endElement() = 0;
    // Character data, white space included, CDATA as text; references already replaced.
    virtual bool text(const char* utf8, size_t length) = 0;
};

enum class XmlResult { done, stopped, malformed, refused };

// Bounds every backend keeps: deeper nesting or more attributes on one element makes the
// document malformed.
inline constexpr int kXmlMaxDepth = 256;
inline constexpr size_t kXmlMaxAttributes = 512;

struct XmlPort {
    virtual ~XmlPort() = default;
    // `refused` for a document type declaration; `malformed` for anything not well-formed or
    // beyond the bounds.
    virtual XmlResult read(const char* bytes, size_t size, XmlHandler& handler) = 0;
};

// The port in use; the default is the platform's reader.
XmlPort& xmlPort();
void setXmlPort(XmlPort* port);
XmlPort& systemXmlReader();  // defined by the build's backend

}  // namespace grid
