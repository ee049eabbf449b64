// The names of property-set streams and storages (MS-OLEPS 2.23).
#pragma once

#include "common/status.h"
#include "propset/guid.h"

#include <string>
#include <string_view>

namespace engine::propset {

// The name for a FMTID: "\005SummaryInformation" and the other fixed names for the well-known
// sets (the user-defined set lives in "\005DocumentSummaryInformation"), otherwise '\005'
// followed by the 26-character base-32 form of the FMTID.
[[nodiscard]] std::u16string streamNameForFormatId(const Guid& formatId);

// The FMTID a property-set name stands for; "\005DocumentSummaryInformation" gives the
// document-summary FMTID (its first section). Any other name gives Status::invalidName.
[[nodiscard]] Status formatIdForStreamName(std::u16string_view name, Guid& formatId);

// Whether the name is that of a property set (a fixed name or a valid base-32 name).
[[nodiscard]] bool isPropertySetStreamName(std::u16string_view name);

} // namespace engine::propset
