// The automation objects over UNO, on the UNO runtime of this process: the local service manager
// stands in for the office's, so every call here is one the capture makes of the office.
#include <gtest/gtest.h>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/table/CellHoriJustify.hpp>
#include <com/sun/star/uno/Sequence.hxx>

#include "platform/uno/UnoObject.h"

namespace grid::test {
namespace {

using namespace grid::uno;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::Type;

class UnoObject : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        local = startLocalUno("/usr/lib/libreoffice/program");
        wrapping = localWrapping(local);
        wrapping.officeInvocation = wrapping.localInvocation;
    }

    void SetUp() override { manager = wrapUnoValue(wrapping, Any(local->getServiceManager()), true); }
    void TearDown() override {
        if (manager) manager->Release();
    }

    static DISPID idOf(IDispatch* object, const char16_t* name, HRESULT expected = S_OK) {
        DISPID id = -1;
        LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), expected) << "member";
        return id;
    }

    // A call as AutoWrap makes it: the arguments last one first.
    static HRESULT call(IDispatch* object, const char16_t* name, WORD flags, std::vector<VARIANT> arguments,
                        VARIANT* result) {
        DISPID id = idOf(object, name);
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS parameters = {arguments.data(), flags & DISPATCH_PROPERTYPUT ? &put : nullptr,
                                 UINT(arguments.size()), flags & DISPATCH_PROPERTYPUT ? 1u : 0u};
        return object->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, &parameters, result, nullptr, nullptr);
    }

    static VARIANT text(const char16_t* string) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocString(string);
        return value;
    }

    IDispatch* newStruct(const char16_t* type) {
        VARIANT name = text(type), made;
        const HRESULT result = call(manager, u"Bridge_GetStruct", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {name}, &made);
        VariantClear(&name);
        EXPECT_EQ(result, S_OK) << "Bridge_GetStruct";
        EXPECT_EQ(made.vt, VT_DISPATCH);
        return made.vt == VT_DISPATCH ? made.pdispVal : nullptr;
    }

    static inline Reference<css::uno::XComponentContext> local;
    static inline UnoWrapping wrapping;
    IDispatch* manager = nullptr;
};

TEST_F(UnoObject, StructsAreMadeByNameAndTheirMembersSetAndReadWithoutRegardToCase) {
    ASSERT_NE(manager, nullptr);
    IDispatch* property = newStruct(u"com.sun.star.beans.PropertyValue");
    ASSERT_NE(property, nullptr);
    VARIANT name = text(u"Hidden"), yes, result;
    VariantInit(&yes);
    yes.vt = VT_BOOL, yes.boolVal = VARIANT_TRUE;
    EXPECT_EQ(call(property, u"Name", DISPATCH_PROPERTYPUT, {name}, nullptr), S_OK);
    EXPECT_EQ(call(property, u"value", DISPATCH_PROPERTYPUT, {yes}, nullptr), S_OK);
    VariantClear(&name);

    // What the office would be sent: the struct as set.
    const Any material = unwrapUnoValue(property);
    css::beans::PropertyValue value;
    ASSERT_TRUE(material >>= value);
    EXPECT_EQ(value.Name, "Hidden");
    EXPECT_EQ(value.Value, Any(true));

    ASSERT_EQ(call(property, u"NAME", DISPATCH_PROPERTYGET, {}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(result.bstrVal)), u"Hidden");
    VariantClear(&result);
    idOf(property, u"NoSuchMember", DISP_E_UNKNOWNNAME);
    idOf(property, u"Bridge_GetStruct", DISP_E_UNKNOWNNAME);  // only the service manager has it
    property->Release();

    VARIANT unknown = text(u"com.sun.star.no.SuchStruct");
    EXPECT_TRUE(FAILED(call(manager, u"Bridge_GetStruct", DISPATCH_METHOD, {unknown}, &result)));
    EXPECT_EQ(result.vt, VT_EMPTY);
    VariantClear(&unknown);
}

