// The capture against real LibreOffice Calc, beside the bare cost of the UNO requests it makes.
// Needs an office that accepts on the programs' pipe (scripts/bench-calc starts one on a private
// display and profile). For ranges of 10 x 10, 50 x 20 and 200 x 20 cells (and 1,000 x 20 for
// the two captures):
//   Capture        RunCalcCapture through the automation objects, as the programs run it
//   FastCapture    the same with fast_capture_yn=ON: the cells read in the office at once
//   DirectCapture  the grid filled from the copy's package and link as the clipboard holds them
//                  (direct_capture_yn=ON; no office involved), with the peak of the memory it
//                  took beside the package's size inflated
//   DirectConversion  one whole conversion run that way, the clipboard's bytes in a stand-in
//   HtmlCapture    the grid filled from Excel's HTML of a range of the same size, made here in
//                  Excel's form with Windows' header (no office involved), with the peak of the
//                  memory it took beside the HTML's size
//   Conversion     one whole conversion run: clipboard probe, capture, HTML, clipboard
//   Invocation     the same Invocation requests the capture makes, made straight from here: the
//                  least this design can cost (the capture's own overhead is its time beyond this)
//   TypedCalls     the same reads through Calc's typed interfaces, without Invocation, for scale
#include <benchmark/benchmark.h>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XDispatchHelper.hpp>
#include <com/sun/star/frame/XDispatchProvider.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/lang/XSingleServiceFactory.hpp>
#include <com/sun/star/script/XInvocation2.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRange.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/BorderLine.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/table/XTableRows.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>
#include <com/sun/star/util/XMergeable.hpp>
#include <com/sun/star/uno/Sequence.hxx>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "capture/AutoWrap.h"
#include "capture/CalcCapture.h"
#include "capture/DirectCapture.h"
#include "capture/ZipArchive.h"
#include "core/CellGrid.h"
#include "core/ConversionRun.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "html/HtmlProgram.h"
#include "platform/Clipboard.h"
#include "platform/fake/FakeClipboard.h"
#include "platform/fake/FakeMessageBox.h"
#include "platform/uno/CalcConnection_uno.h"
#include "platform/uno/UnoObject.h"
#include "tests/calc/DisplayClipboard.h"

