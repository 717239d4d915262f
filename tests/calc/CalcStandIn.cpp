#include "tests/calc/CalcStandIn.h"

#include <algorithm>
#include <cstring>

#include "platform/CodePage.h"

namespace grid::test {
namespace {

enum class Kind { serviceManager, desktop, propertyValue, document, controller, frame, dispatchHelper, selection,
                  noRange, collection, cell, borderLine, sheets, sheet, cursor, rangeAddress, basicLibraries, library,
                  scriptProvider, script, part };

// The members each kind of object answers.
const std::map<Kind, std::vector<std::string>>& memberTable() {
    static const std::map<Kind, std::vector<std::string>> table = {
        {Kind::serviceManager, {"createInstance", "Bridge_GetStruct"}},
        {Kind::desktop, {"loadComponentFromURL"}},
        {Kind::propertyValue, {"Name", "Value"}},
        {Kind::document, {"sheets", "getCurrentController", "CurrentSelection", "Close", "BasicLibraries",
                          "getScriptProvider"}},
        {Kind::controller, {"getFrame"}},
        {Kind::frame, {}},
        {Kind::dispatchHelper, {"executeDispatch"}},
        {Kind::selection, {"Columns", "Rows", "getCellByPosition", "getCellRangeByPosition"}},
        {Kind::part, {}},  // a part of the selection, which only the routine is run on
        {Kind::noRange, {"getCount"}},
        {Kind::collection, {"getCount"}},
        {Kind::cell, {"getString", "HoriJustify", "VertJustify", "CharColor", "CharHeight", "CharWeight",
                      "CharUnderline", "CharStrikeout", "CharPosture", "CellBackColor", "LeftBorder", "RightBorder",
                      "TopBorder", "BottomBorder"}},
        {Kind::borderLine, {"InnerLineWidth", "OuterLineWidth", "Color"}},
        {Kind::sheets, {"getByIndex"}},
        {Kind::sheet, {"createCursorByRange"}},
        {Kind::cursor, {"collapseToMergedArea", "RangeAddress"}},
        {Kind::rangeAddress, {"StartColumn", "EndColumn", "StartRow", "EndRow"}},
        {Kind::basicLibraries, {"createLibrary"}},
        {Kind::library, {"insertByName"}},
        {Kind::scriptProvider, {"getScript"}},
        {Kind::script, {"invoke"}},
    };
    return table;
}

std::vector<std::string>& allNames() {
    static std::vector<std::string> names;
    return names;
}

DISPID idOf(const std::string& name) {
    auto& names = allNames();
    auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end()) {
        names.push_back(name);
        return DISPID(names.size());
    }
    return DISPID(found - names.begin() + 1);
}

std::string utf8(const OLECHAR* text) { return text ? utf16ToUtf8(reinterpret_cast<const char16_t*>(text)) : ""; }

std::u16string wide(BSTR text) {
    if (!text) return u"";
    return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

class StandInObject final : public IDispatch {
public:
    StandInObject(CalcStandIn& calc, Kind kind, int32_t column = 0, int32_t row = 0, int32_t side = 0)
        : calc_(calc), kind_(kind), column_(column), row_(row), side_(side) {
        ++calc_.objectsAlive;
        VariantInit(&value_);
    }
    ~StandInObject() {
        VariantClear(&value_);
        --calc_.objectsAlive;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!(riid == IID_IDispatch) && !(riid == IID_IUnknown)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        *object = static_cast<IDispatch*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count != 1) return E_INVALIDARG;
        const std::string name = utf8(names[0]);
        auto failure = calc_.nameFailures.find(name);
        if (failure != calc_.nameFailures.end()) return failure->second.result;
        const auto& members = memberTable().at(kind_);
        if (std::find(members.begin(), members.end(), name) == members.end()) return DISP_E_UNKNOWNNAME;
        ids[0] = idOf(name);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (id < 1 || size_t(id) > allNames().size()) return DISP_E_MEMBERNOTFOUND;
        const std::string member = allNames()[size_t(id) - 1];
        // Arguments come last first; the record lists them in the member's own order.
        std::vector<VARIANT*> arguments;
        for (UINT i = params ? params->cArgs : 0; i > 0; --i) arguments.push_back(&params->rgvarg[i - 1]);
        const bool namedPut = params && params->cNamedArgs == 1 && params->rgdispidNamedArgs &&
                              params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
        calc_.calls.push_back({name(), member, flags, describe(arguments), namedPut});
        int& count = calc_.invokeCounts[member];
        ++count;
        auto failure = calc_.invokeFailures.find(member);
        if (failure != calc_.invokeFailures.end() && failure->second.nth == count) return failure->second.result;
        if (result) VariantInit(result);
        return answer(member, arguments, result);
    }

private:
    std::string name() const {
        static const char* const names[] = {"serviceManager", "desktop", "propertyValue", "document", "controller",
                                            "frame", "dispatchHelper", "selection", "selection", "collection",
                                            "cell", "borderLine", "sheets", "sheet", "cursor", "rangeAddress",
                                            "basicLibraries", "library", "scriptProvider", "script", "part"};
        std::string text = names[int(kind_)];
        if (kind_ == Kind::part) text += "(rows " + std::to_string(area_.firstRow) + "-" + std::to_string(area_.lastRow) + ")";
        if (kind_ == Kind::cell || kind_ == Kind::cursor)
            text += "(" + std::to_string(column_) + "," + std::to_string(row_) + ")";
        return text;
    }

    static std::string describeOne(const VARIANT& v) {
        switch (v.vt) {
            case VT_EMPTY: return "empty";
            case VT_I4: return std::to_string(v.lVal);
            case VT_I2: return std::to_string(v.iVal);
            case VT_BOOL: return v.boolVal ? "true" : "false";
            case VT_BSTR: return "\"" + utf8(v.bstrVal) + "\"";
            case VT_DISPATCH: {
                auto* object = static_cast<StandInObject*>(v.pdispVal);
                return object ? object->name() : "null";
            }
            default: break;
        }
        if ((v.vt & VT_ARRAY) && v.parray) {
            LONG index = 0;
            StandInObject* property = nullptr;
            if ((v.vt & ~VT_ARRAY) == VT_VARIANT) {
                VARIANT element;
                VariantInit(&element);
                SafeArrayGetElement(v.parray, &index, &element);
                if (element.vt == VT_DISPATCH) property = static_cast<StandInObject*>(element.pdispVal);
                std::string text = !property                              ? "[?]"
                                   : property->kind_ == Kind::propertyValue ? "[" + property->propertyText() + "]"
                                                                            : "[" + property->name() + "]";
                VariantClear(&element);
                return "variants" + text;
            }
            IDispatch* element = nullptr;
            SafeArrayGetElement(v.parray, &index, &element);
            property = static_cast<StandInObject*>(element);
            std::string text = property ? "[" + property->propertyText() + "]" : "[?]";
            if (element) element->Release();
            return "objects" + text;
        }
        return "vt" + std::to_string(v.vt);
    }

    static std::string describe(const std::vector<VARIANT*>& arguments) {
        std::string text;
        for (const VARIANT* argument : arguments) text += (text.empty() ? "" : ", ") + describeOne(*argument);
        return text;
    }

    std::string propertyText() const {
        return utf16ToUtf8(propertyName_.data(), propertyName_.size()) + "=" + describeOne(value_);
    }

    HRESULT newObject(VARIANT* result, Kind kind, int32_t column = 0, int32_t row = 0, int32_t side = 0) {
        if (!result) return S_OK;
        result->vt = VT_DISPATCH;
        result->pdispVal = new StandInObject(calc_, kind, column, row, side);
        return S_OK;
    }
    static HRESULT integer(VARIANT* result, int32_t n) {
        if (result) result->vt = VT_I4, result->lVal = n;
        return S_OK;
    }
    static HRESULT shortInteger(VARIANT* result, int16_t n) {
        if (result) result->vt = VT_I2, result->iVal = n;
        return S_OK;
    }
    static HRESULT real(VARIANT* result, float n) {
        if (result) result->vt = VT_R4, result->fltVal = n;
        return S_OK;
    }
    static HRESULT string(VARIANT* result, const std::u16string& text) {
        if (!result) return S_OK;
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.c_str()), UINT(text.size()));
        return S_OK;
    }

    const StandInCell& cell() const { return calc_.at(column_, row_); }

    HRESULT answer(const std::string& member, const std::vector<VARIANT*>& arguments, VARIANT* result) {
        switch (kind_) {
            case Kind::serviceManager:
                if (member == "Bridge_GetStruct") return newObject(result, Kind::propertyValue);
                if (arguments.size() == 1 && arguments[0]->vt == VT_BSTR) {
                    const std::string service = utf8(arguments[0]->bstrVal);
                    if (service == "com.sun.star.frame.Desktop") return newObject(result, Kind::desktop);
                    if (service == "com.sun.star.frame.DispatchHelper") return newObject(result, Kind::dispatchHelper);
                }
                return E_INVALIDARG;
            case Kind::propertyValue:
                if (arguments.size() != 1) return DISP_E_BADPARAMCOUNT;
                if (member == "Name") {
                    propertyName_ = wide(arguments[0]->vt == VT_BSTR ? arguments[0]->bstrVal : nullptr);
                    return S_OK;
                }
                return VariantCopy(&value_, arguments[0]);
            case Kind::desktop: {
                if (arguments.size() != 4) return DISP_E_BADPARAMCOUNT;
                const std::string description = describeOne(*arguments[3]);
                calc_.documentHidden = description == "variants[Hidden=true]";
                return newObject(result, Kind::document);
            }
            case Kind::document:
                if (member == "sheets") return newObject(result, Kind::sheets);
                if (member == "getCurrentController") return newObject(result, Kind::controller);
                if (member == "CurrentSelection")
                    return newObject(result, calc_.pasted && calc_.pasteGivesRange ? Kind::selection : Kind::noRange);
                if (member == "BasicLibraries") return newObject(result, Kind::basicLibraries);
                if (member == "getScriptProvider") return newObject(result, Kind::scriptProvider);
                calc_.documentClosed = true;
                return S_OK;
            case Kind::controller: return newObject(result, Kind::frame);
            case Kind::dispatchHelper: {
                if (arguments.size() != 5) return DISP_E_BADPARAMCOUNT;
                const std::string command = describeOne(*arguments[1]);
                if (command == "\".uno:GoToCell\"") calc_.cursorOnA1 = true;
                if (command == "\".uno:Paste\"") calc_.pasted = true;
                return S_OK;
            }
            case Kind::selection:
                if (member == "Columns") return newObject(result, Kind::collection, calc_.columns);
                if (member == "Rows") return newObject(result, Kind::collection, calc_.rows);
                if (member == "getCellRangeByPosition") {
                    // (left, top, right, bottom), in the selection's own places.
                    if (arguments.size() != 4) return DISP_E_BADPARAMCOUNT;
                    for (const VARIANT* argument : arguments)
                        if (argument->vt != VT_I4) return DISP_E_TYPEMISMATCH;
                    const StandInArea part = {arguments[0]->lVal, arguments[2]->lVal, arguments[1]->lVal,
                                              arguments[3]->lVal};
                    if (part.firstColumn < 0 || part.firstRow < 0 || part.lastColumn < part.firstColumn ||
                        part.lastRow < part.firstRow || part.lastColumn >= calc_.columns || part.lastRow >= calc_.rows)
                        return E_INVALIDARG;
                    if (!result) return S_OK;
                    auto* range = new StandInObject(calc_, Kind::part);
                    range->area_ = part;
                    result->vt = VT_DISPATCH;
                    result->pdispVal = range;
                    return S_OK;
                }
                if (arguments.size() != 2 || arguments[0]->vt != VT_I4 || arguments[1]->vt != VT_I4) return E_INVALIDARG;
                if (arguments[0]->lVal >= calc_.columns || arguments[1]->lVal >= calc_.rows) return E_INVALIDARG;
                return newObject(result, Kind::cell, arguments[0]->lVal, arguments[1]->lVal);
            case Kind::collection: return integer(result, column_);
            case Kind::cell: {
                const StandInCell& c = cell();
                if (member == "getString") return string(result, c.text);
                if (member == "HoriJustify") return integer(result, c.horiJustify);
                if (member == "VertJustify") return integer(result, c.vertJustify);
                if (member == "CharColor") return integer(result, c.charColor);
                if (member == "CharHeight") return real(result, c.charHeight);
                if (member == "CharWeight") return real(result, c.charWeight);
                if (member == "CharUnderline") return shortInteger(result, c.underline);
                if (member == "CharStrikeout") return shortInteger(result, c.strikeout);
                if (member == "CharPosture") return integer(result, c.posture);
                if (member == "CellBackColor") return integer(result, c.backColor);
                const int side = member == "LeftBorder" ? 0 : member == "RightBorder" ? 1 : member == "TopBorder" ? 2 : 3;
                return newObject(result, Kind::borderLine, column_, row_, side);
            }
            case Kind::borderLine: {
                const StandInLine& line = cell().lines[side_];
                if (member == "InnerLineWidth") return shortInteger(result, line.inner);
                if (member == "OuterLineWidth") return shortInteger(result, line.outer);
                return integer(result, line.color);
            }
            case Kind::sheets:
                if (arguments.size() != 1 || arguments[0]->vt != VT_EMPTY) return E_INVALIDARG;
                return newObject(result, Kind::sheet);
            case Kind::sheet: {
                if (arguments.size() != 1 || arguments[0]->vt != VT_DISPATCH) return E_INVALIDARG;
                auto* on = static_cast<StandInObject*>(arguments[0]->pdispVal);
                return newObject(result, Kind::cursor, on->column_, on->row_);
            }
            case Kind::cursor:
                if (member == "collapseToMergedArea") {
                    for (const StandInArea& area : calc_.merges)
                        if (column_ >= area.firstColumn && column_ <= area.lastColumn && row_ >= area.firstRow &&
                            row_ <= area.lastRow) {
                            area_ = area;
                            return S_OK;
                        }
                    area_ = {column_, column_, row_, row_};
                    return S_OK;
                }
                if (!result) return S_OK;
                result->vt = VT_DISPATCH;
                {
                    auto* address = new StandInObject(calc_, Kind::rangeAddress);
                    address->area_ = area_;
                    result->pdispVal = address;
                }
                return S_OK;
            case Kind::rangeAddress:
                if (member == "StartColumn") return integer(result, area_.firstColumn);
                if (member == "EndColumn") return integer(result, area_.lastColumn);
                if (member == "StartRow") return integer(result, area_.firstRow);
                return integer(result, area_.lastRow);
            case Kind::basicLibraries:
                if (arguments.size() != 1 || arguments[0]->vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
                return newObject(result, Kind::library);
            case Kind::library:
                if (arguments.size() != 2 || arguments[0]->vt != VT_BSTR || arguments[1]->vt != VT_BSTR)
                    return DISP_E_TYPEMISMATCH;
                calc_.routineSource = wide(arguments[1]->bstrVal);
                return S_OK;
            case Kind::scriptProvider:
                if (arguments.size() != 1 || arguments[0]->vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
                // Only the routine put in before is there to be found.
                if (calc_.routineSource.empty()) return DISP_E_EXCEPTION;
                return newObject(result, Kind::script);
            case Kind::script: {
                // invoke(parameters, [out] indices, [out] values): the two out parameters must be
                // references, as the Windows bridge wants them.
                if (arguments.size() != 3) return DISP_E_BADPARAMCOUNT;
                for (int out : {1, 2})
                    if (arguments[size_t(out)]->vt != (VT_BYREF | VT_VARIANT) || !arguments[size_t(out)]->pvarVal)
                        return DISP_E_TYPEMISMATCH;
                if (arguments[0]->vt != (VT_ARRAY | VT_VARIANT)) return DISP_E_TYPEMISMATCH;
                VARIANT range;
                VariantInit(&range);
                LONG first = 0;
                SafeArrayGetElement(arguments[0]->parray, &first, &range);
                const auto* on = range.vt == VT_DISPATCH ? static_cast<StandInObject*>(range.pdispVal) : nullptr;
                if (!on || (on->kind_ != Kind::selection && on->kind_ != Kind::part)) {
                    VariantClear(&range);
                    return DISP_E_TYPEMISMATCH;
                }
                const StandInArea area =
                    on->kind_ == Kind::part ? on->area_ : StandInArea{0, calc_.columns - 1, 0, calc_.rows - 1};
                VariantClear(&range);
                for (int out : {1, 2}) {
                    VariantClear(arguments[size_t(out)]->pvarVal);
                    list(*arguments[size_t(out)]->pvarVal, {});
                }
                StandInAnswer made = routineAnswer(area);
                if (calc_.alterAnswer) calc_.alterAnswer(made);
                return result ? answerVariant(made, *result) : S_OK;
            }
            default: return DISP_E_MEMBERNOTFOUND;
        }
    }

    // What the routine answers for a range of the sheet: the texts, the cells grouped by their
    // format (and whether they head a merged area, which Calc keeps in the format too) as runs
    // along the rows, and the areas of the cells that head one, all in the range's own places.
    StandInAnswer routineAnswer(const StandInArea& range) const {
        StandInAnswer made;
        made.tag = u"grid cells 1";
        made.columns = range.lastColumn - range.firstColumn + 1, made.rows = range.lastRow - range.firstRow + 1;
        for (int32_t row = range.firstRow; row <= range.lastRow; ++row)
            for (int32_t column = range.firstColumn; column <= range.lastColumn; ++column)
                made.texts.push_back(calc_.at(column, row).text);
        auto areaOf = [&](int32_t column, int32_t row) {
            for (const StandInArea& area : calc_.merges)
                if (area.firstColumn == column && area.firstRow == row) return area;
            return StandInArea{column, column, row, row};
        };
        auto format = [&](int32_t column, int32_t row) {
            const StandInCell& c = calc_.at(column, row);
            const StandInArea area = areaOf(column, row);
            const bool heads = area.lastColumn != area.firstColumn || area.lastRow != area.firstRow;
            std::vector<double> values = {double(c.horiJustify), double(c.vertJustify), double(c.charColor),
                                          c.charHeight, c.charWeight, double(c.underline), double(c.strikeout),
                                          double(c.posture), double(c.backColor)};
            for (const StandInLine& line : c.lines)
                for (double value : {double(line.inner), double(line.outer), double(line.color)})
                    values.push_back(value);
            values.push_back(heads ? 1 : 0);
            return values;
        };
        std::vector<std::vector<double>> formats;
        std::vector<std::vector<int32_t>> runs;  // per format: first column, last column, row
        for (int32_t row = range.firstRow; row <= range.lastRow; ++row)
            for (int32_t column = range.firstColumn; column <= range.lastColumn; ++column) {
                const std::vector<double> values = format(column, row);
                size_t g = size_t(std::find(formats.begin(), formats.end(), values) - formats.begin());
                if (g == formats.size()) formats.push_back(values), runs.emplace_back();
                std::vector<int32_t>& own = runs[g];
                if (!own.empty() && own[own.size() - 1] == row && own[own.size() - 2] == column - 1)
                    own[own.size() - 2] = column;
                else
                    own.insert(own.end(), {column, column, row});
            }
        const int32_t left = range.firstColumn, top = range.firstRow;
        for (size_t g = 0; g < formats.size(); ++g) {
            made.described.insert(made.described.end(), formats[g].begin(), formats[g].end());
            made.described.push_back(double(runs[g].size() / 3));
            for (size_t k = 0; k < runs[g].size(); k += 3)
                for (int32_t value : {runs[g][k] - left, runs[g][k + 1] - left, runs[g][k + 2] - top, runs[g][k + 2] - top})
                    made.described.push_back(value);
            if (formats[g].back() == 0) continue;
            for (size_t k = 0; k < runs[g].size(); k += 3)
                for (int32_t column = runs[g][k]; column <= runs[g][k + 1]; ++column) {
                    const StandInArea area = areaOf(column, runs[g][k + 2]);
                    made.areas.insert(made.areas.end(), {column - left, runs[g][k + 2] - top, area.firstColumn - left,
                                                         area.lastColumn - left, area.firstRow - top, area.lastRow - top});
                }
        }
        return made;
    }

    // A number in the smallest type that holds it, as Basic hands it over: UNO's byte is signed
    // and reaches COM as VT_UI1 with the same bits.
    static VARIANT number(double value) {
        VARIANT v;
        VariantInit(&v);
        if (!(value > -2147483649.0 && value < 2147483648.0)) {
            v.vt = VT_R8, v.dblVal = value;  // beyond a Long: a Double
        } else if (value != double(int32_t(value))) {
            v.vt = VT_R4, v.fltVal = float(value);
        } else if (value >= -128 && value <= 127) {
            v.vt = VT_UI1, v.bVal = BYTE(static_cast<signed char>(value));
        } else if (value >= -32768 && value <= 32767) {
            v.vt = VT_I2, v.iVal = SHORT(value);
        } else {
            v.vt = VT_I4, v.lVal = LONG(value);
        }
        return v;
    }

    // An array of the items, which it takes over (arrays among them too, which a copy would not
    // take everywhere).
    static HRESULT list(VARIANT& out, const std::vector<VARIANT>& items) {
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, ULONG(items.size()));
        if (!array) return E_OUTOFMEMORY;
        for (size_t i = 0; i < items.size(); ++i) static_cast<VARIANT*>(array->pvData)[i] = items[i];
        out.vt = VT_ARRAY | VT_VARIANT;
        out.parray = array;
        return S_OK;
    }

    static HRESULT answerVariant(const StandInAnswer& made, VARIANT& out) {
        std::vector<VARIANT> texts, described, areas;
        for (const std::u16string& text : made.texts) {
            VARIANT v;
            VariantInit(&v);
            string(&v, text);
            texts.push_back(v);
        }
        for (double value : made.described) described.push_back(number(value));
        for (int32_t value : made.areas) areas.push_back(number(value));
        VARIANT parts[6];
        for (VARIANT& part : parts) VariantInit(&part);
        string(&parts[0], made.tag);
        parts[1] = number(made.columns);
        parts[2] = number(made.rows);
        list(parts[3], texts);
        list(parts[4], described);
        list(parts[5], areas);
        return list(out, std::vector<VARIANT>(parts, parts + 6));
    }

    CalcStandIn& calc_;
    Kind kind_;
    int32_t column_, row_, side_;
    ULONG references_ = 1;
    std::u16string propertyName_;
    VARIANT value_;
    StandInArea area_ = {column_, column_, row_, row_};
};

