#include "conn/connection.h"

#include "conn/server_generation.h"

#include <errmsg.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace dbk {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Words the servers reserve (MySQL 3.23 to 8.x and MariaDB 10/11); a name equal to one of
// them must be quoted.
// clang-format off
constexpr std::array kReservedWords = {
    "ACCESSIBLE", "ADD", "ALL", "ALTER", "ANALYZE", "AND", "AS", "ASC", "ASENSITIVE", "BEFORE", "BETWEEN",
    "BIGINT", "BINARY", "BLOB", "BOTH", "BY", "CALL", "CASCADE", "CASE", "CHANGE", "CHAR", "CHARACTER",
    "CHECK", "COLLATE", "COLUMN", "CONDITION", "CONSTRAINT", "CONTINUE", "CONVERT", "CREATE", "CROSS",
    "CUBE", "CUME_DIST", "CURRENT_DATE", "CURRENT_ROLE", "CURRENT_TIME", "CURRENT_TIMESTAMP",
    "CURRENT_USER", "CURSOR", "DATABASE", "DATABASES", "DAY_HOUR", "DAY_MICROSECOND", "DAY_MINUTE",
    "DAY_SECOND", "DEC", "DECIMAL", "DECLARE", "DEFAULT", "DELAYED", "DELETE", "DELETE_DOMAIN_ID",
    "DENSE_RANK", "DESC", "DESCRIBE", "DETERMINISTIC", "DISTINCT", "DISTINCTROW", "DIV", "DO_DOMAIN_IDS",
    "DOUBLE", "DROP", "DUAL", "EACH", "ELSE", "ELSEIF", "EMPTY", "ENCLOSED", "ESCAPED", "EXCEPT", "EXISTS",
    "EXIT", "EXPLAIN", "FALSE", "FETCH", "FIRST_VALUE", "FLOAT", "FLOAT4", "FLOAT8", "FOR", "FORCE",
    "FOREIGN", "FROM", "FULLTEXT", "FUNCTION", "GENERAL", "GENERATED", "GET", "GRANT", "GROUP", "GROUPING",
    "GROUPS", "HAVING", "HIGH_PRIORITY", "HOUR_MICROSECOND", "HOUR_MINUTE", "HOUR_SECOND", "IF", "IGNORE",
    "IGNORE_DOMAIN_IDS", "IGNORE_SERVER_IDS", "IN", "INDEX", "INFILE", "INNER", "INOUT", "INSENSITIVE",
    "INSERT", "INT", "INT1", "INT2", "INT3", "INT4", "INT8", "INTEGER", "INTERSECT", "INTERVAL", "INTO",
    "IO_AFTER_GTIDS", "IO_BEFORE_GTIDS", "IS", "ITERATE", "JOIN", "JSON_TABLE", "KEY", "KEYS", "KILL",
    "LAG", "LAST_VALUE", "LATERAL", "LEAD", "LEADING", "LEAVE", "LEFT", "LIKE", "LIMIT", "LINEAR", "LINES",
    "LOAD", "LOCALTIME", "LOCALTIMESTAMP", "LOCK", "LONG", "LONGBLOB", "LONGTEXT", "LOOP", "LOW_PRIORITY",
    "MASTER_BIND", "MASTER_HEARTBEAT_PERIOD", "MASTER_SSL_VERIFY_SERVER_CERT", "MATCH", "MAXVALUE",
    "MEDIUMBLOB", "MEDIUMINT", "MEDIUMTEXT", "MIDDLEINT", "MINUTE_MICROSECOND", "MINUTE_SECOND", "MOD",
    "MODIFIES", "NATURAL", "NOT", "NO_WRITE_TO_BINLOG", "NTH_VALUE", "NTILE", "NULL", "NUMERIC", "OF",
    "OFFSET", "ON", "OPTIMIZE", "OPTIMIZER_COSTS", "OPTION", "OPTIONALLY", "OR", "ORDER", "OUT", "OUTER",
    "OUTFILE", "OVER", "PAGE_CHECKSUM", "PARSE_VCOL_EXPR", "PARTITION", "PERCENT_RANK", "POSITION",
    "PRECISION", "PRIMARY", "PROCEDURE", "PURGE", "RANGE", "RANK", "READ", "READS", "READ_WRITE", "REAL",
    "RECURSIVE", "REFERENCES", "REF_SYSTEM_ID", "REGEXP", "RELEASE", "RENAME", "REPEAT", "REPLACE",
    "REQUIRE", "RESIGNAL", "RESTRICT", "RETURN", "RETURNING", "REVOKE", "RIGHT", "RLIKE", "ROW",
    "ROWS", "ROW_NUMBER", "SCHEMA", "SCHEMAS", "SECOND_MICROSECOND", "SELECT", "SENSITIVE", "SEPARATOR",
    "SET", "SHOW", "SIGNAL", "SLOW", "SMALLINT", "SPATIAL", "SPECIFIC", "SQL", "SQLEXCEPTION", "SQLSTATE",
    "SQLWARNING", "SQL_BIG_RESULT", "SQL_CALC_FOUND_ROWS", "SQL_SMALL_RESULT", "SSL", "STARTING",
    "STATS_AUTO_RECALC", "STATS_PERSISTENT", "STATS_SAMPLE_PAGES", "STORED", "STRAIGHT_JOIN", "SYSTEM",
    "TABLE", "TERMINATED", "THEN", "TINYBLOB", "TINYINT", "TINYTEXT", "TO", "TRAILING", "TRIGGER", "TRUE",
    "UNDO", "UNION", "UNIQUE", "UNLOCK", "UNSIGNED", "UPDATE", "USAGE", "USE", "USING", "UTC_DATE",
    "UTC_TIME", "UTC_TIMESTAMP", "VALUES", "VARBINARY", "VARCHAR", "VARCHARACTER", "VARYING", "VIRTUAL",
    "WHEN", "WHERE", "WHILE", "WINDOW", "WITH", "WRITE", "XOR", "YEAR_MONTH", "ZEROFILL",
};
// clang-format on