namespace {

namespace css = com::sun::star;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

struct Size {
    int columns, rows;
};
const Size kSizes[] = {{10, 10}, {20, 50}, {20, 200}, {20, 1000}};
constexpr int kSheetRows = 1000;

Reference<css::uno::XComponentContext> office;
Reference<css::lang::XMultiServiceFactory> manager;
Reference<css::frame::XComponentLoader> desktop;
Reference<css::sheet::XSpreadsheetDocument> workbook;
int copiedSize = -1;

css::beans::PropertyValue property(const char* name, const Any& value) {
    css::beans::PropertyValue p;
    p.Name = rtl::OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

void dispatch(const Reference<css::frame::XFrame>& frame, const char* command,
              const Sequence<css::beans::PropertyValue>& arguments = {}) {
    Reference<css::frame::XDispatchHelper> helper(manager->createInstance("com.sun.star.frame.DispatchHelper"),
                                                  UNO_QUERY_THROW);
    helper->executeDispatch(Reference<css::frame::XDispatchProvider>(frame, UNO_QUERY_THROW),
                            rtl::OUString::createFromAscii(command), "", 0, arguments);
}

// 1,000 x 20 cells with text, lines round every cell and a few merged areas.
void makeWorkbook() {
    Reference<css::lang::XComponent> document =
        desktop->loadComponentFromURL("private:factory/scalc", "_blank", 0, {});
    workbook.set(document, UNO_QUERY_THROW);
    Reference<css::container::XIndexAccess> sheets(workbook->getSheets(), UNO_QUERY_THROW);
    Reference<css::table::XCellRange> sheet(sheets->getByIndex(0), UNO_QUERY_THROW);
    // The texts in one request, the four lines of a cell in one each.
    Sequence<Sequence<Any>> texts(kSheetRows);
    for (int row = 0; row < kSheetRows; ++row) {
        Sequence<Any> cells(20);
        for (int column = 0; column < 20; ++column)
            cells.getArray()[column] <<= "r" + rtl::OUString::number(row) + "c" + rtl::OUString::number(column);
        texts.getArray()[row] = cells;
    }
    Reference<css::sheet::XCellRangeData>(sheet->getCellRangeByPosition(0, 0, 19, kSheetRows - 1), UNO_QUERY_THROW)
        ->setDataArray(texts);
    css::table::BorderLine line;
    line.OuterLineWidth = 26;
    const rtl::OUString sideNames[] = {"BottomBorder", "LeftBorder", "RightBorder", "TopBorder"};
    const Any lineValues[] = {Any(line), Any(line), Any(line), Any(line)};
    const Sequence<rtl::OUString> sides(sideNames, 4);
    const Sequence<Any> lines(lineValues, 4);
    for (int row = 0; row < kSheetRows; ++row)
        for (int column = 0; column < 20; ++column)
            Reference<css::beans::XMultiPropertySet>(sheet->getCellByPosition(column, row), UNO_QUERY_THROW)
                ->setPropertyValues(sides, lines);
    for (int row = 2; row < kSheetRows; row += 10)
        Reference<css::util::XMergeable>(sheet->getCellRangeByPosition(2, row, 3, row + 1), UNO_QUERY_THROW)
            ->merge(true);
}

// The range of the size on the office's clipboard, as a user copies it.
void copy(int size) {
    if (copiedSize == size) return;
    Reference<css::frame::XModel> model(workbook, UNO_QUERY_THROW);
    Reference<css::container::XIndexAccess> sheets(workbook->getSheets(), UNO_QUERY_THROW);
    Reference<css::table::XCellRange> sheet(sheets->getByIndex(0), UNO_QUERY_THROW);
    Reference<css::frame::XController> controller = model->getCurrentController();
    Reference<css::view::XSelectionSupplier>(controller, UNO_QUERY_THROW)
        ->select(Any(sheet->getCellRangeByPosition(0, 0, kSizes[size].columns - 1, kSizes[size].rows - 1)));
    dispatch(controller->getFrame(), ".uno:Copy");
    copiedSize = size;
}

// The copy's package and link, read from the display's clipboard once per copied range.
using grid::test::CopiedFormats;
const CopiedFormats& copiedFormats(int size) {
    static CopiedFormats formats;
    static int readFor = -1;
    if (readFor != size) formats = grid::test::copiedFormatsOnDisplay();
    readFor = size;
    return formats;
}

// The allocation port with the largest sum of blocks held at once.
struct PeakAllocation final : grid::AllocationPort {
    void* allocate(size_t bytes, grid::AllocationFailure&) override {
        auto* block = static_cast<size_t*>(std::malloc(bytes + sizeof(size_t) * 2));
        block[0] = bytes;
        held += bytes;
        peak = std::max(peak, held);
        return block + 2;
    }
    void release(void* block) override {
        size_t* start = static_cast<size_t*>(block) - 2;
        held -= start[0];
        std::free(start);
    }
    size_t held = 0, peak = 0;
};

void reset() {
    grid::setProgramParts(grid::kGridweaveParts);
    grid::resetRunState<char16_t>();
    grid::resetCalcSession();
    grid::resetSettings<char16_t>();
}

// The capture of the copied range, the cells read one by one or, when `inOffice`, in the office.
void captureEachTime(benchmark::State& state, bool inOffice) {
    const int size = int(state.range(0));
    copy(size);
    grid::FakeMessageBox boxes;
    const grid::CaptureWay expected = inOffice ? grid::CaptureWay::inOffice : grid::CaptureWay::perCell;
    for (auto _ : state) {
        reset();
        if (inOffice) std::char_traits<char16_t>::copy(grid::settings<char16_t>().fast_capture_yn, u"ON", 3);
        if (grid::RunCalcCapture<char16_t>() != grid::kOk) state.SkipWithError("the capture failed");
        else if (grid::lastCaptureWay() != expected) state.SkipWithError("the cells were read the other way");
        grid::ReleaseCellGrid<char16_t>();
    }
    state.SetItemsProcessed(state.iterations() * kSizes[size].columns * kSizes[size].rows);
}

void DirectCapture(benchmark::State& state) {
    const int size = int(state.range(0));
    copy(size);
    const CopiedFormats& formats = copiedFormats(size);
    grid::FakeMessageBox boxes;
    PeakAllocation memory;
    grid::setAllocationPort(&memory);
    for (auto _ : state) {
        reset();
        bool filled = false;
        const grid::StatusCode status = grid::captureFromPackage<char16_t>(
            reinterpret_cast<const uint8_t*>(formats.package.data()), formats.package.size(),
            reinterpret_cast<const uint8_t*>(formats.link.data()), formats.link.size(), filled);
        if (status != grid::kOk || !filled) state.SkipWithError("the copy was not read");
        grid::ReleaseCellGrid<char16_t>();
    }
    grid::setAllocationPort(nullptr);
    size_t inflated = 0;
    for (const char* part : {"content.xml", "styles.xml"}) {
        grid::OwnedBytes bytes;
        if (grid::readZipMember(reinterpret_cast<const uint8_t*>(formats.package.data()), formats.package.size(), part,
                                grid::ZipLimits{}, bytes) == grid::ZipResult::ok)
            inflated += bytes.size();
    }
    state.counters["package_bytes"] = double(formats.package.size());
    state.counters["inflated_bytes"] = double(inflated);
    state.counters["peak_bytes"] = double(memory.peak);
    state.SetItemsProcessed(state.iterations() * kSizes[size].columns * kSizes[size].rows);
}

// Excel's markup of a copied range, in the form of tests/data/html/excel-desktop.html.
// The document's head: the namespaces, the file links, the workbook's XML and the style sheet with
// the `td` rule and a class for each format the range uses.
constexpr std::string_view kExcelHead =
    "<html xmlns:v=\"urn:schemas-microsoft-com:vml\"\r\n"
    "xmlns:o=\"urn:schemas-microsoft-com:office:office\"\r\n"
    "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\r\n"
    "xmlns=\"http://www.w3.org/TR/REC-html40\">\r\n"
    "\r\n"
    "<head>\r\n"
    "<meta http-equiv=Content-Type content=\"text/html; charset=utf-8\">\r\n"
    "<meta name=ProgId content=Excel.Sheet>\r\n"
    "<meta name=Generator content=\"Microsoft Excel 15\">\r\n"
    "<link id=Main-File rel=Main-File\r\n"
    "href=\"file:///C:/Users/tester/AppData/Local/Temp/msohtmlclip1/01/clip.htm\">\r\n"
    "<link rel=File-List\r\n"
    "href=\"file:///C:/Users/tester/AppData/Local/Temp/msohtmlclip1/01/clip_filelist.xml\">\r\n"
    "<!--[if gte mso 9]><xml>\r\n"
    " <x:ExcelWorkbook>\r\n"
    "  <x:ExcelWorksheets>\r\n"
    "   <x:ExcelWorksheet>\r\n"
    "    <x:Name>Sheet1</x:Name>\r\n"
    "   </x:ExcelWorksheet>\r\n"
    "  </x:ExcelWorksheets>\r\n"
    " </x:ExcelWorkbook>\r\n"
    "</xml><![endif]-->\r\n"
    "<style>\r\n"
    "<!--table\r\n"
    "\t{mso-displayed-decimal-separator:\"\\.\";\r\n"
    "\tmso-displayed-thousand-separator:\"\\,\";}\r\n"
    "@page\r\n"
    "\t{margin:.75in .7in .75in .7in;\r\n"
    "\tmso-header-margin:.3in;\r\n"
    "\tmso-footer-margin:.3in;}\r\n"
    "tr\r\n"
    "\t{mso-height-source:auto;\r\n"
    "\tmso-ruby-visibility:none;}\r\n"
    "col\r\n"
    "\t{mso-width-source:auto;\r\n"
    "\tmso-ruby-visibility:none;}\r\n"
    "br\r\n"
    "\t{mso-data-placement:same-cell;}\r\n"
    ".font5\r\n"
    "\t{color:black;\r\n"
    "\tfont-size:11.0pt;\r\n"
    "\tfont-weight:400;\r\n"
    "\tfont-style:normal;\r\n"
    "\ttext-decoration:none;\r\n"
    "\tfont-family:\"Yu Gothic\", sans-serif;\r\n"
    "\tmso-font-charset:128;}\r\n"
    "td\r\n"
    "\t{padding-top:1px;\r\n"
    "\tpadding-right:1px;\r\n"
    "\tpadding-left:1px;\r\n"
    "\tmso-ignore:padding;\r\n"
    "\tcolor:black;\r\n"
    "\tfont-size:11.0pt;\r\n"
    "\tfont-weight:400;\r\n"
    "\tfont-style:normal;\r\n"
    "\ttext-decoration:none;\r\n"
    "\tfont-family:\"Yu Gothic\", sans-serif;\r\n"
    "\tmso-font-charset:128;\r\n"
    "\tmso-number-format:General;\r\n"
    "\ttext-align:general;\r\n"
    "\tvertical-align:bottom;\r\n"
    "\tborder:none;\r\n"
    "\tmso-background-source:auto;\r\n"
    "\tmso-pattern:auto;\r\n"
    "\tmso-protection:locked visible;\r\n"
    "\twhite-space:nowrap;\r\n"
    "\tmso-rotate:0;}\r\n"
    ".xl65\r\n"
    "\t{font-weight:700;\r\n"
    "\ttext-align:center;\r\n"
    "\tvertical-align:middle;\r\n"
    "\tborder:.5pt solid windowtext;\r\n"
    "\tbackground:#FFFF00;\r\n"
    "\tmso-pattern:black none;}\r\n"
    ".xl66\r\n"
    "\t{text-align:left;\r\n"
    "\tborder:.5pt solid windowtext;}\r\n"
    ".xl67\r\n"
    "\t{mso-number-format:\"\\#\\,\\#\\#0\\.00\";\r\n"
    "\ttext-align:right;\r\n"
    "\tborder:.5pt solid windowtext;}\r\n"
    ".xl68\r\n"
    "\t{vertical-align:top;\r\n"
    "\tborder:.5pt solid windowtext;\r\n"
    "\twhite-space:normal;}\r\n"
    ".xl69\r\n"
    "\t{color:red;\r\n"
    "\tfont-size:14.0pt;\r\n"
    "\tfont-style:italic;\r\n"
    "\tborder-top:.5pt solid windowtext;\r\n"
    "\tborder-right:1.0pt solid windowtext;\r\n"
    "\tborder-bottom:.5pt solid windowtext;\r\n"
    "\tborder-left:.5pt solid windowtext;}\r\n"
    ".xl70\r\n"
    "\t{text-align:center;\r\n"
    "\tvertical-align:middle;\r\n"
    "\tborder-top:2.0pt double #C00000;\r\n"
    "\tborder-right:1.5pt solid #0070C0;\r\n"
    "\tborder-bottom:2.0pt double #C00000;\r\n"
    "\tborder-left:1.5pt solid #0070C0;\r\n"
    "\tbackground:#DDEBF7;\r\n"
    "\tmso-pattern:black none;}\r\n"
    ".xl71\r\n"
    "\t{color:#0563C1;\r\n"
    "\ttext-decoration:underline;\r\n"
    "\ttext-underline-style:single;\r\n"
    "\tborder:.5pt dashed #FF0000;}\r\n"
    ".xl72\r\n"
    "\t{font-size:9.0pt;\r\n"
    "\ttext-decoration:underline;\r\n"
    "\ttext-underline-style:double;\r\n"
    "\tborder:.5pt dotted black;}\r\n"
    ".xl73\r\n"
    "\t{text-decoration:line-through;\r\n"
    "\ttext-align:justify;\r\n"
    "\tvertical-align:middle;\r\n"
    "\tborder:.5pt solid windowtext;}\r\n"
    ".xl74\r\n"
    "\t{mso-number-format:\"\\@\";\r\n"
    "\ttext-align:left;\r\n"
    "\tborder:.5pt hairline green;}\r\n"
    "-->\r\n"
    "</style>\r\n"
    "</head>\r\n"
    "\r\n"
    "<body link=\"#0563C1\" vlink=\"#954F72\">\r\n"
    "\r\n";

// Appends the lines of `text` folded as Excel folds its markup: a line longer than 78 characters
// is cut at its last space before them, the space becoming CRLF and `indent` (white space the
// reader collapses, in the text or between attributes).
void appendFolded(std::string& out, std::string_view text, std::string_view indent) {
    while (!text.empty()) {
        const size_t end = text.find("\r\n");
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 2);
        const size_t lead = line.find_first_not_of(' ');
        size_t width = 78;
        for (;;) {
            size_t characters = 0, fold = std::string_view::npos, at = 0;
            for (; at < line.size(); ++at) {
                if ((uint8_t(line[at]) & 0xC0) == 0x80) continue;
                if (characters == width) break;
                if (line[at] == ' ' && lead != std::string_view::npos && at > lead) fold = at;
                ++characters;
            }
            if (at == line.size() || fold == std::string_view::npos) break;
            out.append(line.substr(0, fold)).append("\r\n").append(indent);
            line = line.substr(fold + 1);
            width = 78 - indent.size();
        }
        out.append(line).append("\r\n");
    }
}

// 1,234 with Excel's thousands separators.
std::string withSeparators(long value) {
    const std::string digits = std::to_string(value);
    std::string separated;
    for (size_t at = 0; at < digits.size(); ++at) {
        if (at > 0 && (digits.size() - at) % 3 == 0) separated += ',';
        separated += digits[at];
    }
    return separated;
}

// One cell's class, attributes and markup of its text, by its column: a few of Excel's formats
// with plain, numeric, Japanese and full-width texts, entities, line breaks and Excel's spans.
struct ExcelCell {
    const char* klass = "";
    std::string text;
    std::string before = {}, after = {};  // attributes before the style and after it, as Excel orders them
};
ExcelCell excelCell(int column, int row) {
    const std::string n = std::to_string(row);
    switch (column % 10) {
    case 0: return {"xl66", "r" + n + "c" + std::to_string(column)};
    case 1: {
        const long cents = long(row) * 123457 % 10000000;
        const std::string fraction = "." + std::to_string(100 + cents % 100).substr(1);
        return {"xl67", withSeparators(cents / 100) + fraction, " align=right",
                " x:num=\"" + std::to_string(cents / 100) + fraction + "\""};
    }
    case 2: return {"xl69", "日本語テキスト" + n};
    case 3: return {"xl71", "A &amp; B &lt;" + n + "&gt; &quot;x&quot; &#39;y&#39; &#x263A;"};
    case 4: return {"xl68", "line one " + n + "<br>\r\n    line two"};
    case 5: return {"xl72", "ａｂｃ　全角" + n};
    case 6: return {"xl73", "Row " + n + ": a longer text that makes Excel fold its line inside the cell's text"};
    case 7: return {"xl66", "<span style='mso-spacerun:yes'>&nbsp;&nbsp; </span>Indented " + n};
    case 8: return {"xl74", "00" + n, "", " x:str=\"'00" + n + "\""};
    default: return {"xl66", "品番&nbsp;" + n + "&nbsp;&nbsp;（在庫）"};
    }
}

const char* const kHeadings[] = {"Name", "Price", "日本語", "Symbols", "Lines", "全角", "Long text", "Indented",
                                 "Code", "品番"};

// The whole clipboard's bytes for `columns` x `rows` cells: Windows' header, then the document
// with a heading row and, as in the workbook, an area of 2 x 2 cells merged at column 2 of rows 2,
// 12, 22 and so on (counted from 0).
std::string excelClipboardHtml(int columns, int rows) {
    auto anchor = [&](int column, int row) {
        return column == 2 && columns >= 4 && row % 10 == 2 && row + 1 < rows;
    };
    std::string document(kExcelHead);
    document += "<table border=0 cellpadding=0 cellspacing=0 width=" + std::to_string(84 * columns) +
                " style='border-collapse:\r\n collapse;width:" + std::to_string(63 * columns) + "pt'>\r\n";
    document += "<!--StartFragment-->\r\n";
    const size_t fragmentStart = document.size();
    document += " <col width=84 span=" + std::to_string(columns) + " style='width:63pt'>\r\n";
    for (int row = 0; row < rows; ++row) {
        const bool heading = row == 0;
        document += heading ? " <tr height=25 style='height:18.75pt'>\r\n"
                            : " <tr height=50 style='height:37.5pt'>\r\n";
        for (int column = 0; column < columns; ++column) {
            if ((column == 3 && anchor(2, row)) || ((column == 2 || column == 3) && anchor(2, row - 1)))
                continue;  // covered by the area
            std::string line = "  <td";
            if (anchor(column, row)) line += " colspan=2 rowspan=2";
            if (column == 0) line += heading ? " height=25" : " height=50";
            ExcelCell cell;
            if (heading) {
                cell = {"xl65", kHeadings[column % 10]};
                if (column >= 10) cell.text += " " + std::to_string(column / 10 + 1);
            } else if (anchor(column, row)) {
                cell = {"xl70", "結合セル " + std::to_string(row) + "<br>\r\n    merged area"};
            } else {
                cell = excelCell(column, row);
            }
            line += " class=";
            line += cell.klass;
            line += cell.before;
            const std::string height = column == 0 ? (heading ? "height:18.75pt" : "height:37.5pt") : "";
            std::string style = height;
            if (!heading) style += style.empty() ? "border-top:none" : ";border-top:none";
            if (column > 0) style += style.empty() ? "border-left:none" : ";border-left:none";
            if (!style.empty()) line += " style='" + style + "'";
            line += cell.after + ">" + cell.text + "</td>";
            appendFolded(document, line, "  ");
        }
        document += " </tr>\r\n";
    }
    const size_t fragmentEnd = document.size();
    document += "<!--EndFragment-->\r\n</table>\r\n\r\n</body>\r\n\r\n</html>\r\n";

    char header[160];
    const int headerLength = 105;
    std::snprintf(header, sizeof header,
                  "Version:1.0\r\nStartHTML:%010d\r\nEndHTML:%010d\r\nStartFragment:%010d\r\nEndFragment:%010d\r\n",
                  headerLength, headerLength + int(document.size()), headerLength + int(fragmentStart),
                  headerLength + int(fragmentEnd));
    return header + document;
}

// The grid's text of a cell, for the check before the timing.
std::u16string gridText(int column, int row) {
    const grid::CellRecord<char16_t>& cell = grid::cellGrid<char16_t>().at(column, row);
    return cell.text.live() ? std::u16string(cell.text.data, size_t(cell.text.length)) : std::u16string();
}

void HtmlCapture(benchmark::State& state) {
    const int size = int(state.range(0));
    const int columns = kSizes[size].columns, rows = kSizes[size].rows;
    const std::string html = excelClipboardHtml(columns, rows);
    const auto* bytes = reinterpret_cast<const uint8_t*>(html.data());
    grid::FakeMessageBox boxes;
    {
        // Once before the timing: the cells are the ones made, or there is nothing to time.
        reset();
        bool filled = false;
        const grid::StatusCode status = grid::captureFromHtml<char16_t>(bytes, html.size(), filled);
        const grid::CellGrid<char16_t>& cells = grid::cellGrid<char16_t>();
        const bool right = status == grid::kOk && filled && cells.rows == rows && cells.columns == columns &&
                           gridText(0, 1) == u"r1c0" && gridText(2, 1) == u"日本語テキスト1" &&
                           gridText(3, 1) == u"A & B <1> \"x\" 'y' \u263A" &&
                           cells.at(2, 2).mergePosition == grid::kMergeAnchor && cells.at(3, 3).mergePosition > 1;
        grid::ReleaseCellGrid<char16_t>();
        if (!right) {
            state.SkipWithError("the HTML was not read into the cells it holds");
            return;
        }
    }
    PeakAllocation memory;
    grid::setAllocationPort(&memory);
    for (auto _ : state) {
        reset();
        bool filled = false;
        const grid::StatusCode status = grid::captureFromHtml<char16_t>(bytes, html.size(), filled);
        if (status != grid::kOk || !filled) state.SkipWithError("the HTML was not read");
        grid::ReleaseCellGrid<char16_t>();
    }
    grid::setAllocationPort(nullptr);
    state.counters["html_bytes"] = double(html.size());
    state.counters["peak_bytes"] = double(memory.peak);
    state.SetItemsProcessed(state.iterations() * columns * rows);
}

void DirectConversion(benchmark::State& state) {
    const int size = int(state.range(0));
    copy(size);
    const CopiedFormats& formats = copiedFormats(size);
    grid::FakeMessageBox boxes;
    grid::FakeClipboard clipboard;
    for (auto _ : state) {
        reset();
        grid::settings<char16_t>().clipWaitCount = 1;
        std::char_traits<char16_t>::copy(grid::settings<char16_t>().direct_capture_yn, u"ON", 3);
        clipboard.clear();
        clipboard.putText("cells");
        clipboard.put(grid::kFormatSylk, "ID;PCALCOOO32");
        clipboard.putNamed(CALC_PACKAGE_FORMAT, formats.package);
        clipboard.putNamed(CALC_LINK_FORMAT, formats.link);
        if (grid::runConversion<char16_t>() != grid::kOk) state.SkipWithError("the conversion failed");
        else if (grid::lastCaptureWay() != grid::CaptureWay::fromClipboard) state.SkipWithError("the office read the cells");
        grid::ReleaseCellGrid<char16_t>();
    }
    state.SetItemsProcessed(state.iterations() * kSizes[size].columns * kSizes[size].rows);
}

void Capture(benchmark::State& state) { captureEachTime(state, false); }
void FastCapture(benchmark::State& state) { captureEachTime(state, true); }

void Conversion(benchmark::State& state) {
    const int size = int(state.range(0));
    copy(size);
    grid::FakeMessageBox boxes;
    grid::FakeClipboard clipboard;
    for (auto _ : state) {
        reset();
        grid::settings<char16_t>().clipWaitCount = 1;
        clipboard.clear();
        clipboard.putText("cells");
        clipboard.put(grid::kFormatSylk, "ID;PCALCOOO32");
        if (grid::runConversion<char16_t>() != grid::kOk) state.SkipWithError("the conversion failed");
        grid::ReleaseCellGrid<char16_t>();
    }
    state.SetItemsProcessed(state.iterations() * kSizes[size].columns * kSizes[size].rows);
}

// The Invocation requests of the capture, in its order: each object wrapped in the office, each
// member looked up once for the objects reached the same way (its kind), then read or called.
using Kind = std::set<std::string>;
struct Invoked {
    Any object;
    Reference<css::script::XInvocation2> invocation;
    Kind& kind;
    static inline Reference<css::lang::XSingleServiceFactory> factory;

