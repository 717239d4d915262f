#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Com.h"

const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

struct ServedClass {
    std::u16string progId;
    grid::ComObjectFactory create;
};

std::vector<ServedClass>& servedClasses() {
    static std::vector<ServedClass> classes;
    return classes;
}

int initializations = 0;

// A class of ours is numbered by its place among the served ones.
CLSID classNumber(size_t index) { return CLSID{uint32_t(index + 1), 0x6772, 0x6964, {'g', 'r', 'i', 'd', 0, 0, 0, 0}}; }

size_t elementSize(VARTYPE type) {
    switch (type) {
        case VT_VARIANT: return sizeof(VARIANT);
        case VT_DISPATCH: case VT_UNKNOWN: return sizeof(void*);
        case VT_BSTR: return sizeof(BSTR);
        case VT_I4: case VT_R4: return 4;
        case VT_I2: case VT_BOOL: return 2;
        case VT_UI1: return 1;
        case VT_R8: return 8;
        default: return 0;
    }
}

void clearElement(VARTYPE type, void* element) {
    switch (type) {
        case VT_VARIANT: VariantClear(static_cast<VARIANT*>(element)); break;
        case VT_DISPATCH: case VT_UNKNOWN: {
            IUnknown*& object = *static_cast<IUnknown**>(element);
            if (object) object->Release();
            object = nullptr;
            break;
        }
        case VT_BSTR: {
            BSTR& text = *static_cast<BSTR*>(element);
            SysFreeString(text);
            text = nullptr;
            break;
        }
        default: break;
    }
}

}  // namespace

void VariantInit(VARIANT* value) {
    value->vt = VT_EMPTY;
    value->wReserved1 = value->wReserved2 = value->wReserved3 = 0;
}

HRESULT VariantClear(VARIANT* value) {
    if (!value) return E_INVALIDARG;
    if (value->vt & VT_BYREF) {
        // A reference to a value of someone else's: nothing of it is this VARIANT's to free.
    } else if (value->vt & VT_ARRAY) {
        SafeArrayDestroy(value->parray);
    } else if (value->vt == VT_BSTR) {
        SysFreeString(value->bstrVal);
    } else if ((value->vt == VT_DISPATCH || value->vt == VT_UNKNOWN) && value->punkVal) {
        value->punkVal->Release();
    }
    value->vt = VT_EMPTY;
    return S_OK;
}

HRESULT VariantCopy(VARIANT* target, const VARIANT* source) {
    if (!target || !source) return E_INVALIDARG;
    if (target == source) return S_OK;
    VariantClear(target);
    *target = *source;
    if (source->vt == VT_BSTR && source->bstrVal) {
        target->bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
        if (!target->bstrVal) {
            target->vt = VT_EMPTY;
            return E_OUTOFMEMORY;
        }
    } else if ((source->vt == VT_DISPATCH || source->vt == VT_UNKNOWN) && source->punkVal) {
        source->punkVal->AddRef();
    } else if (source->vt & VT_ARRAY) {
        target->vt = VT_EMPTY;
        return E_NOTIMPL;  // not needed by the capture
    }
    return S_OK;
}

// A BSTR is its length in bytes, the characters and a NUL; the pointer is to the characters.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    auto* block = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) + (size_t(length) + 1) * sizeof(OLECHAR)));
    if (!block) return nullptr;
    block[0] = uint32_t(length * sizeof(OLECHAR));
    BSTR characters = reinterpret_cast<BSTR>(block + 1);
    if (text) std::memcpy(characters, text, length * sizeof(OLECHAR));
    else std::memset(characters, 0, length * sizeof(OLECHAR));
    characters[length] = 0;
    return characters;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    UINT length = 0;
    while (text[length] != 0) ++length;
    return SysAllocStringLen(text, length);
}

void SysFreeString(BSTR text) {
    if (text) std::free(reinterpret_cast<uint32_t*>(text) - 1);
}

