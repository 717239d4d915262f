#pragma once
// Where automation objects come from: COM's start and end on the worker thread, the class of a
// ProgID and a new instance of it (CoInitialize, CoUninitialize, CLSIDFromProgID, CoCreateInstance).
// Tests serve their own objects in-process here.
#include "platform/Com.h"

namespace grid {

struct AutomationPort {
    virtual ~AutomationPort() = default;
    virtual HRESULT initialize() = 0;
    virtual void uninitialize() = 0;
    virtual HRESULT classFromProgId(LPCOLESTR progId, CLSID* clsid) = 0;
    // A local server's instance of the class, as IDispatch.
    virtual HRESULT createInstance(REFCLSID clsid, IDispatch** object) = 0;
};

// The port in use; the default calls the platform's COM functions.
AutomationPort& automationPort();
void setAutomationPort(AutomationPort* port);

}  // namespace grid
