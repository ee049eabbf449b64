// Files written by other software, read in place from the shared corpus: real documents
// must read exactly as the independent readers report them; fuzzed ones must be refused
// (or read as far as they are valid) quickly, never crash or hang.
#include "tool_support.h"

#include <chrono>
#include <filesystem>

namespace engine::cfb::testing {
namespace {

namespace fs = std::filesystem;

const fs::path corpus = CFB_SHARED_CORPUS;
const std::string manifestScript = CFB_TOOLS "/ole_manifest.py";

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The real files but the one whose chains loop, which LoopingChainIsRefused reads.
std::vector<fs::path> realFiles() {
    auto files = filesIn(corpus / "cfb-peers" / "real");
    std::erase_if(files,
                  [](const fs::path& path) { return path.filename() == "FatChainLoop_v3.cfs"; });
    return files;
}

Status openFile(const fs::path& path, std::unique_ptr<CompoundFile>* file) {
    std::shared_ptr<FileByteArray> bytes;
    ENGINE_RETURN_IF_FAILED(FileByteArray::open(path.string(), FileMode::openReadOnly, &bytes));
    return CompoundFile::open(bytes, OpenMode::readOnly, file);
}

class CorpusTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::is_directory(corpus / "cfb-peers"))
            GTEST_SKIP() << "no shared corpus at " << corpus;
    }
};

TEST_F(CorpusTest, RealFilesReadAsOlefileAndGsfReadThem) {
    const bool haveOlefile = olefileAvailable();
    const bool haveGsf = gsfAvailable();
    if (!haveOlefile && !haveGsf)
        GTEST_SKIP() << "neither olefile nor gsf is installed";
    const auto files = realFiles();
    ASSERT_FALSE(files.empty());
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        std::unique_ptr<CompoundFile> file;
        ASSERT_OK(openFile(path, &file));
        const auto manifest = manifestOf(*file);
        if (haveOlefile) {
            EXPECT_EQ(manifest, olefileManifest(path.string(), manifestScript));
        }
        if (haveGsf)
            expectGsfAgrees(path.string(), manifest);
    }
}

// A workbook whose header carries another writer's minor version (0x21) and nothing else
// changed: the format only asks for 0x3E, so it reads as the independent readers read it,
// and the strict validator remarks on the field instead of calling it damage.
TEST_F(CorpusTest, AnyMinorVersionReadsAsOlefileReadsIt) {
    if (!olefileAvailable())
        GTEST_SKIP() << "python3 with olefile is not installed";
    auto bytes = readFile(corpus / "cfb-peers" / "real" / "Office365BlankSample_v2507.xls");
    ASSERT_GT(bytes.size(), headerSize);
    store16(&bytes[headerOffset::minorVersion], 0x21);
    TemporaryFolder folder;
    const fs::path changed = folder.path() / "minor-version.xls";
    writeFile(changed, bytes);

    std::unique_ptr<CompoundFile> file;
    ASSERT_OK(openFile(changed, &file));
    const auto manifest = manifestOf(*file);
    EXPECT_EQ(manifest.size(), 3u);
    EXPECT_EQ(manifest, olefileManifest(changed.string(), manifestScript));
    MemoryByteArray memory(bytes);
    std::vector<std::string> problems, remarks;
    EXPECT_OK(validateFile(memory, &problems, &remarks));
    EXPECT_EQ(remarks, std::vector<std::string>{"header field minor version is 33, not 62"});
}

// The TestStream files say in their names how long their one stream is, and its byte i is
// i mod 256: checked without any other reader.
TEST_F(CorpusTest, TestStreamFilesHoldTheirPattern) {
    int checked = 0;
    for (const auto& path : realFiles()) {
        const std::string name = path.filename().string();
        std::smatch match;
        static const std::regex testStream(R"(TestStream_v[34]_(\d+)\.cfs)");
        if (!std::regex_match(name, match, testStream))
            continue;
        SCOPED_TRACE(name);
        std::unique_ptr<CompoundFile> file;
        ASSERT_OK(openFile(path, &file));
        Stream stream;
        ASSERT_OK(file->root().openStream(u"TestStream", &stream));
        const auto bytes = readWholeStream(stream);
        ASSERT_EQ(bytes.size(), std::stoul(match[1]));
        for (std::size_t i = 0; i < bytes.size(); ++i)
            ASSERT_EQ(bytes[i], i % 256) << "at byte " << i;
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

// Real files opened for writing take a change and a commit without damage to what they
// held, and olefile reads the result.
TEST_F(CorpusTest, RealFilesTakeChangesAndStayReadable) {
    for (const auto& path : realFiles()) {
        SCOPED_TRACE(path.filename().string());
        std::unique_ptr<CompoundFile> file;
        auto bytes = std::make_shared<MemoryByteArray>(readFile(path)); // the corpus never changes
        ASSERT_OK(CompoundFile::open(bytes, OpenMode::readWrite, &file));
        auto before = manifestOf(*file);
        Stream added;
        ASSERT_OK(file->root().createStream(u"Added by the engine", &added));
        const auto data = pattern(5000, 1);
        ASSERT_OK(added.writeAt(0, data.data(), data.size()));
        ASSERT_OK(file->commit());
        expectValidFile(*bytes);
        ASSERT_OK(file->revert());
        const auto after = manifestOf(*file);
        before.push_back("F " + toHex(toUtf8(u"Added by the engine")) + " 5000 " +
                         toHex(std::string(data.begin(), data.end())));
        std::sort(before.begin(), before.end());
        EXPECT_EQ(after, before);
    }
}

Status readEverything(const fs::path& path) {
    std::shared_ptr<FileByteArray> bytes;
    ENGINE_RETURN_IF_FAILED(FileByteArray::open(path.string(), FileMode::openReadOnly, &bytes));
    return testing::readEverything(bytes);
}

// Every FAT entry of this file links to sector 0; its directory sector holds no valid entry,
// which is found before any chain is followed.
TEST_F(CorpusTest, LoopingChainIsRefused) {
    const fs::path path = corpus / "cfb-peers" / "real" / "FatChainLoop_v3.cfs";
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(readEverything(path), Status::docfileCorrupt);
    EXPECT_FALSE(lastFailureMessage().empty());
}

TEST_F(CorpusTest, FuzzedFilesAreRefusedQuickly) {
    const auto files = filesIn(corpus / "cfb-peers" / "fuzzed");
    ASSERT_FALSE(files.empty());
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        const auto start = std::chrono::steady_clock::now();
        const Status status = readEverything(path);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_TRUE(status == Status::ok || status == Status::docfileCorrupt ||
                    status == Status::invalidHeader)
            << static_cast<std::uint32_t>(status) << " " << lastFailureMessage();
        EXPECT_TRUE(succeeded(status) || !lastFailureMessage().empty());
    }
}

} // namespace
} // namespace engine::cfb::testing
