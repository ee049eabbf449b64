// Format offsets, sizes, sentinels and limits of property-set streams (MS-OLEPS), in one place.
#pragma once

#include "common/status.h"

#include <cstddef>
#include <cstdint>

namespace engine::propset {

using PropertyId = std::uint32_t;
using VarType = std::uint16_t;
using CodePage = std::uint16_t;

// PropertySetStream header (MS-OLEPS 2.21).
inline constexpr std::uint16_t kByteOrderMark = 0xFFFE;
inline constexpr std::uint16_t kFormatVersion0 = 0;
inline constexpr std::uint16_t kFormatVersion1 = 1;
inline constexpr std::size_t kStreamHeaderSize = 28; // byte order, version, system id, CLSID, count
inline constexpr std::size_t kSectionLocatorSize = 20; // FMTID and offset
inline constexpr std::size_t kByteOrderOffset = 0;
inline constexpr std::size_t kVersionOffset = 2;
inline constexpr std::size_t kSystemIdentifierOffset = 4;
inline constexpr std::size_t kClassIdOffset = 8;
inline constexpr std::size_t kSectionCountOffset = 24;
inline constexpr std::uint32_t kMaxSectionCount = 2;
inline constexpr std::size_t kGuidSize = 16;

// System identifier: high word = operating system kind, low word = major then minor version.
inline constexpr std::uint16_t kOsKindWin16 = 0;
inline constexpr std::uint16_t kOsKindMacintosh = 1;
inline constexpr std::uint16_t kOsKindWin32 = 2;
inline constexpr std::uint32_t kDefaultSystemIdentifier = 0x0002000A; // Win32, version 10.0

// PropertySet (section) header (MS-OLEPS 2.20).
inline constexpr std::size_t kSectionHeaderSize = 8;    // size, property count
inline constexpr std::size_t kPropertyLocatorSize = 8;  // identifier, offset
inline constexpr std::size_t kTypedValueHeaderSize = 4; // type, padding
inline constexpr std::size_t kAlignment = 4;

// A property set larger than this is refused when written (MS-OLEPS 2.21 recommends 2 MiB).
inline constexpr std::size_t kMaxPropertySetStreamSize = 2 * 1024 * 1024;

// Property identifiers with a special meaning (MS-OLEPS 2.1).
inline constexpr PropertyId kDictionaryPropertyId = 0x00000000;
inline constexpr PropertyId kCodePagePropertyId = 0x00000001;
inline constexpr PropertyId kFirstNormalPropertyId = 0x00000002;
inline constexpr PropertyId kLastNormalPropertyId = 0x7FFFFFFF;
inline constexpr PropertyId kLocalePropertyId = 0x80000000;
inline constexpr PropertyId kBehaviorPropertyId = 0x80000003;

// Values of the behavior property (MS-OLEPS 2.18.4).
inline constexpr std::uint32_t kBehaviorCaseInsensitive = 0;
inline constexpr std::uint32_t kBehaviorCaseSensitive = 1;

// Property names longer than this (in characters, without terminator) need a version 1 set.
inline constexpr std::size_t kMaxVersion0NameLength = 255;

// Code pages the engine converts itself.
inline constexpr CodePage kCodePageUnicode = 1200; // CP_WINUNICODE: UTF-16LE
inline constexpr CodePage kCodePageUtf8 = 65001;
inline constexpr CodePage kCodePageWindows1252 = 1252;
// Code page assumed when a section carries no code page property.
inline constexpr CodePage kCodePageWhenAbsent = kCodePageWindows1252;

// VARIANT_BOOL values.
inline constexpr std::uint16_t kVariantTrue = 0xFFFF;
inline constexpr std::uint16_t kVariantFalse = 0x0000;

// Status for text that cannot be converted between a code page and UTF-16: the HRESULT of
// ERROR_NO_UNICODE_TRANSLATION, which structured storage returns in the same case.
inline constexpr Status kStatusNoUnicodeTranslation = Status::noUnicodeTranslation;
// Status for a code page that no converter in use supports: E_NOTIMPL.
inline constexpr Status kStatusUnsupportedCodePage = Status::notImplemented;

// VARTYPE values (the PropertyType enumeration, MS-OLEPS 2.14).
namespace vt {
inline constexpr VarType empty = 0x0000;
inline constexpr VarType null = 0x0001;
inline constexpr VarType i2 = 0x0002;
inline constexpr VarType i4 = 0x0003;
inline constexpr VarType r4 = 0x0004;
inline constexpr VarType r8 = 0x0005;
inline constexpr VarType cy = 0x0006;
inline constexpr VarType date = 0x0007;
inline constexpr VarType bstr = 0x0008;
inline constexpr VarType error = 0x000A;
inline constexpr VarType boolean = 0x000B;
inline constexpr VarType variant = 0x000C;
inline constexpr VarType decimal = 0x000E;
inline constexpr VarType i1 = 0x0010;
inline constexpr VarType ui1 = 0x0011;
inline constexpr VarType ui2 = 0x0012;
inline constexpr VarType ui4 = 0x0013;
inline constexpr VarType i8 = 0x0014;
inline constexpr VarType ui8 = 0x0015;
inline constexpr VarType int_ = 0x0016;
inline constexpr VarType uint_ = 0x0017;
inline constexpr VarType lpstr = 0x001E;
inline constexpr VarType lpwstr = 0x001F;
inline constexpr VarType filetime = 0x0040;
inline constexpr VarType blob = 0x0041;
inline constexpr VarType stream = 0x0042;
inline constexpr VarType storage = 0x0043;
inline constexpr VarType streamedObject = 0x0044;
inline constexpr VarType storedObject = 0x0045;
inline constexpr VarType blobObject = 0x0046;
inline constexpr VarType cf = 0x0047;
inline constexpr VarType clsid = 0x0048;
inline constexpr VarType versionedStream = 0x0049;
inline constexpr VarType vector = 0x1000;
inline constexpr VarType array = 0x2000;
inline constexpr VarType typeMask = 0x0FFF;
} // namespace vt

// Sizes of the fixed-size values.
inline constexpr std::size_t kDecimalSize = 16;
inline constexpr std::size_t kClipboardFormatSize = 4;

} // namespace engine::propset
