// Result codes of the compound-file engine.
//
// The engine is portable and includes no Windows header, yet its callers (the storage
// provider) hand its results straight to COM clients. Each status therefore carries the
// numeric value of the matching structured-storage HRESULT, so that the provider converts
// with a cast and never with a lookup table.
#pragma once

#include <cstdint>

namespace engine {

enum class Status : std::uint32_t {
    ok = 0x00000000,
    falseResult = 0x00000001, // S_FALSE: success, but less than asked (end of data, nothing found)

    notImplemented = 0x80004001,       // E_NOTIMPL
    unexpected = 0x8000FFFF,           // E_UNEXPECTED
    invalidArgument = 0x80070057,      // E_INVALIDARG
    outOfMemory = 0x8007000E,          // E_OUTOFMEMORY
    noUnicodeTranslation = 0x80070459, // text with no exact equivalent in the other encoding

    invalidFunction = 0x80030001,
    fileNotFound = 0x80030002,
    pathNotFound = 0x80030003,
    tooManyOpenFiles = 0x80030004,
    accessDenied = 0x80030005,
    invalidHandle = 0x80030006,
    insufficientMemory = 0x80030008,
    invalidPointer = 0x80030009,
    noMoreFiles = 0x80030012,
    diskIsWriteProtected = 0x80030013,
    seekError = 0x80030019,
    writeFault = 0x8003001D,
    readFault = 0x8003001E,
    shareViolation = 0x80030020,
    lockViolation = 0x80030021,
    fileAlreadyExists = 0x80030050,
    invalidParameter = 0x80030057,
    mediumFull = 0x80030070,
    propSetMismatched = 0x800300F0,
    abnormalApiExit = 0x800300FA,
    invalidHeader = 0x800300FB,
    invalidName = 0x800300FC,
    unknown = 0x800300FD,
    unimplementedFunction = 0x800300FE,
    invalidFlag = 0x800300FF,
    inUse = 0x80030100,
    notCurrent = 0x80030101,
    reverted = 0x80030102,
    cantSave = 0x80030103,
    oldFormat = 0x80030104,
    oldDll = 0x80030105,
    shareRequired = 0x80030106,
    notFileBasedStorage = 0x80030107,
    extantMarshallings = 0x80030108,
    docfileCorrupt = 0x80030109,
    badBaseAddress = 0x80030110,
    docfileTooLarge = 0x80030111,
    notSimpleFormat = 0x80030112,
    incomplete = 0x80030201,
    terminated = 0x80030202,
};

// True for ok and falseResult, as SUCCEEDED() is for an HRESULT.
[[nodiscard]] constexpr bool succeeded(Status status) {
    return (static_cast<std::uint32_t>(status) & 0x80000000u) == 0;
}

[[nodiscard]] constexpr bool failed(Status status) {
    return !succeeded(status);
}

// The status as the signed 32-bit HRESULT that COM callers expect.
[[nodiscard]] constexpr std::int32_t toHresult(Status status) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(status));
}

} // namespace engine

// Returns the status from the enclosing function when it is a failure.
#define ENGINE_RETURN_IF_FAILED(expression)                                                        \
    do {                                                                                           \
        const ::engine::Status engineStatus_ = (expression);                                       \
        if (::engine::failed(engineStatus_))                                                       \
            return engineStatus_;                                                                  \
    } while (false)
