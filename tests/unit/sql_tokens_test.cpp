#include <gtest/gtest.h>

#include <QString>

#include "transfer/sql_completion.h"
#include "transfer/sql_tokens.h"

namespace dbk {
namespace {

using sql_tokens::Kind;

// The coloured pieces of a text, line by line ("|" between lines), each as its kind's letter
// and its text: k keyword, f function, s string, e escape, q quoted name, n number, c comment,
// C conditional comment marker, d delimiter line.
std::string coloured(const QString& text, const sql_tokens::WordList& words = {}) {
    static const char kLetters[] = "kfseqncCd";
    std::string out;
    int state = 0;
    const QStringList lines = text.split(u'\n');
    for (int l = 0; l < lines.size(); ++l) {
        std::vector<sql_tokens::Span> spans;
        state = sql_tokens::scanLine(lines[l], state, words, spans);
        if (l > 0)
            out += "|";
        for (const sql_tokens::Span& span : spans) {
            if (!out.empty() && out.back() != '|')
                out += ' ';
            out += kLetters[static_cast<int>(span.kind)];
            out += "[" + lines[l].mid(span.start, span.length).toStdString() + "]";
        }
    }
    return out;
}

TEST(SqlTokens, ColoursEachKindAndCarriesOpenTextToTheNextLine) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"select count(*) from t where id = 12 order by id desc",
         "k[select] f[count] k[from] k[where] n[12] k[order] k[by] k[desc]"},
        // a function's name is one only before "(" (blanks allowed); otherwise a keyword or nothing
        {"SELECT left (a, 2), `left`, x.left FROM t LEFT JOIN u",
         "k[SELECT] f[left] n[2] q[`left`] k[FROM] k[LEFT] k[JOIN]"},
        {"select 'it''s', 'a\\'b\\\\', \"q\\\"\"",
         "k[select] s['it''s'] e[''] s['a\\'b\\\\'] e[\\'] e[\\\\] s[\"q\\\"\"] e[\\\"]"},
        {"`we``ird` 'x`y'", "q[`we``ird`] s['x`y']"},
        {"1 1.5 .5 1e3 1.2E-4 0x1F 0b101 1st t1 x.5", "n[1] n[1.5] n[.5] n[1e3] n[1.2E-4] n[0x1F] n[0b101]"},
        {"a -- note\nb --x\nc # hash", "c[-- note]||c[# hash]"},
        {"a /* one */ b /* two\nlines */ select", "c[/* one */] c[/* two]|c[lines */] k[select]"},
        // a conditional comment holds code: its markers are coloured, the code in it as code
        {"/*!40101 SET NAMES utf8 */; /*M!100100 select 1*/",
         "C[/*!40101] k[SET] k[NAMES] C[*/] C[/*M!100100] k[select] n[1] C[*/]"},
        {"/*!50003 CREATE\n'x' */ select", "C[/*!50003] k[CREATE]|s['x'] C[*/] k[select]"},
        // strings and quoted names run on over lines; an escaped line end stays in the string
        {"select 'one\ntwo' , `a\nb` 3", "k[select] s['one]|s[two'] q[`a]|q[b`] n[3]"},
        {"'a\\\n-- not a comment'", "s['a\\] e[\\]|s[-- not a comment']"},
        // DELIMITER lines, with blanks before, in any case; not a word that starts so
        {"DELIMITER $$\ncreate procedure p() begin select 1; end$$\n  delimiter ;\ndelimiters",
         "d[DELIMITER $$]|k[create] k[procedure] k[begin] k[select] n[1] k[end]|d[  delimiter ;]|"},
        {"'DELIMITER x\nDELIMITER y'", "s['DELIMITER x]|s[DELIMITER y']"},
        // non-ASCII names are names
        {"select 値段, 'ｶﾀｶﾅ😀' from 商品", "k[select] s['ｶﾀｶﾅ😀'] k[from]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(coloured(QString::fromUtf8(c.text)), c.expected) << c.text;
}

TEST(SqlTokens, TheServersKeywordsJoinOursAndOddShapesAreLeftOut) {
    sql_tokens::WordList words;
    EXPECT_TRUE(words.isKeyword(u"Select"));
    EXPECT_FALSE(words.isKeyword(u"FAQ"));
    words.addKeywords({"faq", "SQL STATEMENTS", "FLOATING-POINT", "2X", "X", ""});
    EXPECT_TRUE(words.isKeyword(u"FAQ"));
    EXPECT_TRUE(words.isKeyword(u"WHERE"));
    EXPECT_FALSE(words.isKeyword(u"SQL STATEMENTS"));
    EXPECT_FALSE(words.isKeyword(u"X"));
    EXPECT_TRUE(words.words().contains("FAQ"));
    EXPECT_TRUE(words.words().contains("CONCAT"));
    EXPECT_EQ(coloured("select faq, concat(1) from x where", words),
              "k[select] k[faq] f[concat] n[1] k[from] k[where]");
}

TEST(SqlCompletionContext, FindsTheTypedNameItsQualifierAndTheStatementsTables) {
    using Table = CompletionContext::Table;
    struct Case {
        const char* text;  // "|" marks the cursor
        const char* prefix;
        const char* qualifierDatabase;
        const char* qualifier;
        std::vector<Table> tables;
        bool inText = false;
    };
    const Case cases[] = {
        {"SELECT na| FROM items", "na", "", "", {{"", "items", ""}}},
        {"SELECT i.| FROM shop.items AS i JOIN `order` o ON o.id = i.id",
         "",
         "",
         "i",
         {{"shop", "items", "i"}, {"", "order", "o"}}},
        {"SELECT shop.items.pr| FROM shop.items", "pr", "shop", "items", {{"shop", "items", ""}}},
        {"select * from a, b x, c where |", "", "", "", {{"", "a", ""}, {"", "b", "x"}, {"", "c", ""}}},
        {"UPDATE LOW_PRIORITY t SET `unit pr|", "unit pr", "", "", {{"", "t", ""}}},
        {"INSERT INTO 商品 (値|) VALUES (1)", "値", "", "", {{"", "商品", ""}}},
        // only the statement the cursor is in; a ";" in a string or comment ends none
        {"select * from a; select 'x;y' /* ; */, b| from c; update d", "b", "", "", {{"", "c", ""}}},
        {"select x from t where s = 'from u' and |", "", "", "", {{"", "t", ""}}},
        {"SELECT * FROM shop.|", "", "", "shop", {}},
        // inside a string or comment nothing is completed
        {"SELECT 'fro|", "", "", "", {}, true},
        {"SELECT 1 -- fro|", "", "", "", {}, true},
        {"SELECT /* fro|", "", "", "", {}, true},
        {"SELECT /* x */ fro|", "fro", "", "", {}},
    };
    for (const Case& c : cases) {
        QString text = QString::fromUtf8(c.text);
        const int cursor = static_cast<int>(text.indexOf(u'|'));
        text.remove(cursor, 1);
        const CompletionContext context = completionContext(text, cursor);
        EXPECT_EQ(context.prefix, QString::fromUtf8(c.prefix)) << c.text;
        const qsizetype replaced = cursor - context.replaceFrom;
        EXPECT_TRUE(replaced == context.prefix.size() || replaced == context.prefix.size() + 1) << c.text;
        EXPECT_EQ(context.qualified, *c.qualifier != 0) << c.text;
        EXPECT_EQ(context.qualifierDatabase, QString::fromUtf8(c.qualifierDatabase)) << c.text;
        EXPECT_EQ(context.qualifier, QString::fromUtf8(c.qualifier)) << c.text;
        EXPECT_EQ(context.tables, c.tables) << c.text;
        EXPECT_EQ(context.inText, c.inText) << c.text;
    }
}

}  // namespace
}  // namespace dbk
