#pragma once
// Calls into Calc through IDispatch by member name, and the automation values of one run.
#include <cstdint>
#include <initializer_list>

#include "core/Status.h"
#include "platform/Com.h"

namespace grid {

// Invoke flags: method, property get, either, property put.
inline constexpr int kCallMethod = 1;
inline constexpr int kCallGet = 2;
inline constexpr int kCallMethodOrGet = 3;
inline constexpr int kCallPut = 4;

// sessionStage: the last long-lived value of the session acquired, in the order they are acquired.
inline constexpr int32_t kNothingHeld = 0;
inline constexpr int32_t kServiceManagerHeld = 1;
inline constexpr int32_t kDesktopHeld = 2;
inline constexpr int32_t kPropertyValueHeld = 3;
inline constexpr int32_t kDocumentHeld = 4;
inline constexpr int32_t kSheetsHeld = 5;
inline constexpr int32_t kFrameHeld = 6;
inline constexpr int32_t kDispatchHelperHeld = 7;
inline constexpr int32_t kSelectionHeld = 8;

// The automation values of one run. Long-lived values are released by sessionStage (the last one
// acquired); each transient value has a flag that is 1 while it holds something to clear.
struct CalcSession {
    IDispatch* serviceManager = nullptr;                                               // kServiceManagerHeld
    VARIANT desktop, propertyValue, document, sheets, frame, dispatchHelper, selection;  // kDesktopHeld on
    VARIANT controller, columnCollection, rowCollection, cellObject, borderLine, firstSheet, cursor, rangeAddress;
    int32_t controllerHeld = 0, columnCollectionHeld = 0, rowCollectionHeld = 0, cellObjectHeld = 0;
    int32_t borderLineHeld = 0, firstSheetHeld = 0, cursorHeld = 0, rangeAddressHeld = 0;
    int32_t sessionStage = kNothingHeld;
    HRESULT lastResult = 0;
};

CalcSession& calcSession();
// Clears a transient value and drops its flag, when the flag says it holds something.
void clearHeld(VARIANT& value, int32_t& held);
// Every value empty, every flag and the stage 0 (the start of a run, and tests).
void resetCalcSession();

// Calls `name` on `object` with the arguments, which are the member's parameters last first; the
// caller keeps what they hold. 0; 4 when "Columns" is no member (nothing shown or released); 109
// after a message, with the session released (the document left open) and the grid released.
template <class Ch>
[[nodiscard]] StatusCode AutoWrap(HRESULT& resultCode, int callType, VARIANT* result, IDispatch* object, const OLECHAR* name,
                    std::initializer_list<VARIANT> arguments = {});

// The same call without the failure policy, for requests whose failure the caller works around:
// nothing is shown or released; the call's HRESULT (also in resultCode), E_POINTER without an
// object, E_OUTOFMEMORY when the arguments could not be passed.
[[nodiscard]] HRESULT AutoCallQuietly(HRESULT& resultCode, int callType, VARIANT* result, IDispatch* object,
                                      const OLECHAR* name, std::initializer_list<VARIANT> arguments = {});

// Closes the document first when closeDocument is 1 (and one exists), clears every value held and
// leaves COM. 0, or 109 when the close failed (everything released all the same).
template <class Ch> [[nodiscard]] StatusCode ReleaseAutomation(int32_t closeDocument);

}  // namespace grid
