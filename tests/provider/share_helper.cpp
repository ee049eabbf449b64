// A second process for the sharing tests: opens a document with the mode it is given and
// reports what StgOpenStorage (or StgCreateDocfile) answered.
//
//   provider_share_helper open PATH MODE [ole32]    prints "hr=XXXXXXXX" (MODE in hexadecimal)
//   provider_share_helper create PATH MODE [ole32]  the same with StgCreateDocfile
// With "ole32", Wine's ole32 makes the call instead of the provider.
// Exit codes: 0 when the call was made, 2 for a usage error.
#include "provider_api.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kUsageError = 2;

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4 && argc != 5)
        return kUsageError;
    const std::wstring command = argv[1];
    const DWORD mode = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 16));
    const bool ole32 = argc == 5 && std::wstring(argv[4]) == L"ole32";
    const provider_test::StorageApi& api =
        ole32 ? provider_test::ole32Api() : provider_test::providerApi();
    provider_test::ComPtr<IStorage> storage;
    HRESULT hr = E_INVALIDARG;
    if (command == L"open")
        hr = api.openStorage(argv[2], nullptr, mode, nullptr, 0, storage.put());
    else if (command == L"create")
        hr = api.createDocfile(argv[2], mode, 0, storage.put());
    else
        return kUsageError;
    std::printf("hr=%08lX\n", static_cast<unsigned long>(hr));
    return 0;
}
