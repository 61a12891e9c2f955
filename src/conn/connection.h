#pragma once

#include <mysql.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dbk {

struct FieldInfo {
    std::string name;
    std::string table;
    std::string database;
    enum_field_types type = MYSQL_TYPE_NULL;
    unsigned long length = 0;
    unsigned int flags = 0;
    unsigned int decimals = 0;
    unsigned int charsetNumber = 0;

    bool isPrimaryKey() const { return (flags & PRI_KEY_FLAG) != 0; }
    bool isNotNull() const { return (flags & NOT_NULL_FLAG) != 0; }
    // Binary strings and blobs carry the binary character set (63).
    bool isBinary() const { return charsetNumber == 63 && type != MYSQL_TYPE_NULL && !isNumeric(); }
    bool isNumeric() const;
};

// The outcome of one statement: a failure, a success without rows, or a result set read row
// by row. Values are byte strings; NULL is told apart from the empty string.
class Result {
public:
    Result() = default;
    Result(Result&&) noexcept = default;
    Result& operator=(Result&&) noexcept = default;

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    bool hasRows() const { return res_ != nullptr; }

    unsigned fieldCount() const { return static_cast<unsigned>(fields_.size()); }
    const std::vector<FieldInfo>& fields() const { return fields_; }
    const std::string& fieldName(unsigned column) const { return fields_.at(column).name; }
    // Position of the column with this name (compared without regard to case), or -1.
    int columnIndex(std::string_view name) const;

    // Rows of a stored result; 0 for a streamed one until it was read to its end.
    uint64_t rowCount() const;
    void seek(uint64_t row);

    // Moves to the next row; false at the end. A streamed result that failed on its way
    // (the server went away) then reports !ok().
    bool next();

    bool isNull(unsigned column) const;
    // The current row's value; empty for NULL. Valid until the next call of next().
    std::string_view text(unsigned column) const;
    std::optional<std::string> value(unsigned column) const;
    std::string text(std::string_view columnName) const;
    std::optional<std::string> value(std::string_view columnName) const;
    std::vector<std::optional<std::string>> row() const;

private:
    friend class Connection;
    // Hands rows read on another thread to its consumer as a Result.
    friend class StreamedReader;
    struct ResultFree {
        void operator()(MYSQL_RES* r) const { mysql_free_result(r); }
    };
    static Result failure() { return Result(); }
    static Result success() {
        Result r;
        r.ok_ = true;
        return r;
    }
    static Result wrap(MYSQL* mysql, MYSQL_RES* res, bool streamed);

    bool ok_ = false;
    bool streamed_ = false;
    MYSQL* mysql_ = nullptr;
    std::unique_ptr<MYSQL_RES, ResultFree> res_;
    std::vector<FieldInfo> fields_;
    MYSQL_ROW row_ = nullptr;
    unsigned long* lengths_ = nullptr;
};

// How a connection is protected on its way to the server.
enum class TlsMode {
    Off,        // nothing asked for: the server decides (plain unless it insists)
    Preferred,  // encrypted when the server offers it, plain otherwise
    Required,   // encrypted or not at all; the server's certificate is not checked
    Verified,   // encrypted, and the certificate checked against tlsCaFile and the host name
};

// How a name is written between backquotes, by the character set of the statement.
enum class NameQuoting {
    // UTF-8, binary and every set whose characters never hold the byte 0x60 but as a backquote:
    // every backquote doubled, nothing else.
    Bytes,
    // Shift_JIS (cp932, sjis): a lead byte and the byte after it are one character, never a
    // backquote.
    ShiftJis,
};

// The character set a session is opened in. Automatic: the one the server's generation takes
// best (utf8mb4, utf8 before 5.5.3, the server's own sjis before 4.1); a saved server may ask
// for Shift_JIS or UTF-8 instead.
enum class SessionText { Automatic, ShiftJis, Utf8 };

struct ConnectParams {
    std::string host;
    std::string user;
    std::string password;
    unsigned int port = 0;
    std::string database;
    std::string unixSocket;
    SessionText sessionText = SessionText::Automatic;
    // A character set named outright (a second connection that must read as the first one
    // does); empty to let sessionText and the server decide. After open() it holds the set the
    // session was given.
    std::string characterSet;
    bool localInfile = true;
    unsigned int connectTimeoutSeconds = 15;
    TlsMode tls = TlsMode::Preferred;
    // The certificate authority a Verified connection checks the server against (a file name
    // in the local encoding); empty for the library's default ones.
    std::string tlsCaFile;
};