const CLSID kStandInClass = {0x5ca1c000, 0x6772, 0x6964, {'s', 't', 'a', 'n', 'd', 'i', 'n', 0}};

}  // namespace

void CalcStandIn::resize(int32_t rowCount, int32_t columnCount) {
    rows = rowCount;
    columns = columnCount;
    cells.assign(size_t(rows) * size_t(columns), StandInCell{});
}

void CalcStandIn::failInvoke(const std::string& member, HRESULT result, int nth) {
    invokeFailures[member] = {result, invokeCounts[member] + nth};
}

void CalcStandIn::failName(const std::string& member, HRESULT result) { nameFailures[member] = {result, 1}; }

std::vector<std::string> CalcStandIn::members() const {
    std::vector<std::string> list;
    for (const StandInCall& call : calls) list.push_back(call.member);
    return list;
}

IDispatch* CalcStandIn::newServiceManager() {
    if (cells.size() != size_t(rows) * size_t(columns)) resize(rows, columns);
    return new StandInObject(*this, Kind::serviceManager);
}

StandInAutomation::StandInAutomation(CalcStandIn& calc) : calc_(calc) { setAutomationPort(this); }
StandInAutomation::~StandInAutomation() { setAutomationPort(nullptr); }

HRESULT StandInAutomation::initialize() {
    ++initialized;
    return S_OK;
}

void StandInAutomation::uninitialize() { ++uninitialized; }

HRESULT StandInAutomation::classFromProgId(LPCOLESTR progId, CLSID* clsid) {
    if (!calcInstalled || utf8(progId) != "com.sun.star.ServiceManager") return CO_E_CLASSSTRING;
    *clsid = kStandInClass;
    return S_OK;
}

HRESULT StandInAutomation::createInstance(REFCLSID clsid, IDispatch** object) {
    *object = nullptr;
    if (!(clsid == kStandInClass)) return REGDB_E_CLASSNOTREG;
    if (FAILED(createResult)) return createResult;
    *object = calc_.newServiceManager();
    return S_OK;
}

}  // namespace grid::test
