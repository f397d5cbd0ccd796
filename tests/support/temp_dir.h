#pragma once

#include <filesystem>
#include <string>

namespace zendrow::test {

/// A fresh folder under the system's temporary folder, removed with everything in it at scope end,
/// also after a failed assertion.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    /// The folder as UTF-8, the engine's form of paths.
    std::string str() const;
    /// The path of name (which may have '/' in it) inside the folder, as UTF-8.
    std::string operator/(const std::string& name) const;

private:
    std::filesystem::path m_path;
};

} // namespace zendrow::test
