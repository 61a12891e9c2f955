#include "transfer/sql_tokens.h"

#include <algorithm>

namespace dbk::sql_tokens {

namespace {

// The reserved words of MariaDB and MySQL and the keywords met most in everyday statements.
constexpr const char* kKeywords =
    "ACCESSIBLE ACTION ADD AFTER AGAINST AGGREGATE ALGORITHM ALL ALTER ALWAYS ANALYZE AND ANY AS ASC "
    "ASENSITIVE AUTO_INCREMENT AVG_ROW_LENGTH BEFORE BEGIN BETWEEN BIGINT BINARY BINLOG BIT BLOB BODY BOOL "
    "BOOLEAN BOTH BTREE BY CALL CASCADE CASCADED CASE CHANGE CHAR CHARACTER CHARSET CHECK CHECKSUM CLOSE "
    "COLLATE COLLATION COLUMN COLUMNS COMMENT COMMIT COMMITTED COMPRESSED CONDITION CONSTRAINT CONTINUE "
    "CONVERT CREATE CROSS CUBE CURRENT CURRENT_DATE CURRENT_ROLE CURRENT_TIME CURRENT_TIMESTAMP "
    "CURRENT_USER CURSOR DATA DATABASE DATABASES DATE DATETIME DAY_HOUR DAY_MICROSECOND DAY_MINUTE "
    "DAY_SECOND DEALLOCATE DEC DECIMAL DECLARE DEFAULT DEFINER DELAYED DELAY_KEY_WRITE DELETE DELIMITER "
    "DESC DESCRIBE DETERMINISTIC DISABLE DISCARD DISTINCT DISTINCTROW DIV DO DOUBLE DROP DUAL DUMPFILE "
    "DUPLICATE DYNAMIC EACH ELSE ELSEIF ENABLE ENCLOSED END ENDS ENGINE ENGINES ENUM ESCAPE ESCAPED EVENT "
    "EVENTS EVERY EXCEPT EXCHANGE EXECUTE EXISTS EXIT EXPLAIN EXTENDED FALSE FETCH FIELDS FIRST FIXED "
    "FLOAT FLOAT4 FLOAT8 FLUSH FOLLOWING FOR FORCE FOREIGN FROM FULL FULLTEXT FUNCTION GENERATED GEOMETRY "
    "GET GLOBAL GRANT GRANTS GROUP HANDLER HASH HAVING HIGH_PRIORITY HOUR_MICROSECOND HOUR_MINUTE "
    "HOUR_SECOND IDENTIFIED IF IGNORE IMPORT IN INDEX INDEXES INFILE INNER INOUT INSENSITIVE INSERT "
    "INSERT_METHOD INT INT1 INT2 INT3 INT4 INT8 INTEGER INTERSECT INTERVAL INTO INVISIBLE INVOKER IS "
    "ISOLATION ITERATE JOIN JSON KEY KEYS KEY_BLOCK_SIZE KILL LANGUAGE LAST LEADING LEAVE LEFT LESS "
    "LEVEL LIKE LIMIT LINEAR LINES LOAD LOCAL LOCALTIME LOCALTIMESTAMP LOCK LOGS LONG LONGBLOB LONGTEXT "
    "LOOP LOW_PRIORITY MASTER MATCH MAXVALUE MAX_ROWS MEDIUMBLOB MEDIUMINT MEDIUMTEXT MERGE "
    "MIDDLEINT MINUTE_MICROSECOND MINUTE_SECOND MIN_ROWS MOD MODE MODIFIES MODIFY NAMES NATIONAL NATURAL "
    "NEXT "
    "NO NO_WRITE_TO_BINLOG NOT NULL NUMERIC OFFSET ON OPEN OPTIMIZE OPTION OPTIONALLY OR ORDER OUT OUTER "
    "OUTFILE OVER OWNER PACK_KEYS PARTIAL PARTITION PARTITIONING PARTITIONS PASSWORD PERSISTENT "
    "PLUGIN PRECEDING PRECISION PREPARE PRIMARY PRIVILEGES PROCEDURE PROCESSLIST PURGE QUICK RANGE READ "
    "READS READ_WRITE REAL RECURSIVE REDUNDANT REFERENCES REGEXP RELEASE RELOAD RENAME REPAIR REPEAT "
    "REPEATABLE REPLACE REPLICA REPLICATION REQUIRE RESET RESIGNAL RESTRICT RETURN RETURNING RETURNS "
    "REVOKE RIGHT RLIKE ROLE ROLLBACK ROLLUP ROUTINE ROW ROWS ROW_FORMAT SAVEPOINT SCHEDULE SCHEMA SCHEMAS "
    "SECOND_MICROSECOND SECURITY SELECT SENSITIVE SEPARATOR SEQUENCE SERIALIZABLE SESSION SET SHARE SHOW "
    "SHUTDOWN SIGNAL SIMPLE SLAVE SMALLINT SNAPSHOT SOME SPATIAL SPECIFIC SQL SQLEXCEPTION SQLSTATE "
    "SQLWARNING SQL_BIG_RESULT SQL_CALC_FOUND_ROWS SQL_NO_CACHE SQL_SMALL_RESULT SSL START STARTING "
    "STARTS STATUS STOP STORAGE STORED STRAIGHT_JOIN SUBPARTITION SUBPARTITIONS SUPER TABLE TABLES "
    "TABLESPACE TEMPORARY TEMPTABLE TERMINATED TEXT THAN THEN TIME TIMESTAMP TINYBLOB TINYINT TINYTEXT TO "
    "TRAILING TRANSACTION TRIGGER TRIGGERS TRUE TRUNCATE TYPE UNBOUNDED UNCOMMITTED UNDEFINED UNDO UNION "
    "UNIQUE UNLOCK UNSIGNED UNTIL UPDATE USAGE USE USER USING UTC_DATE UTC_TIME UTC_TIMESTAMP VALUE VALUES "
    "VARBINARY VARCHAR VARCHARACTER VARIABLES VARYING VIEW VIRTUAL WARNINGS WHEN WHERE WHILE WINDOW WITH "
    "WITHOUT WORK WRAPPER WRITE XA XOR YEAR YEAR_MONTH ZEROFILL";

// Built-in functions, coloured as such before "(".
constexpr const char* kFunctions =
    "ABS ACOS ADDDATE ADDTIME AES_DECRYPT AES_ENCRYPT ASCII ASIN ATAN ATAN2 AVG BENCHMARK BIN "
    "BINLOG_GTID_POS "
    "BIT_AND BIT_COUNT BIT_LENGTH BIT_OR BIT_XOR CAST CEIL CEILING CHAR CHARSET CHAR_LENGTH "
    "CHARACTER_LENGTH CHR COALESCE COERCIBILITY COLLATION COMPRESS CONCAT CONCAT_WS CONNECTION_ID CONV "
    "CONVERT CONVERT_TZ COS COT COUNT CRC32 CUME_DIST CURDATE CURRENT_DATE CURRENT_TIME CURRENT_TIMESTAMP "
    "CURRENT_USER CURTIME DATABASE DATE DATEDIFF DATE_ADD DATE_FORMAT DATE_SUB DAY DAYNAME DAYOFMONTH "
    "DAYOFWEEK DAYOFYEAR DECODE DEFAULT DEGREES DENSE_RANK ELT ENCODE ENCRYPT EXP EXPORT_SET EXTRACT "
    "EXTRACTVALUE FIELD FIND_IN_SET FIRST_VALUE FLOOR FORMAT FOUND_ROWS FROM_BASE64 FROM_DAYS "
    "FROM_UNIXTIME GET_FORMAT GET_LOCK GREATEST GROUP_CONCAT HEX HOUR IF IFNULL INET6_ATON INET6_NTOA "
    "INET_ATON INET_NTOA INSERT INSTR INTERVAL ISNULL IS_FREE_LOCK IS_USED_LOCK JSON_ARRAY "
    "JSON_ARRAYAGG JSON_ARRAY_APPEND JSON_ARRAY_INSERT JSON_COMPACT JSON_CONTAINS JSON_CONTAINS_PATH "
    "JSON_DEPTH JSON_DETAILED JSON_EXISTS JSON_EXTRACT JSON_INSERT JSON_KEYS JSON_LENGTH JSON_MERGE "
    "JSON_MERGE_PATCH JSON_MERGE_PRESERVE JSON_OBJECT JSON_OBJECTAGG JSON_QUERY JSON_QUOTE JSON_REMOVE "
    "JSON_REPLACE JSON_SEARCH JSON_SET JSON_TABLE JSON_TYPE JSON_UNQUOTE JSON_VALID JSON_VALUE LAG "
    "LAST_DAY LAST_INSERT_ID LAST_VALUE LCASE LEAD LEAST LEFT LENGTH LN LOAD_FILE LOCALTIME "
    "LOCALTIMESTAMP LOCATE LOG LOG10 LOG2 LOWER LPAD LTRIM MAKEDATE MAKETIME MAKE_SET MASTER_POS_WAIT "
    "MAX MD5 MICROSECOND MID MIN MINUTE MOD MONTH MONTHNAME NAME_CONST NOW NTH_VALUE NTILE NULLIF NVL "
    "OCT OCTET_LENGTH ORD PASSWORD PERCENT_RANK PERIOD_ADD PERIOD_DIFF PI POSITION POW POWER QUARTER "
    "QUOTE RADIANS RAND RANK REGEXP_INSTR REGEXP_REPLACE REGEXP_SUBSTR RELEASE_LOCK REPEAT REPLACE "
    "REVERSE RIGHT ROUND ROW_COUNT ROW_NUMBER RPAD RTRIM SCHEMA SECOND SEC_TO_TIME SESSION_USER SHA1 "
    "SHA2 SIGN SIN SLEEP SOUNDEX SPACE SQRT STD STDDEV STDDEV_POP STDDEV_SAMP STRCMP STR_TO_DATE SUBDATE "
    "SUBSTR SUBSTRING SUBSTRING_INDEX SUBTIME SUM SYSDATE SYSTEM_USER TAN TIME TIMEDIFF TIMESTAMP "
    "TIMESTAMPADD TIMESTAMPDIFF TIME_FORMAT TIME_TO_SEC TO_BASE64 TO_DAYS TO_SECONDS TRIM TRUNCATE UCASE "
    "UNCOMPRESS UNHEX UNIX_TIMESTAMP UPDATEXML UPPER USER UTC_DATE UTC_TIME UTC_TIMESTAMP UUID "
    "UUID_SHORT VALUES VARIANCE VAR_POP VAR_SAMP VERSION WEEK WEEKDAY WEEKOFYEAR WEIGHT_STRING YEAR "
    "YEARWEEK";

constexpr size_t kLongestWord = 64;

bool isPlainKeyword(std::string_view word) {
    if (word.empty() || word.size() > kLongestWord || (word[0] >= '0' && word[0] <= '9'))
        return false;
    return std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

template <typename Set>
void addWords(Set& set, std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            set.emplace(text.substr(start, end - start));
        start = end + 1;
    }
}

bool isDigit(char16_t c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char16_t c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\f' || c == u'\v';
}

// The end of a number starting at `i`, or -1 when the text there is a name that starts with
// digits (such as "1st").
int numberEnd(QStringView line, int i) {
    const int n = static_cast<int>(line.size());
    int j = i;
    const auto at = [&](int k) { return k < n ? line[k].unicode() : char16_t(0); };
    if (at(j) == '0' && (at(j + 1) == 'x' || at(j + 1) == 'X') && isHexDigit(at(j + 2))) {
        j += 2;
        while (isHexDigit(at(j)))
            ++j;
    } else if (at(j) == '0' && (at(j + 1) == 'b' || at(j + 1) == 'B') &&
               (at(j + 2) == '0' || at(j + 2) == '1')) {
        j += 2;
        while (at(j) == '0' || at(j) == '1')
            ++j;
    } else {
        while (isDigit(at(j)))
            ++j;
        if (at(j) == '.') {
            ++j;
            while (isDigit(at(j)))
                ++j;
        }
        if ((at(j) == 'e' || at(j) == 'E') &&
            (isDigit(at(j + 1)) || ((at(j + 1) == '+' || at(j + 1) == '-') && isDigit(at(j + 2))))) {
            j += 2;
            while (isDigit(at(j)))
                ++j;
        }
    }
    if (j < n && isWordChar(line[j]))
        return -1;
    return j;
}

// Scans a string or quoted name from `i` (just after its opening quote, or the line start when
// it runs on from the line before). Returns the position after the closing quote, or -1 when
// the line ends inside it. Escapes found on the way are added to `escapes`.
int quotedEnd(QStringView line, int i, QChar quote, std::vector<Span>& escapes) {
    const int n = static_cast<int>(line.size());
    const bool escaping = quote != u'`';
    while (i < n) {
        const QChar c = line[i];
        if (c == u'\\' && escaping) {
            const int length = i + 1 < n ? 2 : 1;
            escapes.push_back({i, length, Kind::Escape});
            i += length;
        } else if (c == quote) {
            if (i + 1 < n && line[i + 1] == quote) {
                if (escaping)
                    escapes.push_back({i, 2, Kind::Escape});
                i += 2;
            } else {
                return i + 1;
            }
        } else {
            ++i;
        }
    }
    return -1;
}

QChar quoteOf(int inner) {
    switch (inner) {
        case state::kSingleQuoted:
            return u'\'';
        case state::kDoubleQuoted:
            return u'"';
        default:
            return u'`';
    }
}

int quotedState(QChar quote) {
    return quote == u'\'' ? state::kSingleQuoted : quote == u'"' ? state::kDoubleQuoted : state::kBackquoted;
}

// A line that changes the statement delimiter ("DELIMITER $$"), blanks before it allowed.
bool isDelimiterLine(QStringView line) {
    int i = 0;
    const int n = static_cast<int>(line.size());
    while (i < n && isBlank(line[i]))
        ++i;
    static constexpr char16_t kWord[] = u"DELIMITER";
    constexpr int kLength = 9;
    if (n - i < kLength)
        return false;
    for (int k = 0; k < kLength; ++k) {
        if (line[i + k].toUpper().unicode() != kWord[k])
            return false;
    }
    return i + kLength == n || isBlank(line[i + kLength]);
}

}  // namespace

WordList::WordList() {
    addWords(keywords_, kKeywords);
    addWords(functions_, kFunctions);
}

void WordList::addKeywords(const std::vector<std::string>& words) {
    for (const std::string& word : words) {
        if (word.size() < 2 || !isPlainKeyword(word))
            continue;
        std::string upper = word;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
        keywords_.insert(std::move(upper));
    }
}

bool WordList::contains(const Set& set, QStringView word) {
    if (word.size() > static_cast<qsizetype>(kLongestWord))
        return false;
    char upper[kLongestWord];
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t c = word[i].unicode();
        if (c >= 0x80)
            return false;
        upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c);
    }
    return set.find(std::string_view(upper, static_cast<size_t>(word.size()))) != set.end();
}

