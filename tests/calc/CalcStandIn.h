#pragma once
// A stand-in for Calc behind its automation bridge, for tests of both builds: the objects and
// members the capture calls, over a sheet that a test fills. ".uno:Paste" places the test's range
// at A1 and selects it (or leaves a selection that is no cell range). Every call is recorded, and
// any call can be made to fail.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Automation.h"
#include "platform/Com.h"

namespace grid::test {

struct StandInLine {
    int16_t inner = 0, outer = 0;  // 1/100 mm
    int32_t color = 0;
};

struct StandInCell {
    std::u16string text;
    int32_t horiJustify = 0, vertJustify = 0;
    int32_t charColor = -1;  // automatic
    float charHeight = 10.0f, charWeight = 100.0f;
    int16_t underline = 0, strikeout = 0;
    int32_t posture = 0;
    int32_t backColor = -1;  // none
    StandInLine lines[4];    // left, right, top, bottom
};

struct StandInArea {
    int32_t firstColumn, lastColumn, firstRow, lastRow;
};

// What the capture's routine in the office answers (capture/FastCapture.h), before it becomes
// VARIANTs: numbers go over in the smallest type that holds them, as Basic hands them over.
struct StandInAnswer {
    std::u16string tag;
    int32_t columns = 0, rows = 0;
    std::vector<std::u16string> texts;
    std::vector<double> described;  // per group: its format, whether it heads areas, its ranges
    std::vector<int32_t> areas;     // per cell of those groups: the cell and its area
};

struct StandInCall {
    std::string object;     // "serviceManager", "document", "cell(1,0)", ...
    std::string member;
    int callType;
    std::string arguments;  // in the member's own order, e.g. "\"private:factory/scalc\", \"_blank\", 0, [Hidden=true]"
    bool namedPut;          // passed as the named argument DISPID_PROPERTYPUT
};

class CalcStandIn {
public:
    int32_t rows = 1, columns = 1;
    std::vector<StandInCell> cells;  // row-major; resized by resize()
    std::vector<StandInArea> merges;
    bool pasteGivesRange = true;
    // The routine run in the office: its source as the capture put it in, and a change to make to
    // its answer (for answers the capture must not take).
    std::u16string routineSource;
    std::function<void(StandInAnswer&)> alterAnswer;

    void resize(int32_t rowCount, int32_t columnCount);
    StandInCell& at(int32_t column, int32_t row) { return cells[size_t(row) * size_t(columns) + size_t(column)]; }

    // The n-th call (from 1) of the member fails at Invoke with the result; or every lookup of
    // the member's name fails.
    void failInvoke(const std::string& member, HRESULT result, int nth = 1);
    void failName(const std::string& member, HRESULT result = DISP_E_UNKNOWNNAME);

    std::vector<StandInCall> calls;
    std::vector<std::string> members() const;  // the members called, in order
    int objectsAlive = 0;
    bool documentHidden = false, documentClosed = false, pasted = false, cursorOnA1 = false;

    IDispatch* newServiceManager();

    // Internal to the stand-in's objects.
    struct Failure {
        HRESULT result;
        int nth;
    };
    std::map<std::string, Failure> invokeFailures, nameFailures;
    std::map<std::string, int> invokeCounts;
};

// Serves the stand-in in place of COM's class lookup and CoCreateInstance; counts COM's
// initialisations. Installs itself.
class StandInAutomation final : public AutomationPort {
public:
    explicit StandInAutomation(CalcStandIn& calc);
    ~StandInAutomation() override;
    StandInAutomation(const StandInAutomation&) = delete;
    StandInAutomation& operator=(const StandInAutomation&) = delete;

    bool calcInstalled = true;
    HRESULT createResult = S_OK;  // a failure here: the service manager cannot be created
    int initialized = 0, uninitialized = 0;

    HRESULT initialize() override;
    void uninitialize() override;
    HRESULT classFromProgId(LPCOLESTR progId, CLSID* clsid) override;
    HRESULT createInstance(REFCLSID clsid, IDispatch** object) override;

private:
    CalcStandIn& calc_;
};

}  // namespace grid::test
