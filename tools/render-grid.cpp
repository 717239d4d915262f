// Renders a grid the way the programs would, so that the writers can be tested from outside:
//
//   render-grid --program gridweave|gridquill --ini INI_PATH (--grid GRID.json | --text TEXT_FILE |
//               --html CLIPBOARD_HTML [--dump]) [--normalise]
//
// Prints the writer's output exactly (Gridweave's UTF-16 as UTF-8; Gridquill's bytes as they are)
// and exits 0; a failed writer exits 1, bad arguments or input 2. --html fills the grid as the
// direct capture does from the clipboard's HTML (exit 3 when it does not take it) and normalises
// it; with --dump the grid is printed as JSON in the form --grid reads, before normalising. Messages that would be shown go to
// stderr as "message N", and every question is answered OK.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "core/CellGrid.h"
#include "core/Messages.h"
#include "core/Normalise.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "capture/DirectCapture.h"
#include "html/HtmlProgram.h"
#include "platform/CodePage.h"
#include "platform/Ports.h"
#include "platform/SettingsFile.h"
#include "wiki/WikiProgram.h"

using namespace grid;
using nlohmann::json;

namespace {

struct Arguments {
    std::string program, ini, grid, text, html;
    bool normalise = false, dump = false;
};

// Reports every message by its catalogue code and answers OK.
struct MessagesToStderr final : MessageBoxPort {
    int32_t show(WindowHandle, const char* text, const char*, uint32_t) override {
        int count = 0;
        const MessageEntry* entries = messageCatalogue(count);
        int code = -1;
        for (int i = 0; i < count; ++i)
            if (std::strcmp(entries[i].text, text) == 0) code = static_cast<int>(entries[i].code);
        // Message 1 carries the elapsed time, so its text is not the catalogue's.
        if (code == -1 && std::strncmp(text, entries[1].text, 10) == 0) code = 1;
        std::fprintf(stderr, "message %d\n", code);
        return kAnswerOk;
    }
};

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "render-grid: %s\n", why.c_str());
    std::exit(2);
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) fail("cannot read " + path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

template <class Ch>
std::basic_string<Ch> programText(const std::string& utf8) {
    if constexpr (sizeof(Ch) == 1)
        return utf8;
    else
        return utf8ToUtf16(utf8.data(), utf8.size());
}

int32_t number(const json& cell, const char* key, int32_t fallback) {
    if (!cell.contains(key)) return fallback;
    const json& value = cell[key];
    if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
    if (!value.is_number_integer()) fail(std::string("\"") + key + "\" is not an integer");
    return static_cast<int32_t>(value.get<int64_t>());
}

void sides(const json& cell, const char* key, int32_t (&out)[4]) {
    if (!cell.contains(key)) return;
    const json& value = cell[key];
    if (!value.is_array() || value.size() != 4) fail(std::string("\"") + key + "\" needs four values");
    for (int i = 0; i < 4; ++i) out[i] = static_cast<int32_t>(value[i].get<int64_t>());
}

// The grid of a JSON description: the defaults of the plain-text split, then the merged areas,
// then each cell's own fields.
template <class Ch>
void buildGrid(const json& description) {
    CellGrid<Ch>& grid = cellGrid<Ch>();
    grid.rows = static_cast<int32_t>(description.at("rows").get<int64_t>());
    grid.columns = static_cast<int32_t>(description.at("columns").get<int64_t>());
    if (grid.rows < 1 || grid.columns < 1) fail("rows and columns must be at least 1");
    if (AllocateCellGrid<Ch>() != kOk) std::exit(1);
    const int64_t count = int64_t(grid.rows) * grid.columns;
    for (int64_t i = 0; i < count; ++i) {
        CellRecord<Ch>& cell = grid.cells[i];
        cell.charHeight = 10;
        cell.backColor = 0xFFFFFF;
    }
    if (description.contains("merges")) {
        for (const json& area : description["merges"]) {
            if (!area.is_array() || area.size() != 4) fail("a merge needs [firstColumn, lastColumn, firstRow, lastRow]");
            const int32_t c0 = area[0].get<int32_t>(), c1 = area[1].get<int32_t>();
            const int32_t r0 = area[2].get<int32_t>(), r1 = area[3].get<int32_t>();
            if (c0 < 0 || r0 < 0 || c1 < c0 || r1 < r0 || c0 >= grid.columns || r0 >= grid.rows)
                fail("a merge must start inside the grid");
            markMergedArea<Ch>(c0, c1, r0, r1);
        }
    }
    const json& cells = description.contains("cells") ? description["cells"] : json::array();
    if (!cells.is_array() || int64_t(cells.size()) > count) fail("\"cells\" must be an array of at most rows x columns");
    for (size_t i = 0; i < cells.size(); ++i) {
        const json& from = cells[i];
        CellRecord<Ch>& cell = grid.cells[i];
        if (from.contains("text") && from["text"].is_string()) {
            const std::basic_string<Ch> text = programText<Ch>(from["text"].get<std::string>());
            if (InitTextBuffer(cell.text, static_cast<int32_t>(text.size())) != kOk ||
                AppendText(cell.text, text.c_str(), static_cast<int32_t>(text.size())) != kOk)
                std::exit(1);
        }
        sides(from, "border", cell.border);
        sides(from, "borderColor", cell.borderColor);
        cell.horiJustify = number(from, "horiJustify", cell.horiJustify);
        cell.vertJustify = number(from, "vertJustify", cell.vertJustify);
        cell.charColor = number(from, "charColor", cell.charColor);
        cell.charHeight = number(from, "charHeight", cell.charHeight);
        cell.bold = static_cast<uint8_t>(number(from, "bold", cell.bold));
        cell.italic = static_cast<uint8_t>(number(from, "italic", cell.italic));
        cell.underline = number(from, "underline", cell.underline);
        cell.strikeout = number(from, "strikeout", cell.strikeout);
        cell.backColor = number(from, "backColor", cell.backColor);
        cell.mergePosition = number(from, "mergePosition", cell.mergePosition);
        cell.mergeFirstColumn = number(from, "mergeFirstColumn", cell.mergeFirstColumn);
        cell.mergeLastColumn = number(from, "mergeLastColumn", cell.mergeLastColumn);
        cell.mergeFirstRow = number(from, "mergeFirstRow", cell.mergeFirstRow);
        cell.mergeLastRow = number(from, "mergeLastRow", cell.mergeLastRow);
    }
}

// The grid in the form buildGrid reads, texts as UTF-8.
template <class Ch>
void dumpGrid() {
    const CellGrid<Ch>& grid = cellGrid<Ch>();
    json out = {{"rows", grid.rows}, {"columns", grid.columns}, {"merges", json::array()}, {"cells", json::array()}};
    for (int32_t row = 0; row < grid.rows; ++row)
        for (int32_t column = 0; column < grid.columns; ++column) {
            const CellRecord<Ch>& cell = grid.at(column, row);
            std::string text;
            if (cell.text.data) {
                if constexpr (sizeof(Ch) == 1) text.assign(cell.text.data, size_t(cell.text.length));
                else text = utf16ToUtf8(cell.text.data, size_t(cell.text.length));
            }
            if (cell.mergePosition == kMergeAnchor)
                out["merges"].push_back({cell.mergeFirstColumn, cell.mergeLastColumn, cell.mergeFirstRow, cell.mergeLastRow});
            out["cells"].push_back({{"text", text},
                                    {"border", cell.border},
                                    {"borderColor", cell.borderColor},
                                    {"horiJustify", cell.horiJustify},
                                    {"vertJustify", cell.vertJustify},
                                    {"charColor", cell.charColor},
                                    {"charHeight", cell.charHeight},
                                    {"bold", cell.bold},
                                    {"italic", cell.italic},
                                    {"underline", cell.underline},
                                    {"strikeout", cell.strikeout},
                                    {"backColor", cell.backColor},
                                    {"mergePosition", cell.mergePosition}});
        }
    std::fputs(out.dump(1, ' ', false, json::error_handler_t::replace).c_str(), stdout);
    std::fputs("\n", stdout);
}

template <class Ch>
int render(const Arguments& args) {
    setSettingsFilePort(&systemSettingsFile());
    setProgramParts(kGridweaveParts);
    setProgramParts(kGridquillParts);
    const std::basic_string<Ch> ini = programText<Ch>(args.ini);
    readSettings<Ch>(ini.c_str());
    ClearRunOwnership<Ch>();

    StatusCode status = kOk;
    if (!args.text.empty()) {
        // The plain-text path; the user has answered OK to borders on all cells.
        runState<Ch>().clipboardKind = 1;
        runState<Ch>().bordersAccepted = 1;
        const std::basic_string<Ch> text = programText<Ch>(readFile(args.text));
        status = SplitTextIntoGrid<Ch>(text.c_str());
        if (status == kOk) status = normaliseGrid<Ch>();
    } else if (!args.html.empty()) {
        const std::string bytes = readFile(args.html);
        bool filled = false;
        status = captureFromHtml<Ch>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), filled);
        if (!filled) return 3;
        if (status == kOk && args.dump) {
            dumpGrid<Ch>();
            ReleaseCellGrid<Ch>();
            return 0;
        }
        runState<Ch>().clipboardKind = 3;  // a sheet's cells; every question is answered OK
        if (status == kOk) status = normaliseGrid<Ch>();
    } else {
        json description;
        try {
            description = json::parse(readFile(args.grid));
            buildGrid<Ch>(description);
        } catch (const json::exception& e) {
            fail(args.grid + ": " + e.what());
        }
        if (args.normalise) {
            runState<Ch>().clipboardKind = 3;  // spreadsheet data, after the user's consent
            runState<Ch>().bordersAccepted = 1;
            status = normaliseGrid<Ch>();
        }
    }
    if (status == kOk) status = programParts<Ch>().writeMarkup();
    if (status != kOk) {
        ReleaseCellGrid<Ch>();
        return 1;
    }
    const TextBuffer<Ch>& out = runBuffers<Ch>().outputBuffer;
    if constexpr (sizeof(Ch) == 1) {
        std::fwrite(out.data, 1, size_t(out.length), stdout);
    } else {
        const std::string utf8 = utf16ToUtf8(out.data, size_t(out.length));
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    }
    ReleaseCellGrid<Ch>();
    return 0;
}

Arguments parse(int argc, char** argv) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) fail(option + " needs a value");
            return argv[++i];
        };
        if (option == "--program") args.program = value();
        else if (option == "--ini") args.ini = value();
        else if (option == "--grid") args.grid = value();
        else if (option == "--text") args.text = value();
        else if (option == "--html") args.html = value();
        else if (option == "--dump") args.dump = true;
        else if (option == "--normalise") args.normalise = true;
        else fail("unknown option " + option);
    }
    if (args.program != "gridweave" && args.program != "gridquill") fail("--program gridweave or gridquill");
    if (args.ini.empty()) fail("--ini INI_PATH is needed");
    if (int(!args.grid.empty()) + int(!args.text.empty()) + int(!args.html.empty()) != 1)
        fail("give one of --grid GRID.json, --text TEXT_FILE and --html CLIPBOARD_HTML");
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments args = parse(argc, argv);
    MessagesToStderr messages;
    setMessageBoxPort(&messages);
    return args.program == "gridweave" ? render<char16_t>(args) : render<char>(args);
}