// The office's own types are known here: the lines and ranges the capture reads.
TEST_F(UnoObject, MembersComeBackInTheBridgesVariantTypes) {
    IDispatch* line = newStruct(u"com.sun.star.table.BorderLine");
    ASSERT_NE(line, nullptr);
    VARIANT result;
    ASSERT_EQ(call(line, u"OuterLineWidth", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I2);  // short
    ASSERT_EQ(call(line, u"Color", DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);  // long
    line->Release();

    VARIANT out;
    ASSERT_EQ(anyToVariant(wrapping, Any(css::table::CellHoriJustify_RIGHT), out), S_OK);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 3);
    ASSERT_EQ(anyToVariant(wrapping, Any(10.5f), out), S_OK);
    EXPECT_EQ(out.vt, VT_R4);
    EXPECT_EQ(out.fltVal, 10.5f);
    ASSERT_EQ(anyToVariant(wrapping, Any(Reference<css::uno::XInterface>()), out), S_OK);
    EXPECT_EQ(out.vt, VT_DISPATCH);
    EXPECT_EQ(out.pdispVal, nullptr);
    const sal_Int32 numbers[] = {4, 5};
    ASSERT_EQ(anyToVariant(wrapping, Any(Sequence<sal_Int32>(numbers, 2)), out), S_OK);
    ASSERT_EQ(out.vt, VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(out.parray->rgsabound[0].cElements, 2u);
    LONG index = 1;
    VARIANT element;
    ASSERT_EQ(SafeArrayGetElement(out.parray, &index, &element), S_OK);
    EXPECT_EQ(element.vt, VT_I4);
    EXPECT_EQ(element.lVal, 5);
    VariantClear(&out);
}

TEST_F(UnoObject, AnEmptyVariantIsFalseZeroOrNothingByWhatTheMemberTakes) {
    VARIANT empty;
    VariantInit(&empty);
    Any value;
    ASSERT_EQ(variantToAny(empty, cppu::UnoType<bool>::get(), value), S_OK);
    EXPECT_EQ(value, Any(false));
    ASSERT_EQ(variantToAny(empty, cppu::UnoType<sal_Int32>::get(), value), S_OK);
    EXPECT_EQ(value, Any(sal_Int32(0)));
    ASSERT_EQ(variantToAny(empty, cppu::UnoType<Any>::get(), value), S_OK);
    EXPECT_FALSE(value.hasValue());
    ASSERT_EQ(variantToAny(empty, Type(), value), S_OK);
    EXPECT_FALSE(value.hasValue());

    // An object of another bridge means nothing to UNO.
    struct Foreign final : IDispatch {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
            return E_NOTIMPL;
        }
    } foreign;
    VARIANT object;
    VariantInit(&object);
    object.vt = VT_DISPATCH, object.pdispVal = &foreign;
    EXPECT_EQ(variantToAny(object, Type(), value), DISP_E_TYPEMISMATCH);
}

// A SAFEARRAY of structs reaches a member that takes a sequence of them, and a UNO exception
// comes back as a failed call.
TEST_F(UnoObject, ArraysBecomeSequencesAndExceptionsFailedCalls) {
    VARIANT name = text(u"com.sun.star.script.Converter"), converter, result;
    ASSERT_EQ(call(manager, u"createInstance", DISPATCH_METHOD, {name}, &converter), S_OK);
    VariantClear(&name);
    ASSERT_EQ(converter.vt, VT_DISPATCH);

    // convertToSimpleType(value, TypeClass): "12" to a long; "twelve" cannot be one.
    VARIANT twelve = text(u"12"), longType;
    VariantInit(&longType);
    longType.vt = VT_I4, longType.lVal = sal_Int32(css::uno::TypeClass_LONG);
    ASSERT_EQ(call(converter.pdispVal, u"ConvertToSimpleType", DISPATCH_METHOD, {longType, twelve}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 12);
    VariantClear(&twelve);
    VARIANT words = text(u"twelve");
    EXPECT_TRUE(FAILED(call(converter.pdispVal, u"convertToSimpleType", DISPATCH_METHOD, {longType, words}, &result)));
    EXPECT_EQ(call(converter.pdispVal, u"convertToSimpleType", DISPATCH_METHOD, {words}, &result),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(converter.pdispVal, u"convertToSimpleType", DISPATCH_PROPERTYGET, {}, &result),
              DISP_E_MEMBERNOTFOUND);
    VariantClear(&words);

    IDispatch* property = newStruct(u"com.sun.star.beans.PropertyValue");
    ASSERT_NE(property, nullptr);
    VARIANT flagName = text(u"Flags");
    ASSERT_EQ(call(property, u"Name", DISPATCH_PROPERTYPUT, {flagName}, nullptr), S_OK);
    VariantClear(&flagName);
    SAFEARRAY* array = SafeArrayCreateVector(VT_DISPATCH, 0, 1);
    LONG index = 0;
    SafeArrayPutElement(array, &index, property);
    VARIANT arguments;
    VariantInit(&arguments);
    arguments.vt = VT_ARRAY | VT_DISPATCH, arguments.parray = array;
    Any sequence;
    ASSERT_EQ(variantToAny(arguments, Type(), sequence), S_OK);
    Sequence<Any> elements;
    ASSERT_TRUE(sequence >>= elements);
    ASSERT_EQ(elements.getLength(), 1);
    css::beans::PropertyValue element;
    ASSERT_TRUE(elements[0] >>= element);
    EXPECT_EQ(element.Name, "Flags");
    VariantClear(&arguments);
    property->Release();
    converter.pdispVal->Release();
}

// Objects that one member returns with one interface type share what was looked up on one of
// them, yet each call goes to its own object.
TEST_F(UnoObject, ObjectsReachedTheSameWayShareTheirLookupsButNotTheirCalls) {
    VARIANT name = text(u"com.sun.star.reflection.CoreReflection"), reflection;
    ASSERT_EQ(call(manager, u"createInstance", DISPATCH_METHOD, {name}, &reflection), S_OK);
    VariantClear(&name);
    ASSERT_EQ(reflection.vt, VT_DISPATCH);
    std::vector<std::u16string> names;
    for (const char16_t* type : {u"com.sun.star.beans.PropertyValue", u"com.sun.star.table.BorderLine"}) {
        VARIANT typeName = text(type), typeClass, typeNameBack;
        ASSERT_EQ(call(reflection.pdispVal, u"forName", DISPATCH_METHOD, {typeName}, &typeClass), S_OK);
        VariantClear(&typeName);
        ASSERT_EQ(typeClass.vt, VT_DISPATCH);
        ASSERT_EQ(call(typeClass.pdispVal, names.empty() ? u"getName" : u"GETNAME", DISPATCH_METHOD, {}, &typeNameBack),
                  S_OK);
        ASSERT_EQ(typeNameBack.vt, VT_BSTR);
        names.emplace_back(reinterpret_cast<const char16_t*>(typeNameBack.bstrVal));
        idOf(typeClass.pdispVal, u"NoSuchMember", DISP_E_UNKNOWNNAME);
        VariantClear(&typeNameBack);
        VariantClear(&typeClass);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"com.sun.star.beans.PropertyValue", u"com.sun.star.table.BorderLine"}));
    VariantClear(&reflection);
}

