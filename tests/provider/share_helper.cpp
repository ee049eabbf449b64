// A second process for the sharing tests: opens a document through the provider with the
// mode it is given and reports what StgOpenStorage answered.
//
//   provider_share_helper open PATH MODE      prints "hr=XXXXXXXX" (MODE in hexadecimal)
//   provider_share_helper create PATH MODE    the same with StgCreateDocfile
// Exit codes: 0 when the call was made, 2 for a usage error.
#include "provider_api.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kUsageError = 2;

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4)
        return kUsageError;
    const std::wstring command = argv[1];
    const DWORD mode = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 16));
    const provider_test::StorageApi& api = provider_test::providerApi();
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
