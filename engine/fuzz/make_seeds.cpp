// Writes the fuzzer's seed files: small compound files of both versions with storages, mini
// streams and regular streams. Built and run by engine/fuzz/run when the seeds are missing.
#include "cfb/compound_file.h"

#include <cstdio>
#include <string>

using namespace engine;
using namespace engine::cfb;

static bool writeSeed(const std::string& path, Version version, int streams, int storages) {
    std::shared_ptr<FileByteArray> bytes;
    std::unique_ptr<CompoundFile> file;
    if (failed(FileByteArray::open(path, FileMode::createAlways, &bytes)) ||
        failed(CompoundFile::create(bytes, version, &file)))
        return false;
    Storage root = file->root();
    Storage at = root;
    for (int level = 0; level < storages; ++level) {
        Storage inner;
        if (failed(at.createStorage(u"Level" + std::u16string(1, u'A' + level), &inner)))
            return false;
        at = inner;
    }
    for (int i = 0; i < streams; ++i) {
        Stream stream;
        Storage& where = i % 2 ? at : root;
        if (failed(where.createStream(u"S" + std::u16string(1, u'a' + i), &stream)))
            return false;
        std::string data(static_cast<std::size_t>(i == 0 ? 4500 : 60 * i + 1), 'a' + i);
        if (failed(stream.writeAt(0, data.data(), data.size())))
            return false;
    }
    return succeeded(file->commit());
}

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    const bool ok = writeSeed(folder + "/v3_small", Version::v3, 3, 1) &&
                    writeSeed(folder + "/v3_nested", Version::v3, 6, 3) &&
                    writeSeed(folder + "/v4_small", Version::v4, 2, 1);
    if (!ok)
        std::fprintf(stderr, "writing the seeds failed\n");
    return ok ? 0 : 1;
}
