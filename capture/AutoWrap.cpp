#include "capture/AutoWrap.h"

#include <cstdio>
#include <string>

#include "core/Allocation.h"
#include "core/Assert.h"
#include "core/CellGrid.h"
#include "core/RunState.h"
#include "platform/Automation.h"
#include "platform/CodePage.h"
#include "platform/Ports.h"

namespace grid {
namespace {

CalcSession theSession;
constexpr uint32_t kErrorBox = kBoxOk | kBoxIconHand | kBoxSetForeground;

template <class Ch>
[[nodiscard]] StatusCode failAndRelease() {
    (void)ReleaseAutomation<Ch>(0);  // without a close to make, it cannot fail
    ReleaseCellGrid<Ch>();
    return kAutomationFailed;
}

}  // namespace

CalcSession& calcSession() { return theSession; }

void clearHeld(VARIANT& value, int32_t& held) {
    if (held == 1) {
        VariantClear(&value);
        held = 0;
    }
}

void resetCalcSession() {
    CalcSession& s = theSession;
    s = CalcSession{};
    for (VARIANT* value : {&s.desktop, &s.propertyValue, &s.document, &s.sheets, &s.frame, &s.dispatchHelper,
                           &s.selection, &s.controller, &s.columnCollection, &s.rowCollection, &s.cellObject,
                           &s.borderLine, &s.firstSheet, &s.cursor, &s.rangeAddress})
        VariantInit(value);
}

namespace {

// Where a call by name stopped.
enum class CallStep { done, lookup, argumentArray, invoke };

// Looks the member up and calls it; every HRESULT goes to resultCode, the member's number to id.
CallStep callByName(HRESULT& resultCode, int callType, VARIANT* result, IDispatch* object, const OLECHAR* name,
                    std::initializer_list<VARIANT> arguments, DISPID& id) {
    id = 0;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    resultCode = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(resultCode)) return CallStep::lookup;

    AllocationFailure failure = AllocationFailure::none;
    auto* values = static_cast<VARIANT*>(allocateArray(arguments.size() + 1, sizeof(VARIANT), failure));
    if (!values) return CallStep::argumentArray;
    size_t n = 0;
    for (const VARIANT& argument : arguments) values[n++] = argument;  // shallow: the caller keeps ownership

    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS parameters = {values, nullptr, static_cast<UINT>(arguments.size()), 0};
    if (callType & kCallPut) {
        parameters.rgdispidNamedArgs = &namedPut;
        parameters.cNamedArgs = 1;
    }
    resultCode = object->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, static_cast<WORD>(callType), &parameters, result,
                                nullptr, nullptr);
    releaseArray(values);
    return FAILED(resultCode) ? CallStep::invoke : CallStep::done;
}

}  // namespace

template <class Ch>
StatusCode AutoWrap(HRESULT& resultCode, int callType, VARIANT* result, IDispatch* object, const OLECHAR* name,
                    std::initializer_list<VARIANT> arguments) {
    if (!object) {
        messageBoxPort().show(mainWindow, "NULL IDispatch passed to AutoWrap()", "Error", kErrorBox);
        return failAndRelease<Ch>();
    }
    const std::string member = utf16ToUtf8(reinterpret_cast<const char16_t*>(name));
    DISPID id = 0;
    switch (callByName(resultCode, callType, result, object, name, arguments, id)) {
        case CallStep::done: return kOk;
        case CallStep::lookup: {
            if (member == "Columns") return kColumnsMissing;
            char text[200];
            std::snprintf(text, sizeof text, "IDispatch::GetIDsOfNames(\"%s\") failed w/err0x%08lx", member.c_str(),
                          static_cast<unsigned long>(static_cast<uint32_t>(resultCode)));
            messageBoxPort().show(mainWindow, text, "AutoWrap()", kErrorBox);
            return failAndRelease<Ch>();
        }
        case CallStep::argumentArray: return failAndRelease<Ch>();
        case CallStep::invoke: break;
    }
    char text[200];
    std::snprintf(text, sizeof text, "IDispatch::Invoke(\"%s\"=%08lx) failed w/err 0x%08lx", member.c_str(),
                  static_cast<unsigned long>(static_cast<uint32_t>(id)),
                  static_cast<unsigned long>(static_cast<uint32_t>(resultCode)));
    messageBoxPort().show(mainWindow, text, "AutoWrap()", kErrorBox);
    return failAndRelease<Ch>();
}

HRESULT AutoCallQuietly(HRESULT& resultCode, int callType, VARIANT* result, IDispatch* object, const OLECHAR* name,
                        std::initializer_list<VARIANT> arguments) {
    if (!object) return E_POINTER;
    DISPID id = 0;
    switch (callByName(resultCode, callType, result, object, name, arguments, id)) {
        case CallStep::done: return S_OK;
        case CallStep::argumentArray: return E_OUTOFMEMORY;
        default: return resultCode;
    }
}

template <class Ch>
StatusCode ReleaseAutomation(int32_t closeDocument) {
    CalcSession& s = theSession;
    if (closeDocument == 1 && s.sessionStage >= kDocumentHeld && s.sessionStage <= kSelectionHeld) {
        VARIANT no;
        VariantInit(&no);  // VT_EMPTY: false to the bridge
        if (AutoWrap<Ch>(s.lastResult, kCallMethod, nullptr, s.document.pdispVal, GRID_OLESTR("Close"), {no}) != kOk)
            return kAutomationFailed;
    }
    clearHeld(s.controller, s.controllerHeld);
    clearHeld(s.columnCollection, s.columnCollectionHeld);
    clearHeld(s.rowCollection, s.rowCollectionHeld);
    clearHeld(s.cellObject, s.cellObjectHeld);
    clearHeld(s.borderLine, s.borderLineHeld);
    clearHeld(s.firstSheet, s.firstSheetHeld);
    clearHeld(s.cursor, s.cursorHeld);
    clearHeld(s.rangeAddress, s.rangeAddressHeld);
    const int32_t stage = s.sessionStage;
    GRID_ASSERT(stage >= kNothingHeld && stage <= kSelectionHeld);
    if (stage >= kServiceManagerHeld && stage <= kSelectionHeld) {
        if (stage >= kSelectionHeld) VariantClear(&s.selection);
        if (stage >= kDispatchHelperHeld) VariantClear(&s.dispatchHelper);
        if (stage >= kFrameHeld) VariantClear(&s.frame);
        if (stage >= kSheetsHeld) VariantClear(&s.sheets);
        if (stage >= kDocumentHeld) VariantClear(&s.document);
        if (stage >= kPropertyValueHeld) VariantClear(&s.propertyValue);
        if (stage >= kDesktopHeld) VariantClear(&s.desktop);
        if (s.serviceManager) s.serviceManager->Release();
        s.serviceManager = nullptr;
    }
    s.sessionStage = kNothingHeld;
    automationPort().uninitialize();
    return kOk;
}

template StatusCode AutoWrap<char>(HRESULT&, int, VARIANT*, IDispatch*, const OLECHAR*, std::initializer_list<VARIANT>);
template StatusCode AutoWrap<char16_t>(HRESULT&, int, VARIANT*, IDispatch*, const OLECHAR*,
                                       std::initializer_list<VARIANT>);
template StatusCode ReleaseAutomation<char>(int32_t);
template StatusCode ReleaseAutomation<char16_t>(int32_t);

}  // namespace grid
