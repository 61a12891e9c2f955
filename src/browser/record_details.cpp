#include "browser/record_details.h"

#include "conn/text_codec.h"

#include <QByteArray>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

#include "conn/connection.h"
#include "conn/text_format.h"

namespace dbk {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr size_t kHexBytesPerLine = 16;

QByteArrayView view(std::string_view bytes) {
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

struct TextForm {
    QString text;
    bool crlf = false;
};

// The bytes as the text box shows them, or nullopt when the box could not give them back
// exactly (see ShownValue).
const char* codecName(ServerEncoding encoding) {
    return encoding == ServerEncoding::ShiftJis ? "CP932" : "UTF-8";
}

std::optional<TextForm> asText(std::string_view bytes, ServerEncoding encoding) {
    QStringDecoder decoder(codecName(encoding), QStringConverter::Flag::Stateless);
    TextForm form{decoder.decode(view(bytes))};
    if (decoder.hasError())
        return std::nullopt;
    QStringEncoder encoder(codecName(encoding), QStringConverter::Flag::Stateless);
    const QByteArray back = encoder.encode(form.text);
    if (encoder.hasError() || QByteArrayView(back) != view(bytes))
        return std::nullopt;
    bool bareLineFeed = false;
    const QString& t = form.text;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c == u'\r') {
            if (i + 1 == t.size() || t[i + 1] != u'\n')
                return std::nullopt;
            form.crlf = true;
            ++i;
        } else if (c == u'\n') {
            bareLineFeed = true;
        } else if (c != u'\t' && isControl(c)) {
            return std::nullopt;
        }
    }
    if (form.crlf && bareLineFeed)
        return std::nullopt;
    if (form.crlf)
        form.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return form;
}

std::string hexDigits(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        out += kHexDigits[u >> 4];
        out += kHexDigits[u & 0x0F];
    }
    return out;
}

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// "varbinary" of "varbinary(16)", in lower case.
std::string typeWord(std::string_view type) {
    std::string word;
    for (const char c : type) {
        if (!std::isalpha(static_cast<unsigned char>(c)))
            break;
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return word;
}

}  // namespace

std::string hexLiteral(std::string_view bytes, const std::string& charset, unsigned long serverVersion) {
    if (serverVersion != 0 && serverVersion < 40100)
        return bytes.empty() ? "''" : "0x" + hexDigits(bytes);
    const std::string literal = "X'" + hexDigits(bytes) + "'";
    return charset.empty() ? literal : "_" + charset + " " + literal;
}

FieldImage fieldImage(const std::string& key) {
    if (key.starts_with("PRI"))
        return FieldImage::PrimaryKey;
    if (key.starts_with("MUL"))
        return FieldImage::Indexed;
    return FieldImage::Other;
}

bool isBinaryType(std::string_view type) {
    static constexpr std::array<std::string_view, 15> kBinary = {
        "binary",   "varbinary",  "tinyblob",        "blob",         "mediumblob",
        "longblob", "bit",        "geometry",        "point",        "linestring",
        "polygon",  "multipoint", "multilinestring", "multipolygon", "geometrycollection"};
    return std::find(kBinary.begin(), kBinary.end(), typeWord(type)) != kBinary.end();
}

QString hexText(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size() * 3));
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            text += i % kHexBytesPerLine == 0 ? u'\n' : u' ';
        const auto u = static_cast<unsigned char>(bytes[i]);
        text += QLatin1Char(kHexDigits[u >> 4]);
        text += QLatin1Char(kHexDigits[u & 0x0F]);
    }
    return text;
}

std::optional<std::string> bytesFromHex(QStringView text) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size() / 2));
    int high = -1;
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        const int digit = hexValue(c.unicode());
        if (digit < 0)
            return std::nullopt;
        if (high < 0) {
            high = digit;
        } else {
            bytes += static_cast<char>(high << 4 | digit);
            high = -1;
        }
    }
    if (high >= 0)
        return std::nullopt;
    return bytes;
}

ShownValue showValue(const FieldDescription& field, const Cell& value, ServerEncoding encoding) {
    ShownValue shown;
    shown.null = !value.has_value();
    const std::string_view bytes = value ? std::string_view(*value) : std::string_view();
    std::optional<TextForm> text;
    if (!isBinaryType(field.type))
        text = asText(bytes, encoding);
    if (text) {
        shown.text = std::move(text->text);
        shown.crlf = text->crlf;
    } else {
        shown.form = ShownValue::Form::Hex;
        shown.text = hexText(bytes);
    }
    return shown;
}

