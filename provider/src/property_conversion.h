// PROPVARIANT to and from the engine's property values, and the code-page converter that
// lets the engine handle every code page Windows knows.
#pragma once

#include <propset/code_page.h>
#include <propset/value.h>

#include <propidl.h>

namespace provider {

// The engine's converter for its built-in code pages, MultiByteToWideChar and
// WideCharToMultiByte for the others.
[[nodiscard]] const engine::propset::CodePageConverter& windowsCodePages();

// A PROPVARIANT as a value to store in a section of code page `codePage` (which strings in
// arrays are stored in). STG_E_INVALIDPARAMETER for a type a property set cannot hold or a
// malformed payload, STG_E_PROPSETMISMATCHED for types only non-simple sets hold.
[[nodiscard]] HRESULT valueFromPropVariant(const PROPVARIANT& variant,
                                           engine::propset::CodePage codePage,
                                           engine::propset::Value* value);

// A stored value as a PROPVARIANT whose memory the caller frees with PropVariantClear.
// Arrays come out as SAFEARRAYs (property_arrays.h); values of other types the engine keeps
// uninterpreted come out as VT_EMPTY.
[[nodiscard]] HRESULT propVariantFromValue(const engine::propset::Value& value,
                                           engine::propset::CodePage codePage,
                                           PROPVARIANT* variant);

} // namespace provider
