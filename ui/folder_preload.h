#pragma once

#include <future>
#include <string>
#include <string_view>
#include <vector>

namespace zendrow {
class FileSystem;
}

namespace zendrow::ui {

/// The window's start folder, read on a thread of its own from the program's first moment, so that
/// a folder of many thousands of files is read while Qt starts rather than after it.
class FolderPreload {
public:
    /// Starts reading folder (absolute) through fs with the list's first mask; an empty folder
    /// reads nothing. fs must outlive this.
    FolderPreload(FileSystem& fs, std::string folder);
    ~FolderPreload();
    FolderPreload(const FolderPreload&) = delete;
    FolderPreload& operator=(const FolderPreload&) = delete;

    /// The names of folder with mask, when that is what was read, as listMatchingFiles gives them;
    /// waits for the reading to end. Gives them once; false for anything else.
    bool take(const std::string& folder, std::string_view mask, std::vector<std::string>& names);

private:
    struct Listing {
        bool read = false;
        std::vector<std::string> names;
    };

    std::string m_folder;
    std::future<Listing> m_listing;
};

} // namespace zendrow::ui
