// The automation types as the capture relies on them. The Windows build checks the same
// expectations against the real oleaut32, so the compatible set elsewhere is held to Windows' rules.
#include <gtest/gtest.h>

#include "platform/Com.h"

namespace grid::test {
namespace {

// An object that counts its references.
struct Counted final : IDispatch {
    ULONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!(riid == IID_IDispatch) && !(riid == IID_IUnknown)) return E_NOINTERFACE;
        AddRef();
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};

TEST(Com, StringsCarryTheirLength) {
    BSTR text = SysAllocString(GRID_OLESTR("abc"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 3u);
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(text)[-1], 6u);  // bytes, in front of the text
    EXPECT_EQ(text[3], 0);
    SysFreeString(text);
    BSTR inner = SysAllocStringLen(GRID_OLESTR("a\0b"), 3);
    EXPECT_EQ(SysStringLen(inner), 3u);
    SysFreeString(inner);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
}

TEST(Com, VariantsOwnWhatTheyHold) {
    Counted object;
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(value.vt, VT_EMPTY);
    value.vt = VT_DISPATCH;
    value.pdispVal = &object;
    object.AddRef();
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &value), S_OK);
    EXPECT_EQ(object.references, 3u);
    VariantClear(&copy);
    VariantClear(&value);
    EXPECT_EQ(object.references, 1u);
    EXPECT_EQ(value.vt, VT_EMPTY);
}

TEST(Com, VectorsHoldReferencesUntilTheirDataIsDestroyed) {
    Counted object;
    SAFEARRAY* objects = SafeArrayCreateVector(VT_DISPATCH, 0, 1);
    ASSERT_NE(objects, nullptr);
    LONG index = 0;
    ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IDispatch*>(&object)), S_OK);
    EXPECT_EQ(object.references, 2u);
    SafeArrayDestroyData(objects);
    EXPECT_EQ(object.references, 1u);
    SafeArrayDestroyDescriptor(objects);

    SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    VARIANT element;
    VariantInit(&element);
    element.vt = VT_DISPATCH;
    element.pdispVal = &object;
    ASSERT_EQ(SafeArrayPutElement(variants, &index, &element), S_OK);
    EXPECT_EQ(object.references, 2u);
    VARIANT wrapped;
    VariantInit(&wrapped);
    wrapped.vt = VT_ARRAY | VT_VARIANT;
    wrapped.parray = variants;
    VariantClear(&wrapped);  // destroys the array and what it holds
    EXPECT_EQ(object.references, 1u);
}

#ifndef _WIN32
HRESULT makeCounted(IDispatch** object) {
    *object = new Counted;
    return S_OK;
}
HRESULT failToConnect(IDispatch**) { return E_FAIL; }

TEST(Com, ServedProgIdsAreCreatedInProcess) {
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(u"grid.test.Nothing", &clsid), CO_E_CLASSSTRING);
    ASSERT_TRUE(serveProgId(u"grid.test.Counted", &makeCounted));
    ASSERT_EQ(CLSIDFromProgID(u"grid.test.Counted", &clsid), S_OK);
    IDispatch* object = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object)),
              CO_E_NOTINITIALIZED);
    CoInitialize(nullptr);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object)),
              S_OK);
    EXPECT_EQ(static_cast<Counted*>(object)->references, 1u);  // the factory's reference handed over
    delete static_cast<Counted*>(object);
    CoUninitialize();
    stopServingProgId(u"grid.test.Counted");
    EXPECT_EQ(CLSIDFromProgID(u"grid.test.Counted", &clsid), CO_E_CLASSSTRING);
}

TEST(Com, AFactorysFailureIsCoCreateInstancesOwn) {
    CLSID clsid;
    ASSERT_TRUE(serveProgId(u"grid.test.Unreachable", &failToConnect));
    ASSERT_EQ(CLSIDFromProgID(u"grid.test.Unreachable", &clsid), S_OK);
    CoInitialize(nullptr);
    IDispatch* object = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object)),
              E_FAIL);
    EXPECT_EQ(object, nullptr);
    CoUninitialize();
    stopServingProgId(u"grid.test.Unreachable");
}
#endif

}  // namespace
}  // namespace grid::test