// Out and in-out parameters take references to the caller's VARIANTs (VT_BYREF | VT_VARIANT),
// which get the member's values back, as through the Windows bridge; a plain VARIANT in their
// place is refused. The member here is the reflection's invoke, whose arguments are in-out.
TEST_F(UnoObject, InOutParametersGoThroughReferences) {
    VARIANT name = text(u"com.sun.star.reflection.CoreReflection"), reflection;
    ASSERT_EQ(call(manager, u"createInstance", DISPATCH_METHOD, {name}, &reflection), S_OK);
    VariantClear(&name);
    VARIANT typeName = text(u"com.sun.star.lang.XMultiServiceFactory"), type, methodName = text(u"createInstance"),
            method;
    ASSERT_EQ(call(reflection.pdispVal, u"forName", DISPATCH_METHOD, {typeName}, &type), S_OK);
    ASSERT_EQ(call(type.pdispVal, u"getMethod", DISPATCH_METHOD, {methodName}, &method), S_OK);
    ASSERT_EQ(method.vt, VT_DISPATCH);

    // invoke(object, [in-out] arguments): createInstance("com.sun.star.script.Converter").
    VARIANT service = text(u"com.sun.star.script.Converter");
    SAFEARRAY* arguments = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    LONG index = 0;
    SafeArrayPutElement(arguments, &index, &service);
    VARIANT argumentList, reference, on, made;
    VariantInit(&argumentList), VariantInit(&on);
    argumentList.vt = VT_ARRAY | VT_VARIANT, argumentList.parray = arguments;
    reference.vt = VT_BYREF | VT_VARIANT, reference.pvarVal = &argumentList;
    on.vt = VT_DISPATCH, on.pdispVal = manager;
    EXPECT_EQ(call(method.pdispVal, u"invoke", DISPATCH_METHOD, {reference, on}, &made), S_OK);
    EXPECT_EQ(made.vt, VT_DISPATCH);
    EXPECT_EQ(argumentList.vt, VT_ARRAY | VT_VARIANT);  // given back: the same one argument
    if (argumentList.vt == (VT_ARRAY | VT_VARIANT)) {
        EXPECT_EQ(argumentList.parray->rgsabound[0].cElements, 1u);
    }
    VariantClear(&made);
    EXPECT_EQ(call(method.pdispVal, u"invoke", DISPATCH_METHOD, {argumentList, on}, &made), DISP_E_TYPEMISMATCH);
    for (VARIANT* value : {&argumentList, &service, &typeName, &methodName, &type, &method, &reflection})
        VariantClear(value);
}

}  // namespace
}  // namespace grid::test
