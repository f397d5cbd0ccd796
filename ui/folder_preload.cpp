#include "ui/folder_preload.h"

#include <filesystem>
#include <utility>

#include "engine/folder_listing.h"
#include "engine/utf8_path.h"

namespace zendrow::ui {

namespace {

std::string normalFolder(const std::string& folder) {
    std::filesystem::path path = pathFromUtf8(folder).lexically_normal();
    if (!path.has_filename() && path.has_relative_path())
        path = path.parent_path();
    return utf8FromPath(path);
}

} // namespace

FolderPreload::FolderPreload(FileSystem& fs, std::string folder) : m_folder(std::move(folder)) {
    if (m_folder.empty())
        return;
    m_listing = std::async(std::launch::async, [&fs, folder = m_folder] {
        Listing listing;
        std::string error;
        // A folder that cannot be read is read again by the window, which shows why.
        listing.read = listMatchingFiles(fs, folder, kDefaultMask, listing.names, error);
        return listing;
    });
}

FolderPreload::~FolderPreload() {
    if (m_listing.valid())
        m_listing.wait();
}

bool FolderPreload::take(const std::string& folder, std::string_view mask, std::vector<std::string>& names) {
    if (!m_listing.valid() || mask != kDefaultMask || normalFolder(folder) != normalFolder(m_folder))
        return false;
    Listing listing = m_listing.get();
    if (!listing.read)
        return false;
    names = std::move(listing.names);
    return true;
}

} // namespace zendrow::ui