bool isReservedWord(std::string_view word) {
    return std::any_of(kReservedWords.begin(), kReservedWords.end(),
                       [&](const char* reserved) { return equalsIgnoringCase(word, reserved); });
}

bool isShiftJisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
bool isShiftJisTrailByte(unsigned char c) {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// A lead byte and a trail byte at `i` form one Shift_JIS character.
bool isShiftJisPair(std::string_view text, size_t i) {
    return i + 1 < text.size() && isShiftJisLeadByte(static_cast<unsigned char>(text[i])) &&
           isShiftJisTrailByte(static_cast<unsigned char>(text[i + 1]));
}

// "0x1F" and "0b101" are number literals to the server, not names.
bool looksLikeHexOrBitLiteral(std::string_view name) {
    if (name.size() < 3 || name[0] != '0')
        return false;
    const std::string_view digits = name.substr(2);
    if (name[1] == 'x')
        return digits.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
    if (name[1] == 'b')
        return digits.find_first_not_of("01") == std::string_view::npos;
    return false;
}

// The library's options for the protection asked for. Asking for encryption encrypts whenever
// the server offers it; whether a Required or Verified connection really is encrypted is checked
// after the connect (the library lets a server without encryption through).
void applyTlsOptions(MYSQL* mysql, const ConnectParams& params) {
    if (params.tls == TlsMode::Off)
        return;
    const my_bool on = 1;
    const my_bool verify = params.tls == TlsMode::Verified ? 1 : 0;
    mysql_optionsv(mysql, MYSQL_OPT_SSL_ENFORCE, &on);
    mysql_optionsv(mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &verify);
    if (params.tls == TlsMode::Verified && !params.tlsCaFile.empty())
        mysql_optionsv(mysql, MYSQL_OPT_SSL_CA, params.tlsCaFile.c_str());
}

}  // namespace

