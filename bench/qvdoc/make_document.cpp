// Writes a compound document of a given size through the engine, for the qvdoc benchmark:
// one large stream of patterned bytes plus a few small ones in a storage, committed once.
//   make_document PATH MEBIBYTES
#include <cfb/compound_file.h>
#include <common/error.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

namespace cfb = engine::cfb;

constexpr std::size_t kBlock = 1024 * 1024;
constexpr int kSmallStreams = 16;

int failWith(const char* step) {
    std::fprintf(stderr, "make_document: %s failed: %s\n", step,
                 engine::lastFailureMessage().c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_document PATH MEBIBYTES\n");
        return 2;
    }
    const std::uint64_t mebibytes = std::strtoull(argv[2], nullptr, 10);
    std::shared_ptr<cfb::FileByteArray> bytes;
    if (engine::failed(cfb::FileByteArray::open(argv[1], cfb::FileMode::createAlways, &bytes)))
        return failWith("creating the file");
    std::unique_ptr<cfb::CompoundFile> file;
    if (engine::failed(cfb::CompoundFile::create(bytes, cfb::Version::v4, &file)))
        return failWith("creating the document");
    cfb::Storage root = file->root();
    cfb::Stream large;
    if (engine::failed(root.createStream(u"QuorvaneDocument", &large)))
        return failWith("creating the stream");
    std::vector<std::uint8_t> block(kBlock);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 7);
    for (std::uint64_t i = 0; i < mebibytes; ++i) {
        std::size_t written = 0;
        if (engine::failed(large.write(block.data(), block.size(), &written)))
            return failWith("writing");
    }
    cfb::Storage attachments;
    if (engine::failed(root.createStorage(u"Attachments", &attachments)))
        return failWith("creating a storage");
    for (int i = 0; i < kSmallStreams; ++i) {
        cfb::Stream small;
        const std::string name = "Receipt" + std::to_string(i);
        if (engine::failed(
                attachments.createStream(std::u16string(name.begin(), name.end()), &small)))
            return failWith("creating a small stream");
        std::size_t written = 0;
        if (engine::failed(
                small.write(block.data(), 100u + 300u * static_cast<unsigned>(i), &written)))
            return failWith("writing a small stream");
    }
    if (engine::failed(file->commit()))
        return failWith("committing");
    return 0;
}