    Invoked(const Any& value, Kind& of)
        : object(value),
          invocation(factory->createInstanceWithArguments(Sequence<Any>(&value, 1)), UNO_QUERY_THROW),
          kind(of) {}
    rtl::OUString member(const char* name) {
        const rtl::OUString member = rtl::OUString::createFromAscii(name);
        if (kind.insert(name).second) invocation->getInfoForName(member, true);
        return member;
    }
    Any get(const char* name) { return invocation->getValue(member(name)); }
    Any call(const char* name, const Sequence<Any>& arguments = {}) {
        Sequence<sal_Int16> outIndices;
        Sequence<Any> outValues;
        return invocation->invoke(member(name), arguments, outIndices, outValues);
    }
};

// A hidden document with the clipboard pasted at A1, as the capture makes it.
Reference<css::lang::XComponent> pastedDocument() {
    const css::beans::PropertyValue hidden = property("Hidden", Any(true));
    Reference<css::lang::XComponent> document =
        desktop->loadComponentFromURL("private:factory/scalc", "_blank", 0, Sequence<css::beans::PropertyValue>(&hidden, 1));
    Reference<css::frame::XFrame> frame =
        Reference<css::frame::XModel>(document, UNO_QUERY_THROW)->getCurrentController()->getFrame();
    const css::beans::PropertyValue toPoint = property("ToPoint", Any(rtl::OUString("$A$1")));
    dispatch(frame, ".uno:GoToCell", Sequence<css::beans::PropertyValue>(&toPoint, 1));
    const css::beans::PropertyValue flags = property("Flags", Any(rtl::OUString("SVDNT")));
    dispatch(frame, ".uno:Paste", Sequence<css::beans::PropertyValue>(&flags, 1));
    return document;
}

void Invocation(benchmark::State& state) {
    const int size = int(state.range(0));
    copy(size);
    for (auto _ : state) {
        Reference<css::lang::XComponent> document = pastedDocument();
        Kind ofModel, ofSheets, ofSelection, ofColumns, ofRows, ofCells, ofSheet, ofCursors;
        Invoked model{Any(document), ofModel};
        Invoked sheets{model.get("Sheets"), ofSheets};
        Invoked selection{model.get("CurrentSelection"), ofSelection};
        const sal_Int32 columns = Invoked{selection.get("Columns"), ofColumns}.call("getCount").get<sal_Int32>();
        const sal_Int32 rows = Invoked{selection.get("Rows"), ofRows}.call("getCount").get<sal_Int32>();
        for (sal_Int32 row = 0; row < rows; ++row)
            for (sal_Int32 column = 0; column < columns; ++column) {
                const Any at[] = {Any(column), Any(row)};
                Invoked cell{selection.call("getCellByPosition", Sequence<Any>(at, 2)), ofCells};
                benchmark::DoNotOptimize(cell.call("getString"));
                for (const char* name : {"HoriJustify", "VertJustify", "CharColor", "CharHeight", "CharWeight",
                                         "CharUnderline", "CharStrikeout", "CharPosture", "CellBackColor"})
                    benchmark::DoNotOptimize(cell.get(name));
                for (const char* side : {"LeftBorder", "RightBorder", "TopBorder", "BottomBorder"})
                    benchmark::DoNotOptimize(cell.get(side).get<css::table::BorderLine>().OuterLineWidth);
                const Any first(sal_Int32(0));
                Invoked sheet{sheets.call("getByIndex", Sequence<Any>(&first, 1)), ofSheet};
                Invoked cursor{sheet.call("createCursorByRange", Sequence<Any>(&cell.object, 1)), ofCursors};
                cursor.call("collapseToMergedArea");
                benchmark::DoNotOptimize(cursor.get("RangeAddress"));
            }
        Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(false);
    }
    state.SetItemsProcessed(state.iterations() * kSizes[size].columns * kSizes[size].rows);
}

// The same reads through the typed interfaces.
void TypedCalls(benchmark::State& state) {
    const int size = int(state.range(0));
    copy(size);
    for (auto _ : state) {
        Reference<css::lang::XComponent> document = pastedDocument();
        Reference<css::frame::XModel> model(document, UNO_QUERY_THROW);
        Reference<css::container::XIndexAccess> sheets(
            Reference<css::sheet::XSpreadsheetDocument>(document, UNO_QUERY_THROW)->getSheets(), UNO_QUERY_THROW);
        Reference<css::table::XCellRange> selection(model->getCurrentSelection(), UNO_QUERY_THROW);
        Reference<css::table::XColumnRowRange> lines(selection, UNO_QUERY_THROW);
        const sal_Int32 columns = lines->getColumns()->getCount(), rows = lines->getRows()->getCount();
        for (sal_Int32 row = 0; row < rows; ++row)
            for (sal_Int32 column = 0; column < columns; ++column) {
                Reference<css::table::XCell> cell = selection->getCellByPosition(column, row);
                benchmark::DoNotOptimize(Reference<css::text::XTextRange>(cell, UNO_QUERY_THROW)->getString());
                Reference<css::beans::XPropertySet> properties(cell, UNO_QUERY_THROW);
                for (const char* name : {"HoriJustify", "VertJustify", "CharColor", "CharHeight", "CharWeight",
                                         "CharUnderline", "CharStrikeout", "CharPosture", "CellBackColor"})
                    benchmark::DoNotOptimize(properties->getPropertyValue(rtl::OUString::createFromAscii(name)));
                for (const char* side : {"LeftBorder", "RightBorder", "TopBorder", "BottomBorder"})
                    benchmark::DoNotOptimize(properties->getPropertyValue(rtl::OUString::createFromAscii(side))
                                                 .get<css::table::BorderLine>()
                                                 .OuterLineWidth);
                Reference<css::sheet::XSpreadsheet> sheet(sheets->getByIndex(0), UNO_QUERY_THROW);
                Reference<css::sheet::XSheetCellCursor> cursor =
                    sheet->createCursorByRange(Reference<css::sheet::XSheetCellRange>(cell, UNO_QUERY_THROW));
                cursor->collapseToMergedArea();
                benchmark::DoNotOptimize(
                    Reference<css::sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)->getRangeAddress());
            }
        Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(false);
    }
    state.SetItemsProcessed(state.iterations() * kSizes[size].columns * kSizes[size].rows);
}

void sizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgName("size")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
}
// The per-cell capture of 1,000 x 20 cells takes more than a minute: once is enough.
void largeSize(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgName("size")->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
}
BENCHMARK(Capture)->Apply(sizes);
BENCHMARK(Capture)->Apply(largeSize);
BENCHMARK(FastCapture)->Apply(sizes)->Arg(3);
BENCHMARK(DirectCapture)->Apply(sizes)->Arg(3);
BENCHMARK(HtmlCapture)->Apply(sizes)->Arg(3);
BENCHMARK(DirectConversion)->Apply(sizes)->Arg(3);
BENCHMARK(Conversion)->Apply(sizes);
BENCHMARK(Invocation)->Apply(sizes);
BENCHMARK(TypedCalls)->Apply(sizes);

}  // namespace

int main(int argc, char** argv) {
    if (!grid::serveCalcThroughUno()) {
        std::fprintf(stderr, "bench_calc: no LibreOffice found\n");
        return 1;
    }
    try {
        // The bench's own requests go through a local runtime of their own, beside the program's.
        Reference<css::uno::XComponentContext> local = grid::uno::startLocalUno(grid::calcOfficeDirectory());
        const rtl::OUString url = rtl::OUString::createFromAscii(("uno:" + grid::calcConnectionDescription()).c_str());
        office.set(css::bridge::UnoUrlResolver::create(local)->resolve(url), UNO_QUERY_THROW);
        manager.set(office->getServiceManager(), UNO_QUERY_THROW);
        desktop.set(manager->createInstance("com.sun.star.frame.Desktop"), UNO_QUERY_THROW);
        Invoked::factory.set(manager->createInstance("com.sun.star.script.Invocation"), UNO_QUERY_THROW);
        makeWorkbook();
    } catch (const css::uno::Exception& failure) {
        std::fprintf(stderr, "bench_calc: no office accepts on the pipe: %s\n",
                     rtl::OUStringToOString(failure.Message, RTL_TEXTENCODING_UTF8).getStr());
        return 1;
    }
    std::printf("sizes: 0 = 10 x 10, 1 = 50 rows x 20, 2 = 200 rows x 20, 3 = 1,000 rows x 20 (items are cells)\n");
    {
        // As a program run does it: the connection is made by its first capture.
        copy(0);
        grid::FakeMessageBox boxes;
        reset();
        const auto start = std::chrono::steady_clock::now();
        const bool captured = grid::RunCalcCapture<char16_t>() == grid::kOk;
        const auto took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
        grid::ReleaseCellGrid<char16_t>();
        std::printf("first capture of 10 x 10 in this process, connecting to the office: %.0f ms%s\n", took.count(),
                    captured ? "" : " (failed)");
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Reference<css::util::XCloseable>(workbook, UNO_QUERY_THROW)->close(false);
    // Every reference into the office goes before the connection does.
    workbook.clear();
    desktop.clear();
    Invoked::factory.clear();
    manager.clear();
    office.clear();
    grid::endCalcConnection();
    return 0;
}