QStringList WordList::words() const {
    QStringList all;
    for (const Set* set : {&keywords_, &functions_}) {
        for (const std::string& word : *set)
            all << QString::fromLatin1(word);
    }
    all.sort();
    all.removeDuplicates();
    return all;
}

int scanLine(QStringView line, int startState, const WordList& words, std::vector<Span>& spans) {
    const int n = static_cast<int>(line.size());
    bool conditional = (startState & state::kInConditional) != 0;
    const int inner = startState & state::kInnerMask;
    const auto leave = [&](int innerState) { return innerState | (conditional ? state::kInConditional : 0); };
    std::vector<Span> escapes;
    int i = 0;

    // What the line before left open.
    if (inner == state::kComment) {
        const qsizetype end = line.indexOf(u"*/");
        if (end < 0) {
            spans.push_back({0, n, Kind::Comment});
            return leave(state::kComment);
        }
        i = static_cast<int>(end) + 2;
        spans.push_back({0, i, Kind::Comment});
    } else if (inner != state::kNormal) {
        const QChar quote = quoteOf(inner);
        const int end = quotedEnd(line, 0, quote, escapes);
        const Kind kind = quote == u'`' ? Kind::QuotedName : Kind::String;
        spans.push_back({0, end < 0 ? n : end, kind});
        spans.insert(spans.end(), escapes.begin(), escapes.end());
        if (end < 0)
            return leave(inner);
        i = end;
    } else if (!conditional && isDelimiterLine(line)) {
        spans.push_back({0, n, Kind::Delimiter});
        return state::kNormal;
    }

    while (i < n) {
        const QChar c = line[i];
        const char16_t u = c.unicode();
        const char16_t next = i + 1 < n ? line[i + 1].unicode() : 0;
        if (u == '#' || (u == '-' && next == '-' && (i + 2 == n || line[i + 2].unicode() <= ' '))) {
            spans.push_back({i, n - i, Kind::Comment});
            return leave(state::kNormal);
        }
        if (u == '/' && next == '*') {
            // "/*!" and MariaDB's "/*M!" hold code for servers of the version that follows.
            int marker = i + 2;
            if (marker < n && line[marker] == u'M' && marker + 1 < n && line[marker + 1] == u'!')
                ++marker;
            if (marker < n && line[marker] == u'!' && !conditional) {
                int j = marker + 1;
                while (j < n && isDigit(line[j].unicode()))
                    ++j;
                spans.push_back({i, j - i, Kind::ConditionalComment});
                conditional = true;
                i = j;
                continue;
            }
            const qsizetype end = line.indexOf(u"*/", i + 2);
            if (end < 0) {
                spans.push_back({i, n - i, Kind::Comment});
                return leave(state::kComment);
            }
            spans.push_back({i, static_cast<int>(end) + 2 - i, Kind::Comment});
            i = static_cast<int>(end) + 2;
            continue;
        }
        if (u == '*' && next == '/' && conditional) {
            spans.push_back({i, 2, Kind::ConditionalComment});
            conditional = false;
            i += 2;
            continue;
        }
        if (u == '\'' || u == '"' || u == '`') {
            escapes.clear();
            const int end = quotedEnd(line, i + 1, c, escapes);
            spans.push_back({i, (end < 0 ? n : end) - i, u == '`' ? Kind::QuotedName : Kind::String});
            spans.insert(spans.end(), escapes.begin(), escapes.end());
            if (end < 0)
                return leave(quotedState(c));
            i = end;
            continue;
        }
        // Digits after "name." are a name ("t.1st"), as after "`name`.".
        const bool afterQualifier =
            i > 1 && line[i - 1] == u'.' && (isWordChar(line[i - 2]) || line[i - 2] == u'`');
        const bool startsNumber =
            !afterQualifier &&
            (isDigit(u) || (u == '.' && isDigit(next) && (i == 0 || !isWordChar(line[i - 1]))));
        if (startsNumber) {
            const int end = numberEnd(line, i);
            if (end >= 0) {
                spans.push_back({i, end - i, Kind::Number});
                i = end;
                continue;
            }
        }
        if (isWordChar(c)) {
            int j = i + 1;
            while (j < n && isWordChar(line[j]))
                ++j;
            // A name after "." (a column of a table) is never a keyword.
            const bool qualified = i > 0 && line[i - 1] == u'.';
            if (!qualified) {
                QStringView word = line.sliced(i, j - i);
                // "END$$": a keyword with the "$$" delimiter of a DELIMITER line right after it.
                if (word.endsWith(u'$') && !words.isKeyword(word)) {
                    while (word.endsWith(u'$'))
                        word.chop(1);
                }
                int after = j;
                while (after < n && isBlank(line[after]))
                    ++after;
                const bool call = after < n && line[after] == u'(';
                const int length = static_cast<int>(word.size());
                if (call && words.isFunction(word))
                    spans.push_back({i, length, Kind::Function});
                else if (length > 0 && words.isKeyword(word))
                    spans.push_back({i, length, Kind::Keyword});
            }
            i = j;
            continue;
        }
        ++i;
    }
    return leave(state::kNormal);
}

}  // namespace dbk::sql_tokens
