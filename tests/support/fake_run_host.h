#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/conversion_run.h"

namespace zendrow::test {

// A front end as the run sees it: a list of items in one folder and the settings, all of which the
// test may change between files through onFileDone, and a record of what the run reported.
struct FakeRun : RunItems, RunObserver {
    std::string listFolder;
    std::vector<std::string> items;
    std::vector<bool> selected;
    RunSettings current;

    std::vector<int> started;
    std::vector<FileResult> results;
    std::vector<RunCounts> counts;
    std::vector<std::uint64_t> progress; ///< bytes done within the file in hand, as reported
    int settingsAsked = 0;
    std::function<void(FakeRun&)> onFileDone;
    std::function<bool(FakeRun&)> stopAfterFile;

    int count() override { return static_cast<int>(items.size()); }
    bool isSelected(int index) override { return selected.at(static_cast<std::size_t>(index)); }
    RunItem item(int index) override { return {listFolder, items.at(static_cast<std::size_t>(index))}; }
    int selectedCount() override { return static_cast<int>(std::count(selected.begin(), selected.end(), true)); }

    void runStarted(int n) override { started.push_back(n); }
    void fileDone(const FileResult& r, const RunCounts& c) override {
        results.push_back(r);
        counts.push_back(c);
        if (onFileDone)
            onFileDone(*this);
    }
    void fileProgress(std::uint64_t done, std::uint64_t) override { progress.push_back(done); }
    bool stopRequested() override { return stopAfterFile && stopAfterFile(*this); }

    RunReport run(FileSystem& fs) {
        return runConversion(
            *this,
            [this] {
                ++settingsAsked;
                return current;
            },
            *this, fs);
    }
};

} // namespace zendrow::test
