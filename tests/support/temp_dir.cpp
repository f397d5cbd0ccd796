#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <random>
#include <stdexcept>

#include "engine/utf8_path.h"

namespace zendrow::test {

TempDir::TempDir() {
#ifdef _WIN32
    // No mkdtemp: try random names until one is created, which only succeeds when it was free.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        const auto candidate = std::filesystem::temp_directory_path() / ("zendrow-test-" + std::to_string(random()));
        std::error_code code;
        if (std::filesystem::create_directory(candidate, code))
            m_path = candidate;
    }
    if (m_path.empty())
        throw std::runtime_error("cannot create a temporary folder");
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "zendrow-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
#endif
}

std::string TempDir::str() const {
    return utf8FromPath(m_path);
}

std::string TempDir::operator/(const std::string& name) const {
    // Names are written with '/', and come out with the platform's own separator.
    return utf8FromPath((m_path / pathFromUtf8(name)).make_preferred());
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests make folders read-only; give write access back so that everything can go.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(m_path, ignored);
}

} // namespace zendrow::test