EditedValue readEdit(const ShownValue& shown, const Cell& original, const QString& typed,
                     ServerEncoding encoding) {
    EditedValue edited;
    if (!original && typed.isEmpty())
        return edited;  // nothing typed: NULL stays NULL
    if (shown.form == ShownValue::Form::Hex) {
        std::optional<std::string> bytes = bytesFromHex(typed);
        if (!bytes) {
            edited.kind = EditedValue::Kind::BadHex;
            return edited;
        }
        edited.bytes = std::move(*bytes);
    } else {
        QString text = typed;
        if (shown.crlf)
            text.replace(u'\n', QStringLiteral("\r\n"));
        QStringEncoder encoder(codecName(encoding), QStringConverter::Flag::Stateless);
        const QByteArray bytes = encoder.encode(text);
        if (encoder.hasError()) {
            edited.kind = EditedValue::Kind::NotShiftJis;
            return edited;
        }
        edited.bytes.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    if (!original || *original != edited.bytes)
        edited.kind = EditedValue::Kind::Changed;
    return edited;
}

std::string valueLiteral(const Connection& connection, const FieldDescription& field,
                         std::string_view value) {
    // A bit field compares its bytes as a number: a string would be read as a decimal text.
    if (typeWord(field.type) == "bit" && value.size() <= sizeof(unsigned long long)) {
        unsigned long long number = 0;
        for (const char b : value)
            number = number << 8 | static_cast<unsigned char>(b);
        return std::to_string(number);
    }
    if (isBinaryType(field.type))
        return hexLiteral(value, "", connection.serverVersion());
    if (!asText(value, serverEncoding(connection))) {
        const std::string charset = connection.characterSetName();
        return hexLiteral(value, charset.empty() ? "cp932" : charset, connection.serverVersion());
    }
    return "'" + connection.escape(value) + "'";
}

std::string keyCondition(const Connection& connection, const std::vector<FieldDescription>& fields,
                         const Row& values) {
    std::string condition;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fieldImage(fields[i].key) != FieldImage::PrimaryKey)
            continue;
        const std::string name = connection.ident(fields[i].name);
        const Cell* value = i < values.size() ? &values[i] : nullptr;
        const std::string piece = value && *value
                                      ? format("%s = %s", name, valueLiteral(connection, fields[i], **value))
                                      : format("%s IS NULL", name);
        condition += condition.empty() ? piece : " AND " + piece;
    }
    return condition;
}

std::string updateStatement(const Connection& connection, const std::string& database,
                            const std::string& table, const FieldDescription& field, std::string_view value,
                            const std::string& condition) {
    return format("UPDATE %s SET %s=%s WHERE %s LIMIT 1", connection.qualifiedName(database, table),
                  connection.ident(field.name), valueLiteral(connection, field, value), condition);
}

std::string deleteStatement(const Connection& connection, const std::string& database,
                            const std::string& table, const std::string& condition) {
    return format("DELETE FROM %s WHERE %s LIMIT 1", connection.qualifiedName(database, table), condition);
}

RecordDetails::RecordDetails(Connection& connection, std::string database, std::string table, Row values)
    : connection_(connection),
      database_(std::move(database)),
      table_(std::move(table)),
      values_(std::move(values)) {}

bool RecordDetails::load() {
    fields_.clear();
    condition_.clear();
    auto listing = readFieldListing(connection_, database_, table_);
    if (!listing)
        return false;
    fields_ = std::move(*listing);
    condition_ = keyCondition(connection_, fields_, values_);
    return true;
}

const Cell& RecordDetails::value(size_t field) const {
    // A row shorter than the field list reads as NULL past its end.
    static const Cell missing;
    return field < values_.size() ? values_[field] : missing;
}

ShownValue RecordDetails::shownValue(size_t field) const {
    static const FieldDescription unknown;
    return showValue(field < fields_.size() ? fields_[field] : unknown, value(field),
                     serverEncoding(connection_));
}

long long RecordDetails::matchedRows() const {
    // "Rows matched: 1  Changed: 0  Warnings: 0": an unchanged value still matched its row.
    const std::string info = connection_.info();
    const std::string label = "Rows matched:";
    const size_t at = info.find(label);
    if (at == std::string::npos)
        return -1;
    return std::atoll(info.c_str() + at + label.size());
}

RecordDetails::Outcome RecordDetails::change(size_t field, const QString& typed) {
    if (!hasKey() || field >= fields_.size())
        return Outcome::NoKey;
    const EditedValue edited = readEdit(shownValue(field), value(field), typed, serverEncoding(connection_));
    switch (edited.kind) {
        case EditedValue::Kind::Unchanged:
            return Outcome::Unchanged;
        case EditedValue::Kind::BadHex:
            return Outcome::BadHex;
        case EditedValue::Kind::NotShiftJis:
            return Outcome::NotShiftJis;
        case EditedValue::Kind::Changed:
            break;
    }
    return update(field, edited.bytes);
}

RecordDetails::Outcome RecordDetails::update(size_t field, const std::string& value) {
    if (!hasKey() || field >= fields_.size())
        return Outcome::NoKey;
    const std::string sql =
        updateStatement(connection_, database_, table_, fields_[field], value, condition_);
    if (!connection_.exec(sql))
        return Outcome::Failed;
    if (matchedRows() == 0)
        return Outcome::NotFound;
    if (values_.size() <= field)
        values_.resize(fields_.size());
    values_[field] = value;
    updated_ = true;
    load();
    return Outcome::Done;
}

RecordDetails::Outcome RecordDetails::remove() {
    if (!hasKey())
        return Outcome::NoKey;
    if (!connection_.exec(deleteStatement(connection_, database_, table_, condition_)))
        return Outcome::Failed;
    if (connection_.affectedRows() == 0)
        return Outcome::NotFound;
    deleted_ = true;
    return Outcome::Done;
}

}  // namespace dbk
