#include "platform/uno/UnoObject.h"

#include <atomic>
#include <memory>
#include <new>
#include <vector>

#include <com/sun/star/beans/UnknownPropertyException.hpp>
#include <com/sun/star/beans/XExactName.hpp>
#include <com/sun/star/beans/XMaterialHolder.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/reflection/ParamMode.hpp>
#include <com/sun/star/reflection/XIdlClass.hpp>
#include <com/sun/star/reflection/theCoreReflection.hpp>
#include <com/sun/star/script/CannotConvertException.hpp>
#include <com/sun/star/script/InvocationInfo.hpp>
#include <com/sun/star/script/XInvocation2.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <osl/file.h>
#include <rtl/bootstrap.hxx>
#include <typelib/typedescription.h>
#include <uno/any2.h>
#include <uno/sequence2.h>

namespace grid::uno {
namespace {

using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::Type;
using css::uno::TypeClass;
using css::script::InvocationInfo;
using css::script::XInvocation2;

// The member number of "Bridge_GetStruct", beside the numbers 1, 2, ... of the object's members.
constexpr DISPID kGetStructId = 0x60000000;

// The failure that the exception being handled stands for.
HRESULT currentFailure() {
    try {
        throw;
    } catch (const css::lang::IllegalArgumentException&) {
        return DISP_E_TYPEMISMATCH;
    } catch (const css::script::CannotConvertException&) {
        return DISP_E_TYPEMISMATCH;
    } catch (const css::beans::UnknownPropertyException&) {
        return DISP_E_MEMBERNOTFOUND;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return DISP_E_EXCEPTION;
    }
}

}  // namespace

// What objects reached the same way have in common: those that a member of objects of one kind
// returns with one interface or struct type are of one kind too (every cell of a range, every
// sheet of the sheets, every line of a cell's sides), so that a member looked up on one of them is
// known for the others without another request. Objects of no declared type (plain XInterface)
// get a kind of their own.
struct ObjectKind {
    std::vector<InvocationInfo> members;
    struct Result {
        rtl::OUString member;
        Type type;
        std::shared_ptr<ObjectKind> kind;
    };
    std::vector<Result> results;

    const InvocationInfo* member(const rtl::OUString& name) const {
        for (const InvocationInfo& info : members)
            if (info.aName.equalsIgnoreAsciiCase(name)) return &info;
        return nullptr;
    }
    std::shared_ptr<ObjectKind> resultOf(const rtl::OUString& memberName, const Any& value) {
        const TypeClass type = value.getValueTypeClass();
        if (type != TypeClass::TypeClass_INTERFACE && type != TypeClass::TypeClass_STRUCT) return nullptr;
        if (value.getValueType() == cppu::UnoType<css::uno::XInterface>::get()) return nullptr;
        for (const Result& result : results)
            if (result.member == memberName && result.type == value.getValueType()) return result.kind;
        results.push_back({memberName, value.getValueType(), std::make_shared<ObjectKind>()});
        return results.back().kind;
    }
};

namespace {

class UnoObject final : public IDispatch {
public:
    UnoObject(const UnoWrapping& wrapping, const Any& material, const Reference<XInvocation2>& invocation,
              bool serviceManager, std::shared_ptr<ObjectKind> kind)
        : kind_(kind ? std::move(kind) : std::make_shared<ObjectKind>()),
          wrapping_(wrapping),
          material_(material),
          invocation_(invocation),
          serviceManager_(serviceManager) {
        if (material.getValueTypeClass() != TypeClass::TypeClass_INTERFACE)
            materialHolder_.set(invocation, css::uno::UNO_QUERY);
    }

