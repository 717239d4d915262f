#pragma once
// Automation objects over UNO: each IDispatch wraps one UNO value (an interface or a struct) with
// the Invocation service, resolves member names without regard to case, converts VARIANT
// arguments to the types the member takes and its result back, and reports UNO exceptions as
// failed HRESULTs, the way the Windows automation bridge presents the office.
#include <com/sun/star/lang/XSingleServiceFactory.hpp>
#include <com/sun/star/reflection/XIdlReflection.hpp>
#include <com/sun/star/uno/Any.hxx>
#include <com/sun/star/uno/Reference.hxx>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <memory>
#include <string>

#include "platform/Com.h"

namespace grid::uno {

namespace css = com::sun::star;

// What wrapping needs: Invocation in the office for its objects, so that each member call is one
// request to it, and a local one for structs, which are values here; reflection to make structs.
struct UnoWrapping {
    css::uno::Reference<css::lang::XSingleServiceFactory> officeInvocation;
    css::uno::Reference<css::lang::XSingleServiceFactory> localInvocation;
    css::uno::Reference<css::reflection::XIdlReflection> reflection;
};

// The UNO runtime of this process, with the types of the office in the given program directory
// on top of its own, so that the values the office sends can be read here. Throws UNO's
// exceptions.
css::uno::Reference<css::uno::XComponentContext> startLocalUno(const std::string& officeProgramDirectory);

// Local Invocation and reflection; the office's Invocation is the caller's to add.
UnoWrapping localWrapping(const css::uno::Reference<css::uno::XComponentContext>& local);

// The members that objects reached the same way share.
struct ObjectKind;

// A new reference to an automation object for `value`, of the kind given or of a kind of its own;
// `serviceManager` adds the bridge's own "Bridge_GetStruct". Null where the value cannot be
// wrapped.
IDispatch* wrapUnoValue(const UnoWrapping& wrapping, const css::uno::Any& value, bool serviceManager = false,
                        std::shared_ptr<ObjectKind> kind = nullptr);

// The UNO value an automation object of ours stands for; void for any other object.
css::uno::Any unwrapUnoValue(IDispatch* object);

// VARIANT and Any in both directions, as the bridge converts them.
HRESULT variantToAny(const VARIANT& value, const css::uno::Type& target, css::uno::Any& out);
HRESULT anyToVariant(const UnoWrapping& wrapping, const css::uno::Any& value, VARIANT& out,
                     std::shared_ptr<ObjectKind> kind = nullptr);

}  // namespace grid::uno
