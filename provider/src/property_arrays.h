// SAFEARRAY property values (VT_ARRAY | element type), which only format version 1 sets hold.
//
// The engine keeps an array value as the bytes after its type: an ArrayHeader (element type,
// number of dimensions, then size and index offset of each dimension, in the order of the
// SAFEARRAY descriptor's bounds) and the elements in the order of the SAFEARRAY's data, each
// as in a vector (numbers packed and padded at the end, strings in the section's code page,
// variants as whole typed values). These functions convert between that and SAFEARRAYs, with
// the engine's vector codec doing strings and variants.
//
// Element types: VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT, VT_R4, VT_R8,
// VT_CY, VT_DATE, VT_BSTR, VT_BOOL, VT_DECIMAL, VT_ERROR, and VT_VARIANT whose elements are of
// the others.
#pragma once

#include <propset/code_page.h>
#include <propset/value.h>

#include <propidl.h>

namespace provider {

// Whether `type` (VT_ARRAY included) is an array a property set holds.
[[nodiscard]] bool isStorableArrayType(VARTYPE type);

// A VT_ARRAY PROPVARIANT as the value to store; STG_E_INVALIDPARAMETER for an element type or
// an array a set cannot hold.
[[nodiscard]] HRESULT arrayValueFromPropVariant(const PROPVARIANT& variant,
                                                engine::propset::CodePage codePage,
                                                engine::propset::Value* value);

// A stored array as a VT_ARRAY PROPVARIANT; STG_E_DOCFILECORRUPT when the stored bytes are
// not a well-formed array.
[[nodiscard]] HRESULT propVariantFromArrayValue(const engine::propset::Value& value,
                                                engine::propset::CodePage codePage,
                                                PROPVARIANT* variant);

} // namespace provider
