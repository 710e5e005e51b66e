#pragma once

// Owning handles for the SQLite connection and its prepared statements, so
// that no early return can leak either one.

#include <memory>
#include <sqlite3.h>

namespace tavolix {

struct SqliteConnectionCloser
{
    void operator()(sqlite3* connection) const noexcept { sqlite3_close(connection); }
};

struct SqliteStatementFinalizer
{
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};

using SqliteConnection = std::unique_ptr<sqlite3, SqliteConnectionCloser>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteStatementFinalizer>;

} // namespace tavolix
