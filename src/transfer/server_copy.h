#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conn/host_file.h"

namespace dbk {

class Connection;

// The saved servers a table can be copied from: the records of the address book in file order,
// without the deleted ones (host "*"). A missing file gives none.
std::vector<HostRecord> savedServers(const QString& hostFilePath);

// The records per batch as typed: a decimal number above 0 (blanks around it allowed); nullopt
// for "", 0, a negative number, text that is not a number or one too large to hold.
std::optional<uint64_t> batchRowsFromText(std::string_view text);
// How many statements the copy takes: the source rows divided by the batch size, plus one (the
// empty page that ends the copy). nullopt while either text is not a usable number.
std::optional<uint64_t> batchCount(std::string_view sourceRowsText, std::string_view batchRowsText);
// "%d回に分割" with the count, or "" without one.
QString batchCountText(std::optional<uint64_t> count);

// The type and target rewriting of the copy's CREATE statement (UTF-8), each doing nothing until
// it has what it needs: a statement and a type, a statement and a target database.
std::string retypedIfChosen(std::string_view statement, std::string_view type, std::string_view clause);
std::string retargetedIfChosen(std::string_view statement, std::string_view database, std::string_view table);

// What the lists of the source server show. Names are bytes as the connection gives them.
// "SHOW DATABASES"; nullopt when refused.
std::optional<std::vector<std::string>> sourceDatabases(Connection& source);
// "USE db" and "SHOW TABLES"; nullopt when either is refused.
std::optional<std::vector<std::string>> sourceTables(Connection& source, std::string_view database);
// "SHOW fields FROM db.t": per field its name and the next five columns up to the first NULL.
std::optional<std::vector<std::vector<std::string>>> sourceFields(Connection& source,
                                                                  std::string_view database,
                                                                  std::string_view table);

}  // namespace dbk
