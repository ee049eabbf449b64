// Timings of the compound-file engine against raw file I/O of the same call pattern and
// against libgsf's reader and writer on the same files. A plain timing program, not a test:
// run it through bench/engine/run. Times are in milliseconds, each the best or the median of
// several runs as its table says.
//
//   cfb_bench [--folder DIR] [--quick] [--only TABLE]
//       all tables, or one: stream, open, names or memory
//   cfb_bench --peak-memory BYTES DIR     streams BYTES in and out, prints peak memory (KiB)
#include "cfb/compound_file.h"
#include "common/error.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef CFB_BENCH_WITH_GSF
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#endif

using namespace engine;
using namespace engine::cfb;

namespace {

constexpr std::uint64_t kibibyte = 1024;
constexpr std::uint64_t mebibyte = 1024 * kibibyte;
constexpr std::uint64_t gibibyte = 1024 * mebibyte;
constexpr std::uint64_t streamBenchSize = 64 * mebibyte;
constexpr int repetitions = 3;

std::string folder = "/tmp";

[[noreturn]] void die(const char* what, Status status) {
    std::fprintf(stderr, "%s failed: 0x%08x %s\n", what, static_cast<unsigned>(status),
                 lastFailureMessage().c_str());
    std::exit(1);
}

void check(Status status, const char* what) {
    if (failed(status))
        die(what, status);
}

double millisecondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double bestOf(int runs, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, millisecondsOf(work));
    return best;
}