bool FieldInfo::isNumeric() const {
    switch (type) {
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
        case MYSQL_TYPE_TINY:
        case MYSQL_TYPE_SHORT:
        case MYSQL_TYPE_LONG:
        case MYSQL_TYPE_FLOAT:
        case MYSQL_TYPE_DOUBLE:
        case MYSQL_TYPE_LONGLONG:
        case MYSQL_TYPE_INT24:
        case MYSQL_TYPE_YEAR:
        case MYSQL_TYPE_BIT:
            return true;
        default:
            return false;
    }
}

// ---- Result ----

Result Result::wrap(MYSQL* mysql, MYSQL_RES* res, bool streamed) {
    Result r;
    r.ok_ = true;
    r.streamed_ = streamed;
    r.mysql_ = mysql;
    r.res_.reset(res);
    const unsigned count = mysql_num_fields(res);
    const MYSQL_FIELD* fields = mysql_fetch_fields(res);
    r.fields_.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        const MYSQL_FIELD& f = fields[i];
        r.fields_.push_back(FieldInfo{std::string(f.name, f.name_length),
                                      std::string(f.table, f.table_length), std::string(f.db, f.db_length),
                                      f.type, f.length, f.flags, f.decimals, f.charsetnr});
    }
    return r;
}

int Result::columnIndex(std::string_view name) const {
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (equalsIgnoringCase(fields_[i].name, name))
            return static_cast<int>(i);
    }
    return -1;
}

uint64_t Result::rowCount() const {
    return res_ ? mysql_num_rows(res_.get()) : 0;
}

void Result::seek(uint64_t row) {
    if (res_ && !streamed_) {
        mysql_data_seek(res_.get(), row);
        row_ = nullptr;
        lengths_ = nullptr;
    }
}

bool Result::next() {
    if (!res_)
        return false;
    row_ = mysql_fetch_row(res_.get());
    if (!row_) {
        lengths_ = nullptr;
        if (streamed_ && mysql_ && mysql_errno(mysql_) != 0)
            ok_ = false;
        return false;
    }
    lengths_ = mysql_fetch_lengths(res_.get());
    return true;
}

bool Result::isNull(unsigned column) const {
    return !row_ || column >= fields_.size() || !row_[column];
}

std::string_view Result::text(unsigned column) const {
    if (isNull(column))
        return {};
    return std::string_view(row_[column], lengths_[column]);
}

std::optional<std::string> Result::value(unsigned column) const {
    if (isNull(column))
        return std::nullopt;
    return std::string(text(column));
}

std::string Result::text(std::string_view columnName) const {
    const int column = columnIndex(columnName);
    return column < 0 ? std::string() : std::string(text(static_cast<unsigned>(column)));
}

std::optional<std::string> Result::value(std::string_view columnName) const {
    const int column = columnIndex(columnName);
    return column < 0 ? std::nullopt : value(static_cast<unsigned>(column));
}

std::vector<std::optional<std::string>> Result::row() const {
    std::vector<std::optional<std::string>> values;
    values.reserve(fields_.size());
    for (unsigned i = 0; i < fields_.size(); ++i)
        values.push_back(value(i));
    return values;
}

// ---- Connection ----

Connection::Connection() = default;
Connection::Connection(ConnectParams params) : params_(std::move(params)) {}
Connection::~Connection() = default;
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;

