// The property-set stream codec (MS-OLEPS): everything the storage provider uses.
//
//   property_set.h  PropertySet, parsePropertySet(), writePropertySet(), the statuses
//   section.h       Section: FMTID, code page, locale, case sensitivity, names, properties
//   value.h         Value: a VARTYPE and its payload, CodePageText, Blob, ClipboardData...
//   code_page.h     CodePageConverter, the built-in code pages 1200, 65001 and 1252
//   stream_name.h   FMTID <-> "\005SummaryInformation" and base-32 stream names
//   guid.h          Guid and the well-known FMTIDs
//   constants.h     property identifiers, VARTYPEs, format constants and limits
#pragma once

#include "propset/code_page.h"
#include "propset/constants.h"
#include "propset/guid.h"
#include "propset/property_set.h"
#include "propset/section.h"
#include "propset/stream_name.h"
#include "propset/value.h"
