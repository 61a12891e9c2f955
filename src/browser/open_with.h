#pragma once

#include <QString>
#include <string>
#include <vector>

#include "browser/record_page.h"

namespace dbk {

class Connection;

// What the open-with options form chose.
struct OpenWithOptions {
    bool fromTable = false;      // else the rows of the list
    bool withFieldNames = true;  // a first line of field names
};

// Where TEMP.CSV goes: the directory the program started in, else the current one.
QString tempCsvPath(const std::string& startupDirectory);

std::string fieldNamesStatement(const Connection& connection, const std::string& table);
std::string wholeTableStatement(const Connection& connection, const std::string& table);

struct TempCsvOutcome {
    enum Status {
        Written,       // complete
        CannotCreate,  // the file could not be created; nothing was read
        ReadFailed,    // a statement failed or the server went away while rows came
        WriteFailed,   // the file could not be written to its end
    };
    Status status = Written;
    long long dataLines = 0;
    unsigned long long unmappableValues = 0;  // values with characters the file cannot hold
};

// Writes TEMP.CSV: the field names of the current table ("select * from t Limit 1") when asked
// for, then the list's rows or every row of the table. The table is read with one streamed
// statement, the connection marked busy meanwhile, window events let through every 1,000 rows.
// The connection's default database must be the table's.
TempCsvOutcome writeTempCsv(Connection& connection, const std::string& table,
                            const std::vector<Row>& listRows, const OpenWithOptions& options,
                            const QString& path);

}  // namespace dbk