bool Connection::open(const ConnectParams& params) {
    close();
    MYSQL* mysql = mysql_init(nullptr);
    if (!mysql) {
        setError(CR_OUT_OF_MEMORY, "The client library could not create a connection handle.");
        return false;
    }
    mysql_.reset(mysql);
    // The handshake names the set the session most likely gets, so that a current server needs
    // no second round trip; the server's version decides once it is known.
    const std::string handshake = !params.characterSet.empty()                  ? params.characterSet
                                  : params.sessionText == SessionText::ShiftJis ? "cp932"
                                                                                : "utf8mb4";
    mysql_options(mysql, MYSQL_SET_CHARSET_NAME, handshake.c_str());
    const unsigned int localInfile = params.localInfile ? 1 : 0;
    mysql_options(mysql, MYSQL_OPT_LOCAL_INFILE, &localInfile);
    if (params.connectTimeoutSeconds > 0) {
        mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &params.connectTimeoutSeconds);
    }
    applyTlsOptions(mysql, params);
    const char* socket = params.unixSocket.empty() ? nullptr : params.unixSocket.c_str();
    const char* database = params.database.empty() ? nullptr : params.database.c_str();
    if (!mysql_real_connect(mysql, params.host.c_str(), params.user.c_str(), params.password.c_str(),
                            database, params.port, socket, CLIENT_MULTI_RESULTS)) {
        rememberError();
        mysql_.reset();
        return false;
    }
    const bool encryptionRequired = params.tls == TlsMode::Required || params.tls == TlsMode::Verified;
    if (encryptionRequired && !mysql_get_ssl_cipher(mysql)) {
        setError(CR_SSL_CONNECTION_ERROR,
                 "The server does not offer an encrypted connection, and this connection requires one.");
        mysql_.reset();
        return false;
    }
    const unsigned long version = mysql_get_server_version(mysql);
    std::string wanted = params.characterSet.empty()
                             ? ServerGeneration::sessionCharacterSet(version, params.sessionText)
                             : params.characterSet;
    if (wanted == "cp932" && version < 50003)
        wanted = "sjis";  // servers before 5.0 know Shift_JIS only as "sjis"
    if (version < 40100) {
        // The old servers have no SET NAMES: their text is their own. The client library keeps
        // the set of the handshake for escaping, which must read Shift_JIS pairs as one
        // character, so a handshake in another set is done once more.
        const std::string current = characterSetName();
        if (current != "cp932" && current != "sjis") {
            ConnectParams again = params;
            again.characterSet = "cp932";
            return open(again);
        }
    } else if (characterSetName() != wanted && mysql_set_character_set(mysql, wanted.c_str()) != 0) {
        rememberError();
        mysql_.reset();
        return false;
    }
    params_ = params;
    params_.characterSet = characterSetName();
    lastErrno_ = 0;
    lastError_.clear();
    return true;
}

void Connection::close() {
    mysql_.reset();
}

void Connection::rememberError() {
    if (mysql_)
        setError(mysql_errno(mysql_.get()), mysql_error(mysql_.get()));
}

void Connection::setError(unsigned int number, std::string text) {
    lastErrno_ = number;
    lastError_ = std::move(text);
}

unsigned int Connection::errorNumber() const {
    return mysql_ ? mysql_errno(mysql_.get()) : lastErrno_;
}

std::string Connection::errorText() const {
    return mysql_ ? mysql_error(mysql_.get()) : lastError_;
}

std::string Connection::errorLine() const {
    return std::to_string(errorNumber()) + ":" + errorText();
}

bool Connection::exec(std::string_view sql) {
    Result r = query(sql);
    return r.ok();
}

bool Connection::requireOpen() {
    if (mysql_)
        return true;
    setError(CR_SERVER_GONE_ERROR, "Not connected to a server.");
    return false;
}

Result Connection::query(std::string_view sql) {
    if (!requireOpen())
        return Result::failure();
    MYSQL* m = mysql_.get();
    if (mysql_real_query(m, sql.data(), static_cast<unsigned long>(sql.size())) != 0)
        return Result::failure();
    MYSQL_RES* res = mysql_store_result(m);
    if (!res) {
        if (mysql_field_count(m) != 0)
            return Result::failure();
        return Result::success();
    }
    return Result::wrap(m, res, false);
}

Result Connection::stream(std::string_view sql) {
    if (!requireOpen())
        return Result::failure();
    MYSQL* m = mysql_.get();
    if (mysql_real_query(m, sql.data(), static_cast<unsigned long>(sql.size())) != 0)
        return Result::failure();
    MYSQL_RES* res = mysql_use_result(m);
    if (!res) {
        if (mysql_field_count(m) != 0)
            return Result::failure();
        return Result::success();
    }
    return Result::wrap(m, res, true);
}

