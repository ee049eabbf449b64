// Interoperability with independent readers and writers: files the engine writes are read
// identically by python's olefile and by libgsf's gsf tool, and files gsf writes are read by
// the engine. Skipped when the tools are not installed.
#include "tool_support.h"

namespace engine::cfb::testing {
namespace {

const std::string manifestScript = CFB_TOOLS "/ole_manifest.py";

// Fills a file with nested storages, streams of boundary sizes, names beyond ASCII and one
// storage with enough children to need a deep tree, then commits it.
void buildSampleFile(CompoundFile& file) {
    Storage root = file.root();
    std::uint32_t seed = 0;
    const auto add = [&seed](Storage& storage, const std::u16string& name, std::size_t size) {
        ASSERT_OK(writeStream(storage, name, pattern(size, ++seed)));
    };
    for (std::size_t size : {0, 1, 64, 511, 513, 4095, 4096, 5000, 70000})
        add(root, u"size " + fromUtf8(std::to_string(size)), size);
    add(root, u"\u0005SummaryInformation", 300);
    add(root, u"\u00c9t\u00e9 \u0416\u0436 \u03a9", 100);
    Storage folder, inner, empty, many;
    ASSERT_OK(root.createStorage(u"Folder", &folder));
    ASSERT_OK(folder.createStorage(u"Inner", &inner));
    add(inner, u"deep", 9000);
    ASSERT_OK(folder.createStorage(u"Empty", &empty));
    ASSERT_OK(root.createStorage(u"Many", &many));
    for (std::size_t i = 0; i < 300; ++i)
        add(many, u"item" + fromUtf8(std::to_string(i)), i % 7);
    ASSERT_OK(file.commit());
}

class InteropTest : public ::testing::TestWithParam<Version> {};

INSTANTIATE_TEST_SUITE_P(Versions, InteropTest, ::testing::Values(Version::v3, Version::v4),
                         [](const auto& info) { return versionName(info.param); });

TEST_P(InteropTest, EngineFilesReadTheSameInOlefileAndGsf) {
    const bool haveOlefile = olefileAvailable();
    const bool haveGsf = gsfAvailable();
    if (!haveOlefile && !haveGsf)
        GTEST_SKIP() << "neither olefile nor gsf is installed";
    TemporaryFolder folder;
    const std::string path = (folder.path() / "sample.cfb").string();
    std::vector<std::string> manifest;
    {
        std::shared_ptr<FileByteArray> bytes;
        ASSERT_OK(FileByteArray::open(path, FileMode::createAlways, &bytes));
        std::unique_ptr<CompoundFile> file;
        ASSERT_OK(CompoundFile::create(bytes, GetParam(), &file));
        buildSampleFile(*file);
        expectValidFile(*bytes);
        manifest = manifestOf(*file);
    }
    ASSERT_GT(manifest.size(), 300u);
    if (haveOlefile) {
        EXPECT_EQ(olefileManifest(path, manifestScript), manifest);
    }
    if (haveGsf)
        expectGsfAgrees(path, manifest);
}

TEST(InteropGsfTest, FilesWrittenByGsfAreRead) {
    if (!gsfAvailable())
        GTEST_SKIP() << "gsf is not installed";
    TemporaryFolder folder;
    const std::size_t sizes[] = {1, 63, 64, 4095, 4096, 4097, 100000};
    std::string command = std::string(gsfPath) + " createole out.ole";
    for (std::size_t size : sizes) {
        writeFile(folder.path() / ("f" + std::to_string(size)),
                  pattern(size, static_cast<std::uint32_t>(size)));
        command += " f" + std::to_string(size);
    }
    ASSERT_TRUE(outputOf("cd " + shellQuoted(folder.path().string()) + " && " + command));
    std::shared_ptr<FileByteArray> bytes;
    ASSERT_OK(
        FileByteArray::open((folder.path() / "out.ole").string(), FileMode::openReadOnly, &bytes));
    std::unique_ptr<CompoundFile> file;
    ASSERT_OK(CompoundFile::open(bytes, OpenMode::readOnly, &file));
    Storage root = file->root();
    std::vector<ElementStat> children;
    ASSERT_OK(root.list(&children));
    EXPECT_EQ(children.size(), std::size(sizes));
    for (std::size_t size : sizes) {
        SCOPED_TRACE(size);
        Stream stream;
        ASSERT_OK(root.openStream(u"f" + fromUtf8(std::to_string(size)), &stream));
        EXPECT_EQ(readWholeStream(stream), pattern(size, static_cast<std::uint32_t>(size)));
    }
}

} // namespace
} // namespace engine::cfb::testing
