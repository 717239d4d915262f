// The XML port's reader of the build (libxml2's, or XmlLite on Windows), judged by one table: both
// must hand out the same events and come to the same result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/XmlReader.h"

namespace grid::test {
namespace {

// The events as lines: "<{uri}local {uri}name=value>", the text, "</>". Adjacent texts are joined,
// since a reader may hand one out in pieces. The handler stops at event number `stopAt` (0: never).
struct Transcript final : XmlHandler {
    std::vector<std::string> events;
    size_t stopAt = 0;
    bool inText = false;

    static std::string& name(std::string& event, const char* uri, const char* local) {
        if (*uri) event.append("{").append(uri).append("}");
        return event.append(local);
    }
    bool add(std::string event, bool text = false) {
        if (text && inText) events.back() += event;
        else events.push_back(std::move(event));
        inText = text;
        return events.size() != stopAt;
    }
    bool startElement(const char* uri, const char* local, const XmlAttribute* attributes, size_t count) override {
        std::string event = "<";
        name(event, uri, local);
        for (size_t i = 0; i < count; ++i)
            name(event.append(" "), attributes[i].namespaceUri, attributes[i].localName)
                .append("=")
                .append(attributes[i].value, attributes[i].valueLength);
        return add(event.append(">"));
    }
    bool endElement() override { return add("</>"); }
    bool text(const char* utf8, size_t length) override { return add(std::string(utf8, length), true); }
};

const char* nameOf(XmlResult result) {
    const char* names[] = {"done", "stopped", "malformed", "refused"};
    return names[int(result)];
}

std::string nested(int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) open += "<e>", close += "</e>";
    return open + close;
}

std::string withAttributes(size_t count) {
    std::string document = "<a";
    for (size_t i = 0; i < count; ++i) document += " a" + std::to_string(i) + "=''";
    return document + "/>";
}

const std::string kLaughs = "<!DOCTYPE a [<!ENTITY l0 'ha'><!ENTITY l1 '&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;'>"
                            "<!ENTITY l2 '&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;'><!ENTITY l3 '&l2;&l2;&l2;&l2;&l2;&l2;'>]>"
                            "<a>&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;</a>";

// Three-byte characters enough for several of a reader's pieces, one of which must end inside one.
const std::string kJapanese = [] {
    std::string text;
    for (int i = 0; i < 9000; ++i) text += "\xE3\x81\x82";
    return text;
}();

struct Row {
    const char* what;
    std::string document;
    XmlResult result;
    std::vector<std::string> events = {};  // left out: not compared
    size_t stopAt = 0;
};

TEST(XmlReader, ReadsDocumentsAndRejectsHostileOnes) {
    const Row rows[] = {
        {"prefixes name URIs", "<p:a xmlns:p='urn:x' xmlns:q='urn:x'><q:b q:c='1' d='2'/></p:a>", XmlResult::done,
         {"<{urn:x}a>", "<{urn:x}b {urn:x}c=1 d=2>", "</>", "</>"}},
        {"default namespace", "<a xmlns='urn:d'><b c='1'></b></a>", XmlResult::done,
         {"<{urn:d}a>", "<{urn:d}b c=1>", "</>", "</>"}},
        {"references", "<a t='&amp;&lt;&#x3042;&#65;'>x &amp; y&#x3042;&gt;</a>", XmlResult::done,
         {"<a t=&<\xE3\x81\x82" "A>", "x & y\xE3\x81\x82>", "</>"}},
        {"CDATA", "<a>1<![CDATA[<b>&amp;]]>2</a>", XmlResult::done, {"<a>", "1<b>&amp;2", "</>"}},
        {"BOM, multibyte text", "\xEF\xBB\xBF<a>\xE6\x97\xA5\xE6\x9C\xAC \xC3\xBC</a>", XmlResult::done,
         {"<a>", "\xE6\x97\xA5\xE6\x9C\xAC \xC3\xBC", "</>"}},
        {"characters across the reader's pieces", "<a>x" + kJapanese + "</a>", XmlResult::done,
         {"<a>", "x" + kJapanese, "</>"}},
        {"declaration, white space", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>\n <b/><!-- c -->\n</a>\n",
         XmlResult::done, {"<a>", "\n ", "<b>", "</>", "\n", "</>"}},
        {"billion laughs", kLaughs, XmlResult::refused},
        {"external entity", "<!DOCTYPE a [<!ENTITY x SYSTEM 'file:///etc/passwd'>]><a>&x;</a>", XmlResult::refused},
        {"undefined entity", "<a>&x;</a>", XmlResult::malformed},
        {"undeclared prefix", "<p:a/>", XmlResult::malformed},
        {"truncated", "<a><b>text</b>", XmlResult::malformed},
        {"no element", " ", XmlResult::malformed},
        {"mismatched tags", "<a><b></a></b>", XmlResult::malformed},
        {"deepest nesting", nested(kXmlMaxDepth), XmlResult::done},
        {"nesting too deep", nested(kXmlMaxDepth + 1), XmlResult::malformed},
        {"nesting 300 deep", nested(300), XmlResult::malformed},
        {"most attributes", withAttributes(kXmlMaxAttributes), XmlResult::done},
        {"too many attributes", withAttributes(kXmlMaxAttributes + 1), XmlResult::malformed},
        {"600 attributes", withAttributes(600), XmlResult::malformed},
        {"handler stops", "<a><b/>x</a>", XmlResult::stopped, {"<a>", "<b>"}, 2},
    };
    for (const Row& row : rows) {
        Transcript transcript;
        transcript.stopAt = row.stopAt;
        XmlResult result = systemXmlReader().read(row.document.data(), row.document.size(), transcript);
        EXPECT_STREQ(nameOf(result), nameOf(row.result)) << row.what;
        if (!row.events.empty()) {
            EXPECT_EQ(transcript.events, row.events) << row.what;
        }
    }
}

TEST(XmlReader, PortDefaultsToTheSystemReader) {
    struct Refusing final : XmlPort {
        XmlResult read(const char*, size_t, XmlHandler&) override { return XmlResult::refused; }
    } refusing;
    Transcript unused;
    setXmlPort(&refusing);
    EXPECT_EQ(xmlPort().read("<a/>", 4, unused), XmlResult::refused);
    setXmlPort(nullptr);
    EXPECT_EQ(&xmlPort(), &systemXmlReader());
}

}  // namespace
}  // namespace grid::test