double median(std::vector<double> times) {
    if (times.empty())
        return 0;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Every run writes from and reads into page-aligned memory: how fast the kernel copies
// between a file's pages and a buffer depends on their relative alignment, which must come
// from the file's layout, not from where the allocator happened to place the buffer.
struct FreeAligned {
    void operator()(std::uint8_t* bytes) const { std::free(bytes); }
};
using Buffer = std::unique_ptr<std::uint8_t[], FreeAligned>;

Buffer pageAligned(std::size_t size) {
    constexpr std::size_t page = 4096;
    auto* bytes =
        static_cast<std::uint8_t*>(std::aligned_alloc(page, (size + page - 1) / page * page));
    if (!bytes)
        std::exit(5);
    return Buffer(bytes);
}

Buffer payload(std::size_t size) {
    Buffer bytes = pageAligned(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

// ---- raw file I/O ---------------------------------------------------------------------

void rawWrite(const std::string& path, std::uint64_t total, std::size_t call) {
    const auto bytes = payload(call);
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (std::uint64_t done = 0; done < total; done += call)
        if (::write(descriptor, bytes.get(), call) != static_cast<ssize_t>(call))
            std::exit(2);
    ::fdatasync(descriptor);
    ::close(descriptor);
}

void rawRead(const std::string& path, std::uint64_t total, std::size_t call) {
    Buffer bytes = pageAligned(call);
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    for (std::uint64_t done = 0; done < total; done += call)
        if (::read(descriptor, bytes.get(), call) != static_cast<ssize_t>(call))
            std::exit(2);
    ::close(descriptor);
}

// ---- engine -----------------------------------------------------------------------------

std::unique_ptr<CompoundFile> openDocument(const std::string& path) {
    std::shared_ptr<FileByteArray> file;
    check(FileByteArray::open(path, FileMode::openReadOnly, &file), "open");
    std::unique_ptr<CompoundFile> document;
    check(CompoundFile::open(file, OpenMode::readOnly, &document), "open document");
    return document;
}

// The name of the i-th of many streams, as the engine and libgsf are given it.
std::string manyStreamName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "stream%08d", i);
    return name;
}

std::u16string widened(const std::string& name) {
    return {name.begin(), name.end()};
}

void engineWrite(const std::string& path, Version version, std::uint64_t total, std::size_t call) {
    const auto bytes = payload(call);
    std::shared_ptr<FileByteArray> file;
    check(FileByteArray::open(path, FileMode::createAlways, &file), "open");
    std::unique_ptr<CompoundFile> document;
    check(CompoundFile::create(file, version, &document), "create");
    Stream stream;
    Storage root = document->root();
    check(root.createStream(u"Data", &stream), "create stream");
    std::size_t written = 0;
    for (std::uint64_t done = 0; done < total; done += call)
        check(stream.write(bytes.get(), call, &written), "write");
    // Four small streams beside it, as a document carries its property sets: the directory
    // then takes two sectors in version 3, and opening it follows the directory's chain.
    for (const char16_t* name :
         {u"Small", u"\u0005SummaryInformation", u"\u0005DocumentSummaryInformation", u"Notes"}) {
        Stream small;
        check(root.createStream(name, &small), "create stream");
        check(small.write("four", 4, &written), "write");
    }
    check(document->commit(), "commit");
}

void engineRead(const std::string& path, std::uint64_t total, std::size_t call) {
    Buffer bytes = pageAligned(call);
    const std::unique_ptr<CompoundFile> document = openDocument(path);
    Stream stream;
    check(document->root().openStream(u"Data", &stream), "open stream");
    std::size_t read = 0;
    for (std::uint64_t done = 0; done < total; done += call) {
        check(stream.read(bytes.get(), call, &read), "read");
        if (read != call)
            std::exit(3);
    }
}

void engineOpenAndReadFour(const std::string& path) {
    const std::unique_ptr<CompoundFile> document = openDocument(path);
    Stream stream;
    check(document->root().openStream(u"Data", &stream), "open stream");
    char four[4];
    std::size_t read = 0;
    check(stream.readAt(0, four, 4, &read), "read");
    if (read != 4)
        std::exit(3);
}

// ---- libgsf -------------------------------------------------------------------------------

#ifdef CFB_BENCH_WITH_GSF
void gsfWrite(const std::string& path, std::uint32_t sectorSize, std::uint64_t total,
              std::size_t call) {
    const auto bytes = payload(call);
    GsfOutput* output = gsf_output_stdio_new(path.c_str(), nullptr);
    GsfOutfile* outfile = gsf_outfile_msole_new_full(output, sectorSize, 64);
    GsfOutput* child = gsf_outfile_new_child(outfile, "Data", FALSE);
    for (std::uint64_t done = 0; done < total; done += call)
        gsf_output_write(child, call, bytes.get());
    gsf_output_close(child);
    g_object_unref(child);
    gsf_output_close(GSF_OUTPUT(outfile));
    g_object_unref(outfile);
    g_object_unref(output);
    // libgsf does not make its file durable; do it here as the raw and engine runs do.
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    ::fdatasync(descriptor);
    ::close(descriptor);
}

void gsfRead(const std::string& path, std::uint64_t total, std::size_t call) {
    Buffer bytes = pageAligned(call);
    GsfInput* input = gsf_input_stdio_new(path.c_str(), nullptr);
    GsfInfile* infile = gsf_infile_msole_new(input, nullptr);
    if (!infile)
        std::exit(4);
    GsfInput* child = gsf_infile_child_by_name(infile, "Data");
    for (std::uint64_t done = 0; done < total; done += call)
        if (!gsf_input_read(child, call, bytes.get()))
            std::exit(4);
    g_object_unref(child);
    g_object_unref(infile);
    g_object_unref(input);
}

void gsfOpenAndReadFour(const std::string& path) {
    GsfInput* input = gsf_input_stdio_new(path.c_str(), nullptr);
    GsfInfile* infile = gsf_infile_msole_new(input, nullptr);
    GsfInput* child = gsf_infile_child_by_name(infile, "Data");
    guint8 four[4];
    if (!child || !gsf_input_read(child, 4, four))
        std::exit(4);
    g_object_unref(child);
    g_object_unref(infile);
    g_object_unref(input);
}

void gsfManyStreams(const std::string& path, int count, double* create, double* open) {
    *create = millisecondsOf([&] {
        GsfOutput* output = gsf_output_stdio_new(path.c_str(), nullptr);
        GsfOutfile* outfile = gsf_outfile_msole_new(output);
        for (int i = 0; i < count; ++i) {
            GsfOutput* child = gsf_outfile_new_child(outfile, manyStreamName(i).c_str(), FALSE);
            gsf_output_write(child, 4, reinterpret_cast<const guint8*>("four"));
            gsf_output_close(child);
            g_object_unref(child);
        }
        gsf_output_close(GSF_OUTPUT(outfile));
        g_object_unref(outfile);
        g_object_unref(output);
    });
    *open = millisecondsOf([&] {
        GsfInput* input = gsf_input_stdio_new(path.c_str(), nullptr);
        GsfInfile* infile = gsf_infile_msole_new(input, nullptr);
        for (int i = 0; i < count; ++i) {
            GsfInput* child = gsf_infile_child_by_name(infile, manyStreamName(i).c_str());
            if (!child)
                std::exit(4);
            g_object_unref(child);
        }
        g_object_unref(infile);
        g_object_unref(input);
    });
}
#endif

// ---- figures ------------------------------------------------------------------------------

// Something timed, and what is done before each run of it without being timed.
struct Timed {
    std::function<void()> work;
    std::function<void()> prepare = [] {
    };
};

// Runs each of `works` once a round for `rounds` rounds, so that a slow spell of the
// machine falls on all of them alike, and returns the best time of each.
std::vector<double> bestOfInterleaved(int rounds, const std::vector<Timed>& works) {
    std::vector<double> best(works.size(), 1e300);
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < works.size(); ++i) {
            works[i].prepare();
            best[i] = std::min(best[i], millisecondsOf(works[i].work));
        }
    }
    return best;
}

