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
    std::string str() const { return m_path.string(); }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace zendrow::test
