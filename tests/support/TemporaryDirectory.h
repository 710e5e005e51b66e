#pragma once

#include <filesystem>

namespace tavolix::test {

// A fresh directory under the system's temp folder, removed with its
// contents on destruction. The path is empty if none could be made.
class TemporaryDirectory final
{
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace tavolix::test
