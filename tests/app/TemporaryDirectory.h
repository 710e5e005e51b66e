#pragma once

#include <QtGlobal>
#include <filesystem>

namespace tavolix::test {

// A fresh directory under the system's temp folder, removed with its
// contents on destruction.
class TemporaryDirectory final
{
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    Q_DISABLE_COPY_MOVE(TemporaryDirectory)

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace tavolix::test
