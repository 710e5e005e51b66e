// Build tool: runs a SQL text file into a fresh SQLite database file.
//   tavolix_language_db_tool <source.sql> <output.db>
// The database is written beside the output and renamed over it only when
// every statement has succeeded, so a failed build never leaves a half file.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sqlite3.h>
#include <sstream>
#include <string>

namespace {

struct ConnectionCloser
{
    void operator()(sqlite3* connection) const noexcept { sqlite3_close(connection); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;

struct ErrorTextFree
{
    void operator()(char* text) const noexcept { sqlite3_free(text); }
};
using ErrorText = std::unique_ptr<char, ErrorTextFree>;

bool readWholeFile(const std::filesystem::path& path, std::string& contents)
{
    std::ifstream input(path, std::ios::binary);
    if (!input)
        return false;
    std::ostringstream buffer;
    buffer << input.rdbuf();
    contents = buffer.str();
    return !input.bad();
}

bool buildDatabase(const std::string& sql, const std::filesystem::path& target)
{
    sqlite3* opened = nullptr;
    const int openResult = sqlite3_open_v2(target.c_str(), &opened,
                                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const Connection connection(opened);
    if (openResult != SQLITE_OK) {
        std::cerr << "cannot create " << target << ": " << sqlite3_errstr(openResult) << '\n';
        return false;
    }
    char* rawError = nullptr;
    const int execResult = sqlite3_exec(connection.get(), sql.c_str(), nullptr, nullptr, &rawError);
    const ErrorText error(rawError);
    if (execResult != SQLITE_OK) {
        std::cerr << "SQL failed: " << (error ? error.get() : sqlite3_errstr(execResult)) << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: " << (argc > 0 ? argv[0] : "tavolix_language_db_tool")
                  << " <source.sql> <output.db>\n";
        return 2;
    }
    const std::filesystem::path source = argv[1];
    const std::filesystem::path output = argv[2];
    std::filesystem::path partial = output;
    partial += ".partial";

    std::string sql;
    if (!readWholeFile(source, sql)) {
        std::cerr << "cannot read " << source << '\n';
        return 1;
    }
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    if (!buildDatabase(sql, partial)) {
        std::filesystem::remove(partial, ignored);
        return 1;
    }
    std::error_code renameError;
    std::filesystem::rename(partial, output, renameError);
    if (renameError) {
        std::cerr << "cannot write " << output << ": " << renameError.message() << '\n';
        std::filesystem::remove(partial, ignored);
        return 1;
    }
    return 0;
}
