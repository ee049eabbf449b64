// A small program that uses z64EVEZE.dll as the application's programs do: it creates a
// document, writes and reads two of its properties, asks which release wrote it, and
// writes a log line. Every step checks its result and says what went wrong, so that an
// incomplete install fails with a message rather than a crash.
//
//   consumer.exe WORK_FOLDER     (the document and the log are written there)
#include <z64eveze.h>

#include <wrl/client.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

using Microsoft::WRL::ComPtr;

namespace {

// The user-defined property set, where the application keeps its own named properties.
constexpr GUID kUserDefinedProperties = {
    0xD5CDD505, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};

// Named properties are passed by the address of their UTF-16 name.
void* propertyName(const wchar_t* name) {
    return const_cast<wchar_t*>(name);
}

bool fail(const char* what) {
    std::printf("consumer: FAILED: %s\n", what);
    return false;
}

bool failHr(const char* call, HRESULT hr) {
    std::printf("consumer: FAILED: %s returned 0x%08lX\n", call, static_cast<unsigned long>(hr));
    return false;
}

// The DLLs the library needs must be loaded, and carry the version of the package this
// program was built against.
bool checkLoadedDll(const char* name) {
    HMODULE module = GetModuleHandleA(name);
    if (!module) {
        std::printf("consumer: FAILED: %s is not loaded; it belongs in bin/ beside z64EVEZE.dll\n",
                    name);
        return false;
    }
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH - 1);
    DWORD ignored = 0;
    std::string info(GetFileVersionInfoSizeA(path, &ignored), '\0');
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (info.empty() ||
        !GetFileVersionInfoA(path, 0, static_cast<DWORD>(info.size()), info.data()) ||
        !VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        std::printf("consumer: FAILED: %s has no version resource\n", path);
        return false;
    }
    const unsigned major = HIWORD(fixed->dwFileVersionMS);
    const unsigned minor = LOWORD(fixed->dwFileVersionMS);
    const unsigned patch = HIWORD(fixed->dwFileVersionLS);
    std::printf("consumer: %s %u.%u.%u from %s\n", name, major, minor, patch, path);
    if (major != PACKAGE_VERSION_MAJOR || minor != PACKAGE_VERSION_MINOR ||
        patch != PACKAGE_VERSION_PATCH) {
        std::printf("consumer: FAILED: %s is version %u.%u.%u, the package %d.%d.%d\n", name, major,
                    minor, patch, PACKAGE_VERSION_MAJOR, PACKAGE_VERSION_MINOR,
                    PACKAGE_VERSION_PATCH);
        return false;
    }
    return true;
}

// A flat document of the newest release this build understands: its version text lies in
// bytes 1 to 4, here "8.99".
std::string flatDocument() {
    char version[16] = {};
    std::snprintf(version, sizeof version, "%4.2f", GetMaxUserFriendlyCompatibleFileVersion());
    return std::string("X") + version + " ledger";
}

bool writeProperties(IStorage* document) {
    ComPtr<IPropertyStorage> properties;
    HRESULT hr =
        QVStgOpenPropertyStorage(document, kUserDefinedProperties, properties.GetAddressOf());
    if (FAILED(hr))
        return failHr("QVStgOpenPropertyStorage", hr);
    if (FAILED(hr = QVStgWriteProperty(properties.Get(), propertyName(L"Customer"), "Example Ltd")))
        return failHr("QVStgWriteProperty (text)", hr);
    if (FAILED(hr = QVStgWriteProperty(properties.Get(), propertyName(L"Year"), 2026L)))
        return failHr("QVStgWriteProperty (number)", hr);
    if (FAILED(hr = properties->Commit(STGC_DEFAULT)))
        return failHr("IPropertyStorage::Commit", hr);

    char customer[64] = {};
    long year = 0;
    if ((hr = QVStgReadProperty(properties.Get(), propertyName(L"Customer"), customer)) != S_OK)
        return failHr("QVStgReadProperty (text)", hr);
    if ((hr = QVStgReadProperty(properties.Get(), propertyName(L"Year"), &year)) != S_OK)
        return failHr("QVStgReadProperty (number)", hr);
    if (std::strcmp(customer, "Example Ltd") != 0 || year != 2026)
        return fail("the properties read back differ from those written");
    std::printf("consumer: properties Customer=\"%s\" Year=%ld\n", customer, year);
    return true;
}

bool createDocument(const std::string& path) {
    ComPtr<IStorage> document;
    HRESULT hr = QVStgCreateStorage(path.c_str(), document.GetAddressOf());
    if (FAILED(hr))
        return failHr("QVStgCreateStorage", hr);
    {
        ComPtr<IStream> body;
        if (FAILED(hr = QVStgOpenStream(document.Get(), L"QuorvaneDocument", body.GetAddressOf())))
            return failHr("QVStgOpenStream", hr);
        const std::string flat = flatDocument();
        if (FAILED(hr = body->Write(flat.data(), static_cast<ULONG>(flat.size()), nullptr)))
            return failHr("IStream::Write", hr);
    }
    if (!writeProperties(document.Get()))
        return false;
    if (FAILED(hr = document->Commit(STGC_DEFAULT)))
        return failHr("IStorage::Commit", hr);
    return true;
}

bool detectRelease(const std::string& path, std::string& release) {
    double version = 0.0;
    if (!GetQVVersionFromFile(path.c_str(), &version))
        return fail("GetQVVersionFromFile could not read the document's version");
    if (!IsKnownFileVersion(version) || version != GetMaxUserFriendlyCompatibleFileVersion())
        return fail("the document's version is not the one written");
    char label[32] = {};
    GetUserFriendlyFileVersion(version, label, sizeof label);
    if (label[0] == '\0')
        return fail("the release catalogue has no release for the document's version");
    std::printf("consumer: document version %.2f, release %s\n", version, label);
    release = label;
    return true;
}

bool writeLogLine(const std::string& logPath, const std::string& release) {
    if (!WriteLog(logPath.c_str(), 1, 0, "consumer", "document written by release %s",
                  release.c_str()))
        return fail("WriteLog wrote nothing");
    std::ifstream log(logPath, std::ios::binary);
    const std::string line{std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
    const std::string expectedEnd = "document written by release " + release + "\r\n";
    if (line.size() < expectedEnd.size() ||
        line.compare(line.size() - expectedEnd.size(), expectedEnd.size(), expectedEnd) != 0 ||
        line.find(" consumer ") == std::string::npos)
        return fail("the log line is not the one written");
    std::printf("consumer: log line %s", line.c_str());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: consumer WORK_FOLDER\n");
        return 2;
    }
    // Unbuffered, so that every line written before a failure is seen.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string folder = argv[1];
    const std::string document = folder + "\\example.ac";
    std::string release;
    const bool passed = checkLoadedDll("z64EVEZE.dll") && checkLoadedDll("z64mfc.dll") &&
                        checkLoadedDll("z64STG.dll") && createDocument(document) &&
                        detectRelease(document, release) &&
                        writeLogLine(folder + "\\example.log", release);
    std::printf(passed ? "consumer: all checks passed\n" : "consumer: the install is not usable\n");
    return passed ? 0 : 1;
}
