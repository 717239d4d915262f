#include "platform/Automation.h"

namespace grid {
namespace {

struct SystemAutomation final : AutomationPort {
    HRESULT initialize() override { return CoInitialize(nullptr); }
    void uninitialize() override { CoUninitialize(); }
    HRESULT classFromProgId(LPCOLESTR progId, CLSID* clsid) override { return CLSIDFromProgID(progId, clsid); }
    HRESULT createInstance(REFCLSID clsid, IDispatch** object) override {
        return CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(object));
    }
};

SystemAutomation systemAutomation;
AutomationPort* currentAutomation = &systemAutomation;

}  // namespace

AutomationPort& automationPort() { return *currentAutomation; }
void setAutomationPort(AutomationPort* port) { currentAutomation = port ? port : &systemAutomation; }

}  // namespace grid
