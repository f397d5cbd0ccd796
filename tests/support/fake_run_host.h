#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/conversion_run.h"

namespace zendrow::test {

// The window as the run sees it: a list of items in one folder, a naming choice and a destination,
// all of which the test may change between files through onFileDone.
struct FakeHost : RunHost {
    std::string listFolder;
    std::vector<std::string> items;
    std::vector<bool> selected;
    int rule = 0;
    std::string dest;
    bool answerCreate = false;

    std::vector<std::string> asked;
    std::vector<int> started;
    std::vector<FileResult> results;
    std::vector<RunCounts> counts;
    int eventsProcessed = 0;
    std::function<void(FakeHost&)> onFileDone;

    int itemCount() override { return static_cast<int>(items.size()); }
    bool isSelected(int item) override { return selected.at(static_cast<std::size_t>(item)); }
    std::string itemText(int item) override { return items.at(static_cast<std::size_t>(item)); }
    std::string folder(int) override { return listFolder; }
    int selectedCount() override { return static_cast<int>(std::count(selected.begin(), selected.end(), true)); }
    int namingRule() override { return rule; }
    std::string destination() override { return dest; }
    bool confirmCreateDestination(const std::string& d) override {
        asked.push_back(d);
        return answerCreate;
    }
    void runStarted(int n) override { started.push_back(n); }
    void fileDone(const FileResult& r, const RunCounts& c) override {
        results.push_back(r);
        counts.push_back(c);
        if (onFileDone)
            onFileDone(*this);
    }
    void processEvents() override { ++eventsProcessed; }
};

} // namespace zendrow::test
