// Colouring the SQL console's statement field: a 1 MB script (CREATE TABLE and INSERT
// statements with escaped and Japanese strings, comments of every kind, conditional comments and
// a DELIMITER block) coloured line by line, the whole document coloured at once, loaded into the
// field, and one keystroke in its middle. Median and best of 5 rounds. Run through bench/run
// (the server's keyword list is read when a server is set; otherwise the program's own list).
#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "conn/connection.h"
#include "transfer/sql_completion.h"
#include "transfer/sql_highlighter_widget.h"
#include "transfer/sql_tokens.h"

namespace {

using bench::env;

constexpr int kRounds = 5;
constexpr qsizetype kScriptChars = 1024 * 1024;

QString script() {
    QString text;
    text.reserve(kScriptChars + 4096);
    int n = 0;
    while (text.size() < kScriptChars) {
        ++n;
        text += QStringLiteral(
                    "-- table %1\n"
                    "/*!40101 SET @saved_cs_client = @@character_set_client */;\n"
                    "CREATE TABLE `商品_%1` (\n"
                    "  `id` int(11) NOT NULL AUTO_INCREMENT, # key\n"
                    "  `名前` varchar(40) DEFAULT 'なし',\n"
                    "  price decimal(10,2) DEFAULT 0.00,\n"
                    "  PRIMARY KEY (`id`)\n"
                    ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4; /* a comment\n"
                    "   over two lines */\n"
                    "INSERT INTO `商品_%1` VALUES (1,'it\\'s \"ok\"',12.50),(2,'O''Brien',0x1F),"
                    "(3,'改行\\nあり',1.5e3),(4,NULL,-7);\n"
                    "SELECT concat(`名前`, '-', price) AS label, count(*) FROM `商品_%1` WHERE id > %1 "
                    "GROUP BY label;\n")
                    .arg(n);
        if (n % 50 == 0)
            text += QStringLiteral(
                        "DELIMITER $$\n"
                        "CREATE PROCEDURE p%1()\nBEGIN\n  SELECT 'in a procedure';\nEND$$\nDELIMITER ;\n")
                        .arg(n);
    }
    return text;
}

struct Times {
    double median;
    double best;
};

Times measure(const std::function<void()>& run) {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(bench::secondsSince(start));
    }
    return {bench::median(times) * 1000, bench::best(times) * 1000};
}

std::string loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return "?";
    return file.readAll().trimmed().toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::printf("load average before: %s\n", loadAverage().c_str());
    dbk::sql_tokens::WordList words;
    if (*env("DBKEEPER_TEST_HOST")) {
        const dbk::ConnectParams params = bench::serverParams();
        dbk::Connection c;
        if (!c.open(params))
            bench::fail("connect", c);
        const std::vector<std::string> keywords = dbk::readServerKeywords(c);
        words.addKeywords(keywords);
        std::printf("keywords: the server's %zu (mysql.help_keyword)\n", keywords.size());
    } else {
        std::printf("keywords: the program's own list\n");
    }

    const QString text = script();
    const QStringList lines = text.split(u'\n');
    std::printf("script: %lld characters (%lld bytes in UTF-8), %lld lines\n",
                static_cast<long long>(text.size()), static_cast<long long>(text.toUtf8().size()),
                static_cast<long long>(lines.size()));

    size_t spans = 0;
    const Times tokens = measure([&] {
        std::vector<dbk::sql_tokens::Span> out;
        int state = 0;
        spans = 0;
        for (const QString& line : lines) {
            out.clear();
            state = dbk::sql_tokens::scanLine(line, state, words, out);
            spans += out.size();
        }
    });
    std::printf(
        "tokenizer alone, every line:             %8.1f ms median, %8.1f ms best (%zu coloured spans)\n",
        tokens.median, tokens.best, spans);

    QTextDocument document;
    document.setPlainText(text);
    dbk::SqlHighlighter highlighter(&document);
    highlighter.setWords(words);
    const Times whole = measure([&] { highlighter.rehighlight(); });
    std::printf("whole document coloured (rehighlight):   %8.1f ms median, %8.1f ms best\n", whole.median,
                whole.best);
    if (highlighter.linesHighlighted() != static_cast<long long>(document.blockCount()) * (kRounds + 1))
        bench::differ("not every line was coloured in every round");

    QPlainTextEdit plain;
    const Times loadPlain = measure([&] { plain.setPlainText(text); });
    QPlainTextEdit edit;
    auto* fieldHighlighter = new dbk::SqlHighlighter(edit.document());
    fieldHighlighter->setWords(words);
    const Times loadColoured = measure([&] { edit.setPlainText(text); });
    std::printf("loaded into the field, without colours:  %8.1f ms median, %8.1f ms best\n", loadPlain.median,
                loadPlain.best);
    std::printf("loaded into the field, coloured:         %8.1f ms median, %8.1f ms best\n",
                loadColoured.median, loadColoured.best);

    // One character typed in a name in the middle of the text, then taken back.
    const int middle = edit.document()->blockCount() / 2;
    long long recoloured = 0;
    const Times keystroke = measure([&] {
        const long long before = fieldHighlighter->linesHighlighted();
        QTextCursor cursor(edit.document()->findBlockByNumber(middle));
        cursor.insertText(QStringLiteral("x"));
        cursor.deletePreviousChar();
        recoloured = fieldHighlighter->linesHighlighted() - before;
    });
    std::printf(
        "keystroke in the middle (typed and erased): %5.2f ms median, %5.2f ms best, %lld lines coloured\n",
        keystroke.median, keystroke.best, recoloured);
    // A comment opened in the middle colours the lines after it up to the next "*/" (a few here).
    auto openAndEraseComment = [&] {
        const long long before = fieldHighlighter->linesHighlighted();
        QTextCursor cursor(edit.document()->findBlockByNumber(middle));
        cursor.insertText(QStringLiteral("/*"));
        cursor.deletePreviousChar();
        cursor.deletePreviousChar();
        recoloured = fieldHighlighter->linesHighlighted() - before;
    };
    const Times opened = measure(openAndEraseComment);
    std::printf(
        "\"/*\" opened and erased in the middle:     %8.1f ms median, %8.1f ms best, %lld lines coloured\n",
        opened.median, opened.best, recoloured);
    // The worst case: a script without block comments, where nothing after the "/*" closes it, so
    // every line after it is coloured again, twice.
    QString unclosed = text;
    unclosed.replace(QStringLiteral("/*"), QStringLiteral("--"))
        .replace(QStringLiteral("*/"), QStringLiteral("* /"));
    edit.setPlainText(unclosed);
    const Times worst = measure(openAndEraseComment);
    std::printf(
        "the same with no \"*/\" after it:           %8.1f ms median, %8.1f ms best, %lld lines coloured\n",
        worst.median, worst.best, recoloured);
    std::printf("peak memory: %.1f MiB\n", static_cast<double>(bench::peakKilobytes()) / 1024);
    std::printf("load average after: %s\n", loadAverage().c_str());
    return 0;
}
