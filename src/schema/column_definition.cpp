#include "schema/column_definition.h"

#include <utility>

#include "conn/connection.h"
#include "conn/text_codec.h"
#include "schema/value_list.h"

namespace dbk {

namespace {

const std::vector<std::pair<std::string, TypeFamily>>& catalogueWithFamilies() {
    using F = TypeFamily;
    static const std::vector<std::pair<std::string, TypeFamily>> types = {
        {"INT", F::Numeric},       {"INTEGER", F::Numeric}, {"TINYINT", F::Numeric}, {"SMALLINT", F::Numeric},
        {"MEDIUMINT", F::Numeric}, {"BIGINT", F::Numeric},  {"REAL", F::Numeric},    {"FLOAT", F::Numeric},
        {"DOUBLE", F::Numeric},    {"DECIMAL", F::Numeric}, {"NUMERIC", F::Numeric}, {"CHAR", F::Character},
        {"VARCHAR", F::Character}, {"TINYBLOB", F::Plain},  {"BLOB", F::Plain},      {"MEDIUMBLOB", F::Plain},
        {"LONGBLOB", F::Plain},    {"TINYTEXT", F::Plain},  {"TEXT", F::Plain},      {"MEDIUMTEXT", F::Plain},
        {"LONGTEXT", F::Plain},    {"TIMESTAMP", F::Plain}, {"DATE", F::Plain},      {"TIME", F::Plain},
        {"DATETIME", F::Plain},    {"YEAR", F::Plain},      {"ENUM", F::Enumerated}, {"SET", F::Enumerated},
    };
    return types;
}

}  // namespace

const std::vector<std::string>& typeCatalogue() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const auto& [name, family] : catalogueWithFamilies())
            out.push_back(name);
        return out;
    }();
    return names;
}

std::optional<TypeFamily> familyOf(std::string_view type) {
    for (const auto& [name, family] : catalogueWithFamilies()) {
        if (name == type)
            return family;
    }
    return std::nullopt;
}

std::string columnText(const ColumnDefinition& c, ColumnHead head, NameQuoting quoting,
                       const KeptAttributes& kept) {
    std::string text;
    switch (head) {
        case ColumnHead::CreateLine:
            text = Connection::ident(c.name, quoting) + " " + c.type;
            break;
        case ColumnHead::Add:
            text = Connection::ident(c.name, quoting) + " " + c.type + " ";
            break;
        case ColumnHead::Modify:
            text = c.type;
            break;
    }
    const std::optional<TypeFamily> family = familyOf(c.type);
    if (!family)
        return head == ColumnHead::Modify ? std::string() : text;

    const bool numeric = *family == TypeFamily::Numeric;
    if (*family == TypeFamily::Enumerated && !c.length.empty()) {
        // The values as the server reads them, whether the list was written by the value list
        // editor, kept from the column's type or typed.
        const ServerEncoding encoding =
            quoting == NameQuoting::ShiftJis ? ServerEncoding::ShiftJis : ServerEncoding::Utf8;
        text +=
            "(" + toServer(encoding, valueListText(parseValueList(fromServer(encoding, c.length)))) + ") ";
    } else if (*family != TypeFamily::Plain && !c.length.empty()) {
        text += "(" + c.length + ") ";
    }
    if (numeric && c.isUnsigned)
        text += " UNSIGNED ";
    if (numeric && c.zerofill)
        text += " ZEROFILL ";
    if (*family == TypeFamily::Character && c.binary)
        text += " BINARY ";
    if (!kept.characterSet.empty())
        text += " " + kept.characterSet + " ";
    text += c.null ? " NULL " : " NOT NULL ";
    if (numeric && !c.defaultValue.empty())
        text += " DEFAULT " + c.defaultValue;
    if (numeric && c.autoIncrement && head != ColumnHead::Modify)
        text += " AUTO_INCREMENT ";
    for (const std::string& piece : kept.trailing)
        text += " " + piece + " ";
    return text;
}

}  // namespace dbk