    // The struct as its members were last set; the interface as it was given.
    Any material() const {
        if (materialHolder_.is()) {
            try {
                return materialHolder_->getMaterial();
            } catch (const css::uno::Exception&) {
            }
        }
        return material_;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            AddRef();
            *object = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    // Names are found without regard to case; each is looked up in the office once per kind of
    // object.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids || count == 0) return E_POINTER;
        for (UINT i = 1; i < count; ++i) ids[i] = -1;  // named arguments are not supported
        const rtl::OUString name(reinterpret_cast<const sal_Unicode*>(names[0]));
        ids[0] = -1;
        if (serviceManager_ && name.equalsIgnoreAsciiCase("Bridge_GetStruct")) {
            ids[0] = kGetStructId;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
        for (size_t i = 0; i < members_.size(); ++i)
            if (members_[i].info.aName.equalsIgnoreAsciiCase(name)) {
                ids[0] = DISPID(i + 1);
                return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
            }
        try {
            if (const InvocationInfo* known = kind_->member(name)) {
                members_.push_back({*known, true});
            } else {
                members_.push_back({memberNamed(name), false});
                kind_->members.push_back(members_.back().info);
            }
        } catch (const css::lang::IllegalArgumentException&) {
            return DISP_E_UNKNOWNNAME;
        } catch (const css::uno::Exception&) {
            return E_FAIL;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        ids[0] = DISPID(members_.size());
        return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        static DISPPARAMS none = {nullptr, nullptr, 0, 0};
        if (!params) params = &none;
        if (result) VariantInit(result);
        if (member == kGetStructId && serviceManager_) return getStruct(*params, result);
        if (member < 1 || size_t(member) > members_.size()) return DISP_E_MEMBERNOTFOUND;
        Member& known = members_[size_t(member) - 1];
        HRESULT outcome = invokeMember(known.info, flags, *params, result);
        if (SUCCEEDED(outcome) || !known.fromKind || outcome == DISP_E_BADPARAMCOUNT) return outcome;
        // The member as its kind knows it did not fit this object: ask the office about this one.
        try {
            known = {memberNamed(known.info.aName), false};
        } catch (...) {
            return DISP_E_MEMBERNOTFOUND;
        }
        return invokeMember(known.info, flags, *params, result);
    }

private:
    struct Member {
        InvocationInfo info;
        bool fromKind;  // looked up on another object of the kind
    };

    ~UnoObject() = default;

    HRESULT invokeMember(const InvocationInfo& info, WORD flags, const DISPPARAMS& params, VARIANT* result) {
        const bool isMethod = info.eMemberType == css::script::MemberType_METHOD;
        try {
            Any value;
            if (flags & DISPATCH_PROPERTYPUT) {
                if (isMethod) return DISP_E_MEMBERNOTFOUND;
                if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
                HRESULT converted = variantToAny(params.rgvarg[0], info.aType, value);
                if (FAILED(converted)) return converted;
                invocation_->setValue(info.aName, value);
                return S_OK;
            }
            if ((flags & DISPATCH_METHOD) && isMethod) {
                const sal_Int32 n = info.aParamTypes.getLength();
                if (params.cArgs != UINT(n)) return DISP_E_BADPARAMCOUNT;
                Sequence<Any> arguments(n);
                Any* argument = arguments.getArray();
                // The last argument comes first in a DISPPARAMS. An out or in-out parameter takes a
                // reference to the caller's VARIANT (VT_BYREF | VT_VARIANT), as the Windows bridge
                // wants it, and gets the member's value for it there.
                for (sal_Int32 i = 0; i < n; ++i) {
                    const VARIANT& given = params.rgvarg[n - 1 - i];
                    const bool byReference = given.vt == (VT_BYREF | VT_VARIANT) && given.pvarVal;
                    const css::reflection::ParamMode mode = i < info.aParamModes.getLength()
                                                                ? info.aParamModes[i]
                                                                : css::reflection::ParamMode_IN;
                    if (mode != css::reflection::ParamMode_IN && !byReference) return DISP_E_TYPEMISMATCH;
                    if (mode == css::reflection::ParamMode_OUT) continue;
                    HRESULT converted =
                        variantToAny(byReference ? *given.pvarVal : given, info.aParamTypes[i], argument[i]);
                    if (FAILED(converted)) return converted;
                }
                Sequence<sal_Int16> outIndices;
                Sequence<Any> outValues;
                value = invocation_->invoke(info.aName, arguments, outIndices, outValues);
                for (sal_Int32 k = 0; k < outIndices.getLength() && k < outValues.getLength(); ++k) {
                    const sal_Int32 i = outIndices[k];
                    if (i < 0 || i >= n) continue;
                    VARIANT* target = params.rgvarg[n - 1 - i].pvarVal;
                    VariantClear(target);
                    HRESULT converted = anyToVariant(wrapping_, outValues[k], *target);
                    if (FAILED(converted)) return converted;
                }
            } else if ((flags & DISPATCH_PROPERTYGET) && !isMethod) {
                if (params.cArgs != 0) return DISP_E_BADPARAMCOUNT;
                value = invocation_->getValue(info.aName);
            } else {
                return DISP_E_MEMBERNOTFOUND;
            }
            return result ? anyToVariant(wrapping_, value, *result, kind_->resultOf(info.aName, value)) : S_OK;
        } catch (...) {
            return currentFailure();
        }
    }

    // The member as it is written, asked first as given (one request, the usual case) and else by
    // the name Invocation finds without regard to case. Throws IllegalArgumentException when
    // there is none.
    InvocationInfo memberNamed(const rtl::OUString& name) {
        try {
            return invocation_->getInfoForName(name, true);
        } catch (const css::lang::IllegalArgumentException&) {
            if (!exactNames_.is()) exactNames_.set(invocation_, css::uno::UNO_QUERY_THROW);
            const rtl::OUString exact = exactNames_->getExactName(name);
            if (exact.isEmpty() || exact == name) throw;
            return invocation_->getInfoForName(exact, true);
        }
    }

    // Bridge_GetStruct(name): a new struct of the named type with every member at its default.
    HRESULT getStruct(const DISPPARAMS& params, VARIANT* result) {
        if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (params.rgvarg[0].vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
        if (!result) return S_OK;
        try {
            const rtl::OUString name(reinterpret_cast<const sal_Unicode*>(params.rgvarg[0].bstrVal),
                                     sal_Int32(SysStringLen(params.rgvarg[0].bstrVal)));
            Reference<css::reflection::XIdlClass> type = wrapping_.reflection->forName(name);
            if (!type.is() || type->getTypeClass() != TypeClass::TypeClass_STRUCT) return DISP_E_EXCEPTION;
            Any created;
            type->createObject(created);
            return anyToVariant(wrapping_, created, *result);
        } catch (...) {
            return currentFailure();
        }
    }

    std::atomic<ULONG> references_{1};
    std::shared_ptr<ObjectKind> kind_;
    UnoWrapping wrapping_;
    Any material_;
    Reference<XInvocation2> invocation_;
    Reference<css::beans::XMaterialHolder> materialHolder_;
    Reference<css::beans::XExactName> exactNames_;
    bool serviceManager_;
    std::vector<Member> members_;
};

// The value every member of `type` has when nothing is said: false, 0, an empty string, the first
// enumerator, no interface.
Any defaultOf(const Type& type) {
    Any value;
    if (type.getTypeClass() == TypeClass::TypeClass_VOID || type.getTypeClass() == TypeClass::TypeClass_ANY) return value;
    uno_any_destruct(&value, css::uno::cpp_release);
    uno_type_any_construct(&value, nullptr, type.getTypeLibType(), css::uno::cpp_acquire);
    return value;
}

HRESULT arrayToAny(const SAFEARRAY* array, Any& out) {
    if (!array || array->cDims != 1) return DISP_E_TYPEMISMATCH;
    const ULONG n = array->rgsabound[0].cElements;
    Sequence<Any> elements(static_cast<sal_Int32>(n));
    Any* element = elements.getArray();
    const auto* data = static_cast<const char*>(array->pvData);
    for (ULONG i = 0; i < n; ++i) {
        VARIANT value;
        VariantInit(&value);
        const void* at = data + size_t(i) * array->cbElements;
        switch (array->vt) {
            case VT_VARIANT: value = *static_cast<const VARIANT*>(at); break;
            case VT_DISPATCH: value.vt = VT_DISPATCH, value.pdispVal = *static_cast<IDispatch* const*>(at); break;
            case VT_BSTR: value.vt = VT_BSTR, value.bstrVal = *static_cast<const BSTR*>(at); break;
            case VT_I4: value.vt = VT_I4, value.lVal = *static_cast<const LONG*>(at); break;
            case VT_I2: value.vt = VT_I2, value.iVal = *static_cast<const SHORT*>(at); break;
            case VT_BOOL: value.vt = VT_BOOL, value.boolVal = *static_cast<const VARIANT_BOOL*>(at); break;
            case VT_R8: value.vt = VT_R8, value.dblVal = *static_cast<const double*>(at); break;
            default: return DISP_E_TYPEMISMATCH;
        }
        // The element is only looked at: it stays the array's.
        HRESULT converted = variantToAny(value, Type(), element[i]);
        if (FAILED(converted)) return converted;
    }
    out <<= elements;
    return S_OK;
}

// A string (or a type's name) as a BSTR of its own.
HRESULT stringVariant(const rtl::OUString& text, VARIANT& out) {
    out.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.getStr()), UINT(text.getLength()));
    if (!out.bstrVal) return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    return S_OK;
}

HRESULT sequenceToVariant(const UnoWrapping& wrapping, const Any& value, VARIANT& out) {
    typelib_TypeDescription* description = nullptr;
    typelib_typedescriptionreference_getDescription(&description, value.getValueTypeRef());
    if (!description) return DISP_E_TYPEMISMATCH;
    typelib_TypeDescriptionReference* elementType =
        reinterpret_cast<typelib_IndirectTypeDescription*>(description)->pType;
    typelib_TypeDescription* elementDescription = nullptr;
    typelib_typedescriptionreference_getDescription(&elementDescription, elementType);
    typelib_typedescription_release(description);
    if (!elementDescription) return DISP_E_TYPEMISMATCH;
    const sal_Int32 elementSize = elementDescription->nSize;
    typelib_typedescription_release(elementDescription);

    const uno_Sequence* sequence = *static_cast<uno_Sequence* const*>(value.getValue());
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, ULONG(sequence->nElements));
    if (!array) return E_OUTOFMEMORY;
    // Each element is converted in its place in the new array, which then owns what it holds (a
    // string, an object, an array of its own).
    auto* elements = static_cast<VARIANT*>(array->pvData);
    for (sal_Int32 i = 0; i < sequence->nElements; ++i) {
        const Any element(sequence->elements + size_t(i) * size_t(elementSize), elementType);
        const HRESULT result = anyToVariant(wrapping, element, elements[i]);
        if (FAILED(result)) {
            SafeArrayDestroy(array);
            return result;
        }
    }
    out.vt = VT_ARRAY | VT_VARIANT;
    out.parray = array;
    return S_OK;
}

}  // namespace

Reference<css::uno::XComponentContext> startLocalUno(const std::string& officeProgramDirectory) {
    rtl::OUString url;
    const rtl::OUString types = rtl::OStringToOUString((officeProgramDirectory + "/types").c_str(), RTL_TEXTENCODING_UTF8);
    osl_getFileURLFromSystemPath(types.pData, &url.pData);
    // Every type library of that directory, beside the runtime's own ones that its settings name.
    rtl::Bootstrap::set("URE_MORE_TYPES", "<" + url + ">*");
    return cppu::defaultBootstrap_InitialComponentContext();
}

UnoWrapping localWrapping(const Reference<css::uno::XComponentContext>& local) {
    UnoWrapping wrapping;
    wrapping.localInvocation.set(
        local->getServiceManager()->createInstanceWithContext("com.sun.star.script.Invocation", local),
        css::uno::UNO_QUERY_THROW);
    wrapping.reflection = css::reflection::theCoreReflection::get(local);
    return wrapping;
}

IDispatch* wrapUnoValue(const UnoWrapping& wrapping, const Any& value, bool serviceManager,
                        std::shared_ptr<ObjectKind> kind) {
    const TypeClass type = value.getValueTypeClass();
    const bool isStruct = type == TypeClass::TypeClass_STRUCT || type == TypeClass::TypeClass_EXCEPTION;
    if (!isStruct && type != TypeClass::TypeClass_INTERFACE) return nullptr;
    const Reference<css::lang::XSingleServiceFactory>& factory =
        isStruct || !wrapping.officeInvocation.is() ? wrapping.localInvocation : wrapping.officeInvocation;
    if (!factory.is()) return nullptr;
    try {
        Reference<XInvocation2> invocation(factory->createInstanceWithArguments(Sequence<Any>(&value, 1)),
                                           css::uno::UNO_QUERY);
        if (!invocation.is()) return nullptr;
        return new (std::nothrow) UnoObject(wrapping, value, invocation, serviceManager, std::move(kind));
    } catch (const css::uno::Exception&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

Any unwrapUnoValue(IDispatch* object) {
    auto* ours = dynamic_cast<UnoObject*>(object);
    return ours ? ours->material() : Any();
}

HRESULT variantToAny(const VARIANT& value, const Type& target, Any& out) {
    out.clear();
    switch (value.vt) {
        case VT_EMPTY: out = defaultOf(target); return S_OK;  // false, 0 or void, by what is expected
        case VT_NULL: return S_OK;
        case VT_I2: out <<= sal_Int16(value.iVal); return S_OK;
        case VT_I4: out <<= sal_Int32(value.lVal); return S_OK;
        case VT_UI1: out <<= sal_Int8(value.bVal); return S_OK;
        case VT_R4: out <<= value.fltVal; return S_OK;
        case VT_R8: out <<= value.dblVal; return S_OK;
        case VT_BOOL: out <<= bool(value.boolVal != VARIANT_FALSE); return S_OK;
        case VT_ERROR: out <<= sal_Int32(value.scode); return S_OK;
        case VT_BSTR:
            out <<= rtl::OUString(reinterpret_cast<const sal_Unicode*>(value.bstrVal ? value.bstrVal : u""),
                                  sal_Int32(SysStringLen(value.bstrVal)));
            return S_OK;
        case VT_DISPATCH:
            if (!value.pdispVal) {
                out = defaultOf(target.getTypeClass() == TypeClass::TypeClass_INTERFACE
                                    ? target
                                    : cppu::UnoType<css::uno::XInterface>::get());
                return S_OK;
            }
            out = unwrapUnoValue(value.pdispVal);
            return out.hasValue() ? S_OK : DISP_E_TYPEMISMATCH;  // a foreign object means nothing to UNO
        default:
            if (value.vt & VT_ARRAY) {
                SAFEARRAY* array = value.parray;
                return arrayToAny(array, out);
            }
            return DISP_E_TYPEMISMATCH;
    }
}

HRESULT anyToVariant(const UnoWrapping& wrapping, const Any& value, VARIANT& out, std::shared_ptr<ObjectKind> kind) {
    VariantInit(&out);
    const void* data = value.getValue();
    switch (value.getValueTypeClass()) {
        case TypeClass::TypeClass_VOID: return S_OK;
        case TypeClass::TypeClass_BOOLEAN:
            out.vt = VT_BOOL, out.boolVal = *static_cast<const sal_Bool*>(data) ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case TypeClass::TypeClass_BYTE: out.vt = VT_UI1, out.bVal = BYTE(*static_cast<const sal_Int8*>(data)); return S_OK;
        case TypeClass::TypeClass_SHORT:
        case TypeClass::TypeClass_UNSIGNED_SHORT:
            out.vt = VT_I2, out.iVal = *static_cast<const sal_Int16*>(data);
            return S_OK;
        case TypeClass::TypeClass_CHAR: out.vt = VT_I2, out.iVal = SHORT(*static_cast<const sal_Unicode*>(data)); return S_OK;
        case TypeClass::TypeClass_LONG:
        case TypeClass::TypeClass_UNSIGNED_LONG:
        case TypeClass::TypeClass_ENUM:
            out.vt = VT_I4, out.lVal = *static_cast<const sal_Int32*>(data);
            return S_OK;
        case TypeClass::TypeClass_HYPER: out.vt = VT_R8, out.dblVal = double(*static_cast<const sal_Int64*>(data)); return S_OK;
        case TypeClass::TypeClass_UNSIGNED_HYPER:
            out.vt = VT_R8, out.dblVal = double(*static_cast<const sal_uInt64*>(data));
            return S_OK;
        case TypeClass::TypeClass_FLOAT: out.vt = VT_R4, out.fltVal = *static_cast<const float*>(data); return S_OK;
        case TypeClass::TypeClass_DOUBLE: out.vt = VT_R8, out.dblVal = *static_cast<const double*>(data); return S_OK;
        case TypeClass::TypeClass_STRING: return stringVariant(*static_cast<const rtl::OUString*>(data), out);
        case TypeClass::TypeClass_TYPE: return stringVariant(static_cast<const Type*>(data)->getTypeName(), out);
        case TypeClass::TypeClass_INTERFACE:
            out.vt = VT_DISPATCH;
            out.pdispVal = nullptr;
            if (!*static_cast<css::uno::XInterface* const*>(data)) return S_OK;  // no object
            [[fallthrough]];
        case TypeClass::TypeClass_STRUCT:
        case TypeClass::TypeClass_EXCEPTION:
            out.pdispVal = wrapUnoValue(wrapping, value, false, std::move(kind));
            if (!out.pdispVal) {
                out.vt = VT_EMPTY;
                return DISP_E_EXCEPTION;
            }
            out.vt = VT_DISPATCH;
            return S_OK;
        case TypeClass::TypeClass_SEQUENCE: return sequenceToVariant(wrapping, value, out);
        default: return DISP_E_TYPEMISMATCH;
    }
}

}  // namespace grid::uno