UINT SysStringLen(BSTR text) { return text ? reinterpret_cast<uint32_t*>(text)[-1] / sizeof(OLECHAR) : 0; }

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG elements) {
    const size_t size = elementSize(type);
    if (size == 0) return nullptr;
    auto* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!array) return nullptr;
    array->cDims = 1;
    array->cbElements = ULONG(size);
    array->rgsabound[0] = {elements, lowerBound};
    array->vt = type;
    array->pvData = std::calloc(elements ? elements : 1, size);
    if (!array->pvData) {
        std::free(array);
        return nullptr;
    }
    return array;
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, LONG* indices, void* value) {
    if (!array || !indices || !array->pvData) return E_INVALIDARG;
    const LONG at = indices[0] - array->rgsabound[0].lLbound;
    if (at < 0 || ULONG(at) >= array->rgsabound[0].cElements) return HRESULT(0x8002000Bu);  // DISP_E_BADINDEX
    void* element = static_cast<char*>(array->pvData) + size_t(at) * array->cbElements;
    switch (array->vt) {
        case VT_VARIANT: return VariantCopy(static_cast<VARIANT*>(element), static_cast<const VARIANT*>(value));
        case VT_DISPATCH: case VT_UNKNOWN: {
            clearElement(array->vt, element);
            IUnknown* object = static_cast<IUnknown*>(value);
            if (object) object->AddRef();
            *static_cast<IUnknown**>(element) = object;
            return S_OK;
        }
        case VT_BSTR: {
            clearElement(VT_BSTR, element);
            BSTR text = static_cast<BSTR>(value);
            *static_cast<BSTR*>(element) = text ? SysAllocStringLen(text, SysStringLen(text)) : nullptr;
            return S_OK;
        }
        default: std::memcpy(element, value, array->cbElements); return S_OK;
    }
}

HRESULT SafeArrayGetElement(SAFEARRAY* array, LONG* indices, void* value) {
    if (!array || !indices || !array->pvData) return E_INVALIDARG;
    const LONG at = indices[0] - array->rgsabound[0].lLbound;
    if (at < 0 || ULONG(at) >= array->rgsabound[0].cElements) return HRESULT(0x8002000Bu);
    void* element = static_cast<char*>(array->pvData) + size_t(at) * array->cbElements;
    switch (array->vt) {
        case VT_VARIANT: VariantInit(static_cast<VARIANT*>(value)); return VariantCopy(static_cast<VARIANT*>(value), static_cast<VARIANT*>(element));
        case VT_DISPATCH: case VT_UNKNOWN: {
            IUnknown* object = *static_cast<IUnknown**>(element);
            if (object) object->AddRef();
            *static_cast<IUnknown**>(value) = object;
            return S_OK;
        }
        default: std::memcpy(value, element, array->cbElements); return S_OK;
    }
}

HRESULT SafeArrayDestroyData(SAFEARRAY* array) {
    if (!array) return E_INVALIDARG;
    if (array->pvData) {
        for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i)
            clearElement(array->vt, static_cast<char*>(array->pvData) + size_t(i) * array->cbElements);
        std::free(array->pvData);
        array->pvData = nullptr;
    }
    return S_OK;
}

// As for a vector made by SafeArrayCreateVector, whose elements live with the descriptor: their
// memory goes with it, what they hold does not.
HRESULT SafeArrayDestroyDescriptor(SAFEARRAY* array) {
    if (!array) return E_INVALIDARG;
    std::free(array->pvData);
    std::free(array);
    return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    if (!array) return S_OK;
    SafeArrayDestroyData(array);
    return SafeArrayDestroyDescriptor(array);
}

HRESULT CoInitialize(void*) { return initializations++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
    if (initializations > 0) --initializations;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
    if (!progId || !clsid) return E_INVALIDARG;
    const auto& classes = servedClasses();
    for (size_t i = 0; i < classes.size(); ++i)
        if (classes[i].progId == progId && classes[i].create) {
            *clsid = classNumber(i);
            return S_OK;
        }
    return CO_E_CLASSSTRING;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown*, DWORD, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (initializations == 0) return CO_E_NOTINITIALIZED;
    const auto& classes = servedClasses();
    for (size_t i = 0; i < classes.size(); ++i) {
        if (!(classNumber(i) == clsid) || !classes[i].create) continue;
        IDispatch* created = nullptr;
        HRESULT result = classes[i].create(&created);
        if (FAILED(result)) return result;
        if (!created) return E_OUTOFMEMORY;
        result = created->QueryInterface(riid, object);
        created->Release();
        return result;
    }
    return REGDB_E_CLASSNOTREG;
}

namespace grid {

bool serveProgId(const char16_t* progId, ComObjectFactory create) {
    auto& classes = servedClasses();
    for (ServedClass& served : classes)
        if (served.progId == progId) {
            if (served.create) return false;
            served.create = create;
            return true;
        }
    classes.push_back({progId, create});
    return true;
}

// The class keeps its number, so that a CLSID looked up earlier never names another class.
void stopServingProgId(const char16_t* progId) {
    for (ServedClass& served : servedClasses())
        if (served.progId == progId) served.create = nullptr;
}

int comInitializations() { return initializations; }

}  // namespace grid
