#pragma once
// Gridquill's templates: a template of the settings is split at the control character into an
// opening and a closing part, each written literally or formatted with one value.
#include <cstddef>
#include <cstdint>

#include "core/Settings.h"
#include "core/Status.h"
#include "core/TextBuffer.h"

namespace grid {

enum TemplatePart : int32_t { kOpeningPart = 0, kClosingPart = 1 };
enum TemplateValue : int32_t { kIntegerValue = 1, kColourValue = 2 };

// Splits the template in place at the first control character (the first byte of `control`,
// looked for at the start of each character only, wiki/WholeCharacters.h) and counts the conversions ("%d", "%c", "%s", "%x") of each part. A template must be parsed once.
void ParseTemplate(MarkupTemplate& markup, const char* control);

// Appends the part as it stands; 101 after message 13.
[[nodiscard]] StatusCode AppendTemplatePart(const MarkupTemplate& markup, TextBuffer<char>& buffer, TemplatePart part);

// Appends the part formatted with the value: a colour as "#rrggbb" for "%s", an integer for "%d",
// "%c" or "%x". The part is the user's, so it is formatted only when its one "%" starts the
// conversion that fits the value; any other part with a conversion is written literally, as a
// part without one is. Nothing for an empty part; 101 after message 13.
// The part as AppendFormattedPart writes it: formatted into `formatted` where it fits the value,
// else the part itself.
inline constexpr size_t kFormattedPartSize = 200;
const char* FormattedPartText(const MarkupTemplate& markup, TemplateValue kind, int32_t value, TemplatePart part,
                              char (&formatted)[kFormattedPartSize]);

[[nodiscard]] StatusCode AppendFormattedPart(const MarkupTemplate& markup, TemplateValue kind, int32_t value,
                               TextBuffer<char>& buffer, TemplatePart part);

}  // namespace grid