// Each write starts without a file: the file the previous run left is removed before the
// timing starts, so that no figure includes freeing the old file's blocks (which the writers
// would pay differently: truncating it, or replacing it by renaming a new one over it).
std::function<void()> removing(const std::string& path) {
    return [path] {
        std::remove(path.c_str());
    };
}

void streamFigures() {
    // Writes depend on the disk and reads (a few milliseconds each) vary most: both get more
    // rounds than the other tables.
    constexpr int writeRounds = 5;
    constexpr int readRounds = 9;
    std::printf("\n64 MiB stream, best of %d writes (each to a new file) and %d reads, run in "
                "turn, ms (ratio to raw in brackets)\n",
                writeRounds, readRounds);
    std::printf("%-8s %-6s %10s %16s %16s %10s %16s %16s\n", "sector", "call", "raw write",
                "engine write", "gsf write", "raw read", "engine read", "gsf read");
    const std::string rawPath = folder + "/cfb-bench-raw.bin";
    const std::string enginePath = folder + "/cfb-bench-engine.cfb";
    const std::string gsfPath = folder + "/cfb-bench-gsf.cfb";
    for (Version version : {Version::v3, Version::v4}) {
        for (std::size_t call :
             {static_cast<std::size_t>(kibibyte), static_cast<std::size_t>(mebibyte)}) {
            std::vector<Timed> writes = {
                {[&] { rawWrite(rawPath, streamBenchSize, call); }, removing(rawPath)},
                {[&] { engineWrite(enginePath, version, streamBenchSize, call); },
                 removing(enginePath)}};
            // Raw reads take the engine's file: the system caches a file written in pieces
            // that start inside a page in smaller blocks, and reads it back slower whoever
            // reads it, so reading the raw file would credit the engine's layout to the engine.
            std::vector<Timed> reads = {{[&] {
                                            rawRead(enginePath, streamBenchSize, call);
                                        }},
                                        {[&] {
                                            engineRead(enginePath, streamBenchSize, call);
                                        }}};
#ifdef CFB_BENCH_WITH_GSF
            writes.push_back(
                {[&] { gsfWrite(gsfPath, sectorSizeOf(version), streamBenchSize, call); },
                 removing(gsfPath)});
            reads.push_back({[&] {
                gsfRead(gsfPath, streamBenchSize, call);
            }});
#endif
            auto written = bestOfInterleaved(writeRounds, writes);
            auto read = bestOfInterleaved(readRounds, reads);
            written.resize(3, 0.0); // no libgsf: its columns read 0
            read.resize(3, 0.0);
            std::printf("%-8u %-6s %10.1f %9.1f (%4.2f) %9.1f (%4.2f) %10.1f %9.1f (%4.2f) "
                        "%9.1f (%4.2f)\n",
                        sectorSizeOf(version), call == kibibyte ? "1 KiB" : "1 MiB", written[0],
                        written[1], written[1] / written[0], written[2], written[2] / written[0],
                        read[0], read[1], read[1] / read[0], read[2], read[2] / read[0]);
        }
    }
    std::remove(rawPath.c_str());
    std::remove(enginePath.c_str());
    std::remove(gsfPath.c_str());
}

void openFigures(bool quick) {
    // Each run takes microseconds: many runs keep the median steady. The documents of one
    // sector size are all written first and then opened in turn, so that the disk's work
    // after writing the largest does not fall on its figures alone.
    constexpr int openRuns = 101;
    std::printf("\nopen a document and read 4 bytes of a stream, median of %d run in turn, ms\n",
                openRuns);
    std::printf("%-8s %-10s %10s %10s\n", "sector", "document", "engine", "gsf");
    std::vector<std::uint64_t> sizes = {64 * kibibyte, 16 * mebibyte, 256 * mebibyte};
    if (!quick)
        sizes.push_back(gibibyte);
    for (Version version : {Version::v3, Version::v4}) {
        std::vector<std::string> paths;
        std::vector<std::vector<double>> engineTimes(sizes.size());
        std::vector<std::vector<double>> gsfTimes(sizes.size());
        for (std::uint64_t size : sizes) {
            paths.push_back(folder + "/cfb-bench-open-" + std::to_string(size) + ".cfb");
            engineWrite(paths.back(), version, size,
                        static_cast<std::size_t>(std::min(size, mebibyte)));
        }
        // The engine's runs and libgsf's apart: libgsf reads the whole FAT of each document,
        // which would leave the engine's next run with cold caches.
        for (int run = 0; run < openRuns; ++run)
            for (std::size_t i = 0; i < sizes.size(); ++i)
                engineTimes[i].push_back(millisecondsOf([&] { engineOpenAndReadFour(paths[i]); }));
#ifdef CFB_BENCH_WITH_GSF
        for (int run = 0; run < openRuns; ++run)
            for (std::size_t i = 0; i < sizes.size(); ++i)
                gsfTimes[i].push_back(millisecondsOf([&] { gsfOpenAndReadFour(paths[i]); }));
#endif
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            std::printf("%-8u %-10s %10.3f %10.3f\n", sectorSizeOf(version),
                        sizes[i] == gibibyte         ? "1 GiB"
                        : sizes[i] == 256 * mebibyte ? "256 MiB"
                        : sizes[i] == 16 * mebibyte  ? "16 MiB"
                                                     : "64 KiB",
                        median(engineTimes[i]), median(gsfTimes[i]));
            std::remove(paths[i].c_str());
        }
    }
}