void Connection::discardPendingResults() {
    if (!mysql_)
        return;
    MYSQL* m = mysql_.get();
    while (mysql_more_results(m) && mysql_next_result(m) == 0) {
        if (MYSQL_RES* res = mysql_use_result(m))
            mysql_free_result(res);
    }
}

uint64_t Connection::affectedRows() const {
    return mysql_ ? mysql_affected_rows(mysql_.get()) : 0;
}

uint64_t Connection::insertId() const {
    return mysql_ ? mysql_insert_id(mysql_.get()) : 0;
}

std::string Connection::info() const {
    const char* text = mysql_ ? mysql_info(mysql_.get()) : nullptr;
    return text ? text : "";
}

unsigned int Connection::fieldCount() const {
    return mysql_ ? mysql_field_count(mysql_.get()) : 0;
}

bool Connection::selectDb(std::string_view database) {
    if (!requireOpen())
        return false;
    return mysql_select_db(mysql_.get(), std::string(database).c_str()) == 0;
}

bool Connection::ping() {
    return mysql_ && mysql_ping(mysql_.get()) == 0;
}

Result Connection::listDbs(const char* wildcard) {
    if (!requireOpen())
        return Result::failure();
    MYSQL_RES* res = mysql_list_dbs(mysql_.get(), wildcard);
    return res ? Result::wrap(mysql_.get(), res, false) : Result::failure();
}

Result Connection::listTables(const char* wildcard) {
    if (!requireOpen())
        return Result::failure();
    MYSQL_RES* res = mysql_list_tables(mysql_.get(), wildcard);
    return res ? Result::wrap(mysql_.get(), res, false) : Result::failure();
}

Result Connection::listFields(std::string_view table, const char* wildcard) {
    if (!requireOpen())
        return Result::failure();
    MYSQL_RES* res = mysql_list_fields(mysql_.get(), std::string(table).c_str(), wildcard);
    return res ? Result::wrap(mysql_.get(), res, false) : Result::failure();
}

Result Connection::listProcesses() {
    if (!requireOpen())
        return Result::failure();
    MYSQL_RES* res = mysql_list_processes(mysql_.get());
    return res ? Result::wrap(mysql_.get(), res, false) : Result::failure();
}

bool Connection::kill(unsigned long threadId) {
    return mysql_ && mysql_kill(mysql_.get(), threadId) == 0;
}

bool Connection::refresh(unsigned int options) {
    return mysql_ && mysql_refresh(mysql_.get(), options) == 0;
}

bool Connection::shutdown() {
    return mysql_ && mysql_shutdown(mysql_.get(), SHUTDOWN_DEFAULT) == 0;
}

std::string Connection::stat() {
    const char* text = mysql_ ? mysql_stat(mysql_.get()) : nullptr;
    return text ? text : "";
}

std::string Connection::tlsCipher() const {
    const char* cipher = mysql_ ? mysql_get_ssl_cipher(mysql_.get()) : nullptr;
    return cipher ? cipher : "";
}

std::string Connection::tlsVersion() const {
    const char* version = nullptr;
    if (mysql_ && isEncrypted())
        mariadb_get_infov(mysql_.get(), MARIADB_CONNECTION_TLS_VERSION, &version);
    return version ? version : "";
}

std::string Connection::serverInfo() const {
    const char* text = mysql_ ? mysql_get_server_info(mysql_.get()) : nullptr;
    return text ? text : "";
}

unsigned long Connection::serverVersion() const {
    return mysql_ ? mysql_get_server_version(mysql_.get()) : 0;
}

std::string Connection::clientInfo() {
    return mysql_get_client_info();
}

unsigned int Connection::protocolInfo() const {
    return mysql_ ? mysql_get_proto_info(mysql_.get()) : 0;
}

unsigned long Connection::threadId() const {
    return mysql_ ? mysql_thread_id(mysql_.get()) : 0;
}

