// Creating a category of 100 controls, against CreateDialogIndirect of the same template as
// the baseline, and switching a section between two created pages of 50 controls.
//
//   dialog_pages_bench [ROUNDS]   prints milliseconds per creation and per switch
#include "../common/stopwatch.h"

#include <support/unique_resource.h>
#include <z64eveze.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kDefaultRounds = 50;
constexpr WORD kHostTemplate = 1, kLargePage = 2, kFirstHalfPage = 3, kSecondHalfPage = 4;
constexpr int kAnchorId = 10;

// The milliseconds one call of `work` takes; the rounds set up and tear down between calls,
// so each round is one sample and the median of the samples is reported.
template <typename Work>
double milliseconds(Work work) {
    return 1000.0 * bench::timed(work);
}

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

INT_PTR CALLBACK quietProcedure(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

double createCategory(HWND host, int rounds) {
    std::vector<double> samples;
    for (int round = 0; round < rounds; ++round) {
        DLGCATEGORY category{};
        category.hInstance = GetModuleHandleA(nullptr);
        category.lpszTemplate = MAKEINTRESOURCEA(kLargePage);
        LoadDlgCategory(&category);
        samples.push_back(milliseconds([&] {
            CreateDlgCategoryIndirect(&category, host, kAnchorId, GetModuleHandleA(nullptr));
        }));
        DeleteDlgCategory(&category);
        pump();
    }
    return median(samples);
}

double createDialogIndirect(HWND host, int rounds) {
    HMODULE module = GetModuleHandleA(nullptr);
    const auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(LockResource(
        LoadResource(module, FindResourceA(module, MAKEINTRESOURCEA(kLargePage), RT_DIALOG))));
    std::vector<double> samples;
    for (int round = 0; round < rounds; ++round) {
        support::UniqueWindow page;
        samples.push_back(milliseconds([&] {
            page.reset(CreateDialogIndirectParamA(module, dialogTemplate, host, quietProcedure, 0));
        }));
        page.reset();
        pump();
    }
    return median(samples);
}

double switchPages(HWND host, int rounds) {
    HMODULE module = GetModuleHandleA(nullptr);
    DLGSECTION section{};
    InitDlgSection(&section, 0, host, kAnchorId, 0);
    AddDlgSectionCategory(&section, module, MAKEINTRESOURCEA(kFirstHalfPage), 1,
                          DLGSECTION_CREATENOW, 0, module);
    AddDlgSectionCategory(&section, module, MAKEINTRESOURCEA(kSecondHalfPage), 2,
                          DLGSECTION_CREATENOW, 0, module);
    SelectDlgSectionCategory(&section, 1, module);
    std::vector<double> samples;
    for (int round = 0; round < rounds; ++round) {
        samples.push_back(milliseconds([&] {
            SelectDlgSectionCategory(&section, round % 2 == 0 ? 2 : 1, module);
            UpdateWindow(host);
        }));
        pump();
    }
    DeleteDlgSection(&section);
    return median(samples);
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRounds;
    support::UniqueWindow host(CreateDialogParamA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kHostTemplate), nullptr, quietProcedure, 0));
    if (!host) {
        std::fprintf(stderr, "the host dialog could not be created\n");
        return 1;
    }
    ShowWindow(host.get(), SW_SHOWNA);
    UpdateWindow(host.get());
    std::printf("median of %d rounds, milliseconds\n", rounds);
    std::printf("create 100 controls, CreateDlgCategoryIndirect   %8.2f\n",
                createCategory(host.get(), rounds));
    std::printf("create 100 controls, CreateDialogIndirect        %8.2f\n",
                createDialogIndirect(host.get(), rounds));
    std::printf("switch between two pages of 50 (visible host)    %8.2f\n",
                switchPages(host.get(), rounds));
    return 0;
}
