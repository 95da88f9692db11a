// The manual view's share of a frame: refilling the 80 x 25 guide panel from
// the page (every frame while the panel shows), and rebuilding the page after
// a heading opens or closes with everything open.
#include <benchmark/benchmark.h>

#include "game/panels.h"
#include "shell/manual_view.h"

namespace {
std::shared_ptr<ManualView> openEverything(window& panel) {
    std::shared_ptr<ManualView> view = installManualView(panel);
    for (bool opened = true; opened;) {
        opened = false;
        for (const ManualView::Row& row : view->page()) {
            if (row.heading && !view->isOpen(row.heading)) {
                view->toggle(row.heading);
                opened = true;
                break;
            }
        }
    }
    return view;
}

void BM_ManualViewFill(benchmark::State& state) {
    window panel("bench", 1, 4, 80, 25);
    std::shared_ptr<ManualView> view = openEverything(panel);
    for (auto _ : state) {
        view->fill();
        benchmark::DoNotOptimize(panel.grid[0][0]);
    }
}
BENCHMARK(BM_ManualViewFill);

void BM_ManualViewToggleAndRebuild(benchmark::State& state) {
    window panel("bench", 1, 4, 80, 25);
    std::shared_ptr<ManualView> view = openEverything(panel);
    const ManualNode* root = view->page().front().heading;
    for (auto _ : state) {
        view->toggle(root);
        benchmark::DoNotOptimize(view->page().size());
    }
}
BENCHMARK(BM_ManualViewToggleAndRebuild);
} // namespace