bool Connection::setCharacterSet(std::string_view name) {
    return mysql_ && mysql_set_character_set(mysql_.get(), std::string(name).c_str()) == 0;
}

std::string Connection::characterSetName() const {
    const char* name = mysql_ ? mysql_character_set_name(mysql_.get()) : nullptr;
    return name ? name : "";
}

std::string Connection::escape(std::string_view value) const {
    std::string out;
    if (mysql_) {
        out.resize(value.size() * 2 + 1);
        const unsigned long n = mysql_real_escape_string(mysql_.get(), out.data(), value.data(),
                                                         static_cast<unsigned long>(value.size()));
        out.resize(n);
        return out;
    }
    // Without a session: byte by byte in the set it is to be opened in, stepping over the
    // second byte of Shift_JIS pairs, which may be 0x5C.
    const bool shiftJis = nameQuoting() == NameQuoting::ShiftJis;
    out.reserve(value.size() + 8);
    for (size_t i = 0; i < value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (shiftJis && isShiftJisPair(value, i)) {
            out += value[i];
            out += value[++i];
            continue;
        }
        switch (c) {
            case 0:
                out += "\\0";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\'':
                out += "\\'";
                break;
            case '"':
                out += "\\\"";
                break;
            case 0x1A:
                out += "\\Z";
                break;
            default:
                out += value[i];
        }
    }
    return out;
}

std::string Connection::escapeLike(std::string_view value) const {
    const std::string escaped = escape(value);
    const bool shiftJis = nameQuoting() == NameQuoting::ShiftJis;
    std::string out;
    out.reserve(escaped.size() + 8);
    for (size_t i = 0; i < escaped.size(); ++i) {
        const char c = escaped[i];
        if ((shiftJis && isShiftJisPair(escaped, i)) || (c == '\\' && i + 1 < escaped.size())) {
            out += c;
            out += escaped[++i];
            continue;
        }
        if (c == '%' || c == '_')
            out += '\\';
        out += c;
    }
    return out;
}

bool Connection::isPlainName(std::string_view name) {
    if (name.empty())
        return false;
    bool allDigits = true;
    for (char ch : name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool digit = c >= '0' && c <= '9';
        if (!digit && !std::isalpha(c) && c != '_' && c != '$')
            return false;
        allDigits = allDigits && digit;
    }
    if (allDigits)
        return false;
    // "1e5" would be read as a number
    const size_t firstNonDigit = name.find_first_not_of("0123456789");
    if (firstNonDigit > 0 && (name[firstNonDigit] == 'e' || name[firstNonDigit] == 'E'))
        return false;
    return !looksLikeHexOrBitLiteral(name) && !isReservedWord(name);
}

NameQuoting Connection::nameQuotingOf(std::string_view characterSet) {
    return characterSet == "cp932" || characterSet == "sjis" ? NameQuoting::ShiftJis : NameQuoting::Bytes;
}

NameQuoting Connection::nameQuoting() const {
    // Before the session opens (or after it closed), the set it is opened with.
    const std::string current = characterSetName();
    return nameQuotingOf(current.empty() ? params_.characterSet : current);
}

std::string Connection::ident(std::string_view name, NameQuoting quoting) {
    if (isPlainName(name))
        return std::string(name);
    std::string out = "`";
    out.reserve(name.size() + 2);
    for (size_t i = 0; i < name.size(); ++i) {
        if (quoting == NameQuoting::ShiftJis && isShiftJisPair(name, i)) {
            out += name[i];
            out += name[++i];
            continue;
        }
        if (name[i] == '`')
            out += '`';
        out += name[i];
    }
    out += '`';
    return out;
}

std::string Connection::ident(std::string_view name) const {
    return ident(name, nameQuoting());
}

std::string Connection::qualifiedName(std::string_view database, std::string_view table,
                                      NameQuoting quoting) {
    return ident(database, quoting) + "." + ident(table, quoting);
}

std::string Connection::qualifiedName(std::string_view database, std::string_view table) const {
    return qualifiedName(database, table, nameQuoting());
}

}  // namespace dbk