// The one client handle of a server session. Move-only; closed when destroyed. Every call
// reports its outcome at once; errorNumber() and errorText() tell why it failed.
class Connection {
public:
    Connection();
    // Not yet opened, but quoting and escaping as a session in params.characterSet would.
    explicit Connection(ConnectParams params);
    ~Connection();
    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool open(const ConnectParams& params);
    void close();
    bool isOpen() const { return mysql_ != nullptr; }
    MYSQL* handle() const { return mysql_.get(); }
    // What the connection was opened with, so that a long operation can open a second one to
    // the same server.
    const ConnectParams& params() const { return params_; }

    unsigned int errorNumber() const;
    std::string errorText() const;
    // "%d:%s" of the error number and text, the tail of every server error message.
    std::string errorLine() const;

    // Runs a statement; a result set it returns is read and dropped.
    bool exec(std::string_view sql);
    // Runs a statement and stores its whole result.
    Result query(std::string_view sql);
    // Runs a statement and reads its result row by row from the server. The connection
    // cannot run another statement until the result was read to its end or destroyed.
    Result stream(std::string_view sql);
    // Drops results still pending on the connection (also those of multi-statement texts).
    void discardPendingResults();

    uint64_t affectedRows() const;
    uint64_t insertId() const;
    std::string info() const;
    unsigned int fieldCount() const;

    bool selectDb(std::string_view database);
    bool ping();
    Result listDbs(const char* wildcard = nullptr);
    Result listTables(const char* wildcard = nullptr);
    Result listFields(std::string_view table, const char* wildcard = nullptr);
    Result listProcesses();
    bool kill(unsigned long threadId);
    bool refresh(unsigned int options);
    bool shutdown();
    std::string stat();

    // The cipher of an encrypted connection ("" when it is not encrypted) and its protocol
    // version ("TLSv1.3").
    std::string tlsCipher() const;
    std::string tlsVersion() const;
    bool isEncrypted() const { return !tlsCipher().empty(); }

    std::string serverInfo() const;
    unsigned long serverVersion() const;
    static std::string clientInfo();
    unsigned int protocolInfo() const;
    unsigned long threadId() const;
    bool setCharacterSet(std::string_view name);
    std::string characterSetName() const;

    // A value made safe for a quoted string literal, in the connection's character set.
    std::string escape(std::string_view value) const;
    // The same for the pattern of a LIKE that is to match the value exactly: "%" and "_" are
    // protected too, character by character (in Shift_JIS a "_" may be a second byte).
    std::string escapeLike(std::string_view value) const;
    // A database, table or column name: bare when it is a plain word (ASCII letters, digits,
    // "_", "$"; not all digits, not a reserved word), else in backquotes with every backquote
    // doubled. Bare Japanese names are refused by the servers after a ".", so they are quoted
    // too. What counts as a backquote depends on the character set the statement is sent in
    // (in Shift_JIS the second byte of a character may be 0x60), so the quoting is that of the
    // connection's character set as it is now, or the one named.
    std::string ident(std::string_view name) const;
    static std::string ident(std::string_view name, NameQuoting quoting);
    // "database.table", each name as ident() writes it.
    std::string qualifiedName(std::string_view database, std::string_view table) const;
    static std::string qualifiedName(std::string_view database, std::string_view table, NameQuoting quoting);
    // The quoting of names in statements sent in the connection's character set.
    NameQuoting nameQuoting() const;
    static NameQuoting nameQuotingOf(std::string_view characterSet);
    static bool isPlainName(std::string_view name);

    // True while a long operation still has a statement or an unread result on the handle.
    bool busy() const { return busy_ > 0; }

private:
    friend class BusyGuard;
    struct Closer {
        void operator()(MYSQL* m) const { mysql_close(m); }
    };
    void rememberError();
    // False, with the error "not connected", when there is no session.
    bool requireOpen();
    void setError(unsigned int number, std::string text);

    std::unique_ptr<MYSQL, Closer> mysql_;
    ConnectParams params_;
    unsigned int lastErrno_ = 0;
    std::string lastError_;
    int busy_ = 0;
};

// Marks the connection busy for its lifetime, so timer ticks keep off the handle.
class BusyGuard {
public:
    explicit BusyGuard(Connection& connection) : connection_(connection) { ++connection_.busy_; }
    ~BusyGuard() { --connection_.busy_; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    Connection& connection_;
};

}  // namespace dbk
