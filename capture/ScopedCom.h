#pragma once
// Owners of the COM values that live for one automation call: whatever way the call's step ends,
// what they hold is freed once, when they go out of scope. The session's long-lived values are
// not held here: they keep their flags and are released by stage (AutoWrap.h).
#include "platform/Com.h"

namespace grid {

// A VARIANT that is cleared at the end of its scope. `get` lends it to a call as an argument (the
// call copies the VARIANT, not what it holds); `out` receives a result.
class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&value_); }
    ~ScopedVariant() { VariantClear(&value_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    static ScopedVariant integer(int32_t number) {
        VARIANT value = nothing();
        value.vt = VT_I4;
        value.lVal = number;
        return ScopedVariant(value);
    }
    static ScopedVariant text(const OLECHAR* string) {
        VARIANT value = nothing();
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocString(string);
        return ScopedVariant(value);
    }
    static ScopedVariant flag(bool on) {
        VARIANT value = nothing();
        value.vt = VT_BOOL;
        value.boolVal = on ? VARIANT_TRUE : VARIANT_FALSE;
        return ScopedVariant(value);
    }
    // VT_EMPTY, which holds nothing to clear (the bridge reads it as the parameter's default).
    static VARIANT nothing() {
        VARIANT value;
        VariantInit(&value);
        return value;
    }

    const VARIANT& get() const { return value_; }
    // Empty, for a call to fill.
    VARIANT* out() {
        VariantClear(&value_);
        return &value_;
    }

private:
    explicit ScopedVariant(const VARIANT& value) : value_(value) {}  // takes what it holds over
    VARIANT value_;
};

// A SAFEARRAY that is destroyed at the end of its scope: its data first, which drops the references
// its elements hold, then its descriptor.
class ScopedSafeArray {
public:
    explicit ScopedSafeArray(SAFEARRAY* array) : array_(array) {}
    ~ScopedSafeArray() {
        if (!array_) return;
        SafeArrayDestroyData(array_);
        SafeArrayDestroyDescriptor(array_);
    }
    ScopedSafeArray(const ScopedSafeArray&) = delete;
    ScopedSafeArray& operator=(const ScopedSafeArray&) = delete;

    SAFEARRAY* get() const { return array_; }
    explicit operator bool() const { return array_ != nullptr; }

private:
    SAFEARRAY* array_;
};

}  // namespace grid