void createManyStreams(const std::string& path, int count) {
    std::shared_ptr<FileByteArray> file;
    check(FileByteArray::open(path, FileMode::createAlways, &file), "open");
    std::unique_ptr<CompoundFile> document;
    check(CompoundFile::create(file, Version::v3, &document), "create");
    Storage root = document->root();
    std::size_t written = 0;
    for (int i = 0; i < count; ++i) {
        Stream stream;
        check(root.createStream(widened(manyStreamName(i)), &stream), "create stream");
        check(stream.write("four", 4, &written), "write");
    }
    check(document->commit(), "commit");
}

void openManyStreams(const std::string& path, int count) {
    const std::unique_ptr<CompoundFile> document = openDocument(path);
    Storage root = document->root();
    for (int i = 0; i < count; ++i) {
        Stream stream;
        check(root.openStream(widened(manyStreamName(i)), &stream), "open stream");
    }
}

void manyStreamFigures() {
    std::printf("\nstreams created in one storage in name order, then each opened by name, "
                "best of %d, ms\n",
                repetitions);
    std::printf("%-8s %14s %14s %14s %14s\n", "streams", "engine create", "engine open",
                "gsf create", "gsf open");
    const std::string path = folder + "/cfb-bench-names.cfb";
    double engineTotals[2] = {};
    int row = 0;
    for (int count : {10000, 100000}) {
        const double create = bestOf(repetitions, [&] { createManyStreams(path, count); });
        const double open = bestOf(repetitions, [&] { openManyStreams(path, count); });
        engineTotals[row++] = create + open;
        double gsfCreate = 0;
        double gsfOpen = 0;
#ifdef CFB_BENCH_WITH_GSF
        if (count <= 10000) // libgsf looks children up one by one, quadratic in the count
            gsfManyStreams(path, count, &gsfCreate, &gsfOpen);
#endif
        std::printf("%-8d %14.1f %14.1f %14.1f %14.1f\n", count, create, open, gsfCreate, gsfOpen);
    }
    std::printf("engine 100,000 / 10,000 (create + open): %.1fx\n",
                engineTotals[1] / engineTotals[0]);
    std::remove(path.c_str());
}

// Streams `size` bytes into a new document and back out in 1 MiB calls; reports the peak
// resident memory of this process.
int peakMemory(std::uint64_t size) {
    const std::string path = folder + "/cfb-bench-memory.cfb";
    engineWrite(path, Version::v4, size, static_cast<std::size_t>(mebibyte));
    engineRead(path, size, static_cast<std::size_t>(mebibyte));
    std::remove(path.c_str());
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}

void memoryFigures(const char* self, bool quick) {
    std::printf("\npeak resident memory streaming one stream in and out (4096-byte sectors)\n");
    for (std::uint64_t size : {64 * mebibyte, quick ? 256 * mebibyte : gibibyte}) {
        const std::string command =
            std::string(self) + " --peak-memory " + std::to_string(size) + " " + folder;
        FILE* pipe = ::popen(command.c_str(), "r");
        long kib = 0;
        if (!pipe || std::fscanf(pipe, "%ld", &kib) != 1)
            kib = -1;
        if (pipe)
            ::pclose(pipe);
        std::printf("%6" PRIu64 " MiB stream: %ld KiB\n", size / mebibyte, kib);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--peak-memory") == 0) {
        folder = argv[3];
        return peakMemory(std::strtoull(argv[2], nullptr, 10));
    }
    bool quick = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc)
            folder = argv[++i];
    }
    std::printf("compound-file engine benchmark, files in %s%s\n", folder.c_str(),
                quick ? " (quick)" : "");
    const auto wanted = [&only](const char* table) {
        return only.empty() || only == table;
    };
    if (wanted("stream"))
        streamFigures();
    if (wanted("open"))
        openFigures(quick);
    if (wanted("names"))
        manyStreamFigures();
    if (wanted("memory"))
        memoryFigures(argv[0], quick);
    return 0;
}
