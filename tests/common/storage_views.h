// Texts that describe what a structured storage holds, so that two implementations (the
// provider and Wine's ole32) or two moments can be compared line by line.
#pragma once

#include <objbase.h>
#include <propidl.h>

#include <optional>
#include <string>
#include <vector>

namespace storage_views {

// One line per element below `storage`, sorted: the path ("/" between levels, "#" for the
// \005 of property-set streams), then "|stream|size|hash of the bytes" or
// "|storage|class|state bits".
std::vector<std::string> treeOf(IStorage* storage);

// One line per property of the set `format`, sorted: "id|name|value". {"absent"} when the
// set does not exist, {"cannot open: XXXXXXXX"} with the HRESULT when it cannot be opened.
std::vector<std::string> propertiesOf(IStorage* storage, REFFMTID format);

// The whole content of a stream of `storage`; empty when the stream cannot be opened.
std::optional<std::string> streamBytes(IStorage* storage, const wchar_t* name);

// A value as "type:text", for example "i4:7", "lpwstr:Accounts", "r8:1234.5".
std::string valueText(const PROPVARIANT& value);

} // namespace storage_views
