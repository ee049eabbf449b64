// Collecting suppressed messages: the time per text of QVMessageBox in suppress mode plus
// one QVErrorList at the end, against plain CString appends of the same texts, for growing
// counts (the time per text must stay flat: growth is linear).
//
//   error_list_bench [TEXTS]   the largest count (100000 unless given); prints a table
#include <z64eveze.h>

#include "../common/stopwatch.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultTexts = 100000;
constexpr int kTextLength = 40;
constexpr int kRuns = 5; // the best of five

std::string sampleText(int index) {
    char text[kTextLength + 1];
    std::snprintf(text, sizeof text, "Record %08d could not be posted: %05d", index, index % 99991);
    return std::string(text, kTextLength);
}

} // namespace

int main(int argc, char** argv) {
    const int largest = argc > 1 ? std::atoi(argv[1]) : kDefaultTexts;
    std::printf("%10s %18s %18s %8s\n", "texts", "QVMessageBox ns", "CString += ns", "ratio");
    std::vector<std::string> texts; // made before timing, so that only collecting is measured
    for (int index = 0; index < largest; ++index)
        texts.push_back(sampleText(index));
    for (int count = largest / 4; count <= largest; count *= 2) {
        size_t listLength = 0;
        const double collected = bench::bestOf(kRuns, [&] {
            QVClearErrorList(1);
            for (int index = 0; index < count; ++index)
                QVMessageBox(nullptr, texts[index].c_str(), nullptr, MB_OK);
            listLength = std::strlen(QVErrorList());
        });
        const double plain = bench::bestOf(kRuns, [&] {
            CString list;
            for (int index = 0; index < count; ++index) {
                if (!list.IsEmpty())
                    list += '\n';
                list += texts[index].c_str();
            }
        });
        if (listLength != static_cast<size_t>(count) * (kTextLength + 1) - 1)
            return 1;
        std::printf("%10d %18.1f %18.1f %8.2f\n", count, collected * 1e9 / count,
                    plain * 1e9 / count, collected / plain);
    }
    QVClearErrorList(0);
    return 0;
}
