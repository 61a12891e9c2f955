#pragma once

#include <QString>
#include <QStringView>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browser/field_listing.h"
#include "browser/record_page.h"
#include "conn/text_codec.h"

namespace dbk {

class Connection;

// The small picture of a field row: primary-key field, indexed field, any other field.
enum class FieldImage { PrimaryKey = 0, Indexed = 1, Other = 2 };
FieldImage fieldImage(const std::string& key);

// Fields whose values are bytes rather than text, by their type in "SHOW fields": binary,
// varbinary, the blobs, bit and the spatial types.
bool isBinaryType(std::string_view type);

// How the contents box shows a field's value.
//  - Text: the field is not binary and its bytes are text of the session's set that the box
//    gives back unchanged: they decode without error, encode back to the same bytes, and hold no
//    control character but tab and line feed. A carriage return is allowed only when every line feed
//    follows one; such text is shown with line feeds and written back with CR LF.
//  - Hex: everything else, two digits a byte, sixteen bytes a line.
//  - NULL shows as an empty box (in the form of its field) and stays NULL until something is
//    typed there.
struct ShownValue {
    enum class Form { Text, Hex };
    Form form = Form::Text;
    bool null = false;
    bool crlf = false;
    QString text;
};
// In the session's encoding (Shift_JIS or UTF-8).
ShownValue showValue(const FieldDescription& field, const Cell& value, ServerEncoding encoding);

// Bytes as the box shows them in hex, and back: hex digits in pairs, blanks and line breaks
// between them ignored; nullopt for anything else.
QString hexText(std::string_view bytes);
std::optional<std::string> bytesFromHex(QStringView text);

// What the text in the box means for the value it showed.
struct EditedValue {
    enum class Kind { Unchanged, Changed, BadHex, NotShiftJis };
    Kind kind = Kind::Unchanged;
    std::string bytes;  // the new value when Changed
};
EditedValue readEdit(const ShownValue& shown, const Cell& original, const QString& typed,
                     ServerEncoding encoding);

// Bytes as a hex literal: X'..', after the character set introducer when one is given
// (_cp932 X'..'). Servers before 4.1 know neither form: they get 0x... (an empty value '').
std::string hexLiteral(std::string_view bytes, const std::string& charset, unsigned long serverVersion);

// A field's value as a statement carries it: text in quotes through Connection::escape; a
// binary field's bytes as X'..'; text that is shown as hex as a hex literal in the connection's
// character set (_cp932 X'..'), so that the server reads the very bytes the list holds; a bit
// field's bytes as the number they are.
std::string valueLiteral(const Connection& connection, const FieldDescription& field, std::string_view value);

// The condition that finds the record again: "a = '1' AND b = '2'" over the primary-key
// fields, values as valueLiteral() writes them, names quoted where they need it. A NULL value
// gives "c IS NULL" so that the condition still hits the row it was read from. "" when there
// is no key field.
std::string keyCondition(const Connection& connection, const std::vector<FieldDescription>& fields,
                         const Row& values);

std::string updateStatement(const Connection& connection, const std::string& database,
                            const std::string& table, const FieldDescription& field, std::string_view value,
                            const std::string& condition);
std::string deleteStatement(const Connection& connection, const std::string& database,
                            const std::string& table, const std::string& condition);

// One record of the list, field by field, with its update and delete. Works on a copy of the
// list row; only change(), update() and remove() reach the server.
class RecordDetails {
public:
    enum class Outcome { Done, Failed, NotFound, NoKey, Unchanged, BadHex, NotShiftJis };

    RecordDetails(Connection& connection, std::string database, std::string table, Row values);

    // Lists the fields ("SHOW fields") and composes the key condition from the current values;
    // false (nothing listed, no key) when the statement fails.
    bool load();

    const std::vector<FieldDescription>& fields() const { return fields_; }
    const Row& values() const { return values_; }
    // The value of a field position as the contents box shows it.
    ShownValue shownValue(size_t field) const;
    // Update and delete are offered only when the table has a primary key.
    bool hasKey() const { return !condition_.empty(); }
    const std::string& condition() const { return condition_; }

    // Reads the text of the contents box against the value it showed and sends it only when
    // the value differs: Unchanged, BadHex and NotShiftJis send nothing.
    Outcome change(size_t field, const QString& typed);
    // Sets one field to a new value in the one row the key finds. Done: the value is kept, the
    // updated flag set and the fields listed again, so a changed key value finds the row later.
    Outcome update(size_t field, const std::string& value);
    // Deletes the one row the key finds; Done sets the deleted flag.
    Outcome remove();

    bool updated() const { return updated_; }
    bool deleted() const { return deleted_; }
    const std::string& database() const { return database_; }
    const std::string& table() const { return table_; }
    Connection& connection() { return connection_; }

private:
    // The number of rows the last UPDATE matched, from the server's info line; -1 if unknown.
    long long matchedRows() const;
    const Cell& value(size_t field) const;

    Connection& connection_;
    std::string database_;
    std::string table_;
    Row values_;
    std::vector<FieldDescription> fields_;
    std::string condition_;
    bool updated_ = false;
    bool deleted_ = false;
};

}  // namespace dbk
