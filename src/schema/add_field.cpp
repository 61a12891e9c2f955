#include "schema/add_field.h"

#include "conn/connection.h"

namespace dbk {

namespace {

// " INDEX name ( column )" or " INDEX ( column )" without a name.
std::string keyClause(const Connection& connection, const char* kind, const std::string& keyName,
                      const std::string& column) {
    std::string clause = std::string(" ") + kind + " ";
    if (!keyName.empty())
        clause += connection.ident(keyName) + " ";
    return clause + "( " + connection.ident(column) + " )";
}

}  // namespace

std::vector<AddFieldStep> addFieldSteps(const Connection& connection, std::string_view database,
                                        std::string_view table, const ColumnDefinition& column,
                                        const AddFieldChoices& choices) {
    const std::string alter = "ALTER TABLE " + connection.qualifiedName(database, table) + " ADD ";
    std::vector<AddFieldStep> steps;
    std::string add = alter + columnText(column, ColumnHead::Add, connection.nameQuoting());
    if (choices.atTop)
        add += " FIRST ";
    steps.push_back({add, "", false});
    if (choices.primaryKey) {
        steps.push_back({alter + " PRIMARY KEY ( " + connection.ident(column.name) + " )",
                         "プライマリキー作成ができませんでした\n%d:%s", true});
    }
    if (choices.index) {
        steps.push_back({alter + keyClause(connection, "INDEX", choices.indexName, column.name),
                         "インデックス作成ができませんでした\n%d:%s", true});
    }
    if (choices.unique) {
        steps.push_back({alter + keyClause(connection, "UNIQUE", choices.uniqueName, column.name),
                         "一意制約作成ができませんでした\n%d:%s", true});
    }
    return steps;
}

}  // namespace dbk
