#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/messages.h"

namespace dbk {
namespace {

// id -> text as written in the table file (escapes not yet resolved).
QMap<int, QString> tableFile(const char* name) {
    QMap<int, QString> table;
    QFile file(QDir::cleanPath(QStringLiteral(DBK_FIXTURES "/../../res/") + QString::fromLatin1(name)));
    if (!file.open(QIODevice::ReadOnly))
        return table;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype tab = line.indexOf(u'\t');
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (ok)
            table.insert(id, line.mid(tab + 1));
    }
    return table;
}

QStringList conversions(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("%[-+ #0-9.]*(?:hh|h|ll|l)?[diuxXcsfeEgG%]"));
    QStringList found;
    for (auto it = pattern.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    return found;
}

QString escaped(QString text) {
    return text.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'\n', QStringLiteral("\\n"))
        .replace(u'\t', QStringLiteral("\\t"));
}

TEST(Messages, BothLanguagesHaveEveryNumberWithTheSameConversions) {
    const QMap<int, QString> english = tableFile("strings_en.tsv");
    const QMap<int, QString> japanese = tableFile("strings_ja.tsv");
    ASSERT_GT(english.size(), 30);
    EXPECT_EQ(english.keys(), japanese.keys());

    for (auto it = english.cbegin(); it != english.cend(); ++it) {
        const int id = it.key();
        const QString en = msgIn(Language::English, id);
        const QString ja = msgIn(Language::Japanese, id);
        EXPECT_TRUE(hasMsg(id)) << id;
        EXPECT_FALSE(en.isEmpty()) << id;
        EXPECT_FALSE(ja.isEmpty()) << id;
        // the compiled-in tables are the files, escapes resolved
        EXPECT_EQ(escaped(en), it.value()) << id;
        EXPECT_EQ(escaped(ja), japanese.value(id)) << id;
        EXPECT_EQ(conversions(en), conversions(ja))
            << id << " " << en.toStdString() << " / " << ja.toStdString();
    }
    for (int id : japanese.keys())
        EXPECT_TRUE(english.contains(id)) << id;
}

// Messages whose counts the two languages put in different places still take the arguments in
// the order of the call.
TEST(Messages, CountsReadTheSameInBothLanguages) {
    struct Case {
        int id;
        Language language;
        const char* expected;
    };
    const Case cases[] = {
        {21005, Language::English, "2905 of 3005 rows could not be copied"},
        {21005, Language::Japanese, "2905件のレコードをコピーできませんでした（全3005件中）"},
    };
    for (const Case& c : cases) {
        const QString text = formatUi(msgIn(c.language, c.id), 2905LL, 3005LL, QStringLiteral("rep.log"));
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.expected))) << c.id << ": " << text.toStdString();
    }
}

TEST(Messages, EscapesBecomeLineBreaks) {
    EXPECT_EQ(msgIn(Language::English, 10068), QStringLiteral("Error deleting.\n%d:%s"));
    EXPECT_EQ(msgIn(Language::Japanese, 10005), QStringLiteral("作成できません！\n%d:%s"));
    EXPECT_EQ(msgIn(Language::English, 20004), QStringLiteral("The host file could not be written:\n%s"));
}

TEST(Messages, UnknownNumberGivesEmptyText) {
    for (int id : {0, -1, 99999, 10001}) {
        EXPECT_EQ(msgIn(Language::English, id), QString()) << id;
        EXPECT_EQ(msgIn(Language::Japanese, id), QString()) << id;
        EXPECT_EQ(msg(id), QString()) << id;
        EXPECT_FALSE(hasMsg(id)) << id;
    }
}

// The language is chosen once per process, so each choice is checked in a fresh one.
int languageCheck(const char* environment, std::optional<Language> chosen, Language expected,
                  const char* host) {
    if (environment)
        qputenv("DBKEEPER_LANG", environment);
    if (chosen)
        setInterfaceLanguage(*chosen);
    if (interfaceLanguage() != expected) {
        std::fprintf(stderr, "wrong language\n");
        return 1;
    }
    if (msg(10002) != QString::fromUtf8(host)) {
        std::fprintf(stderr, "wrong text: %s\n", msg(10002).toUtf8().constData());
        return 2;
    }
    return 0;
}

TEST(MessagesDeathTest, EnvironmentPicksTheLanguageAndTheSettingOverridesIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* environment;
        std::optional<Language> chosen;
        Language expected;
        const char* host;
    };
    const Case cases[] = {
        {"ja", std::nullopt, Language::Japanese, "ホスト"},
        {"ja_JP.UTF-8", std::nullopt, Language::Japanese, "ホスト"},
        {"en", std::nullopt, Language::English, "Host"},
        {"EN", std::nullopt, Language::English, "Host"},
        {"ja", Language::English, Language::English, "Host"},
        {"en", Language::Japanese, Language::Japanese, "ホスト"},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(std::exit(languageCheck(c.environment, c.chosen, c.expected, c.host)),
                    ::testing::ExitedWithCode(0), "")
            << c.environment;
    }
}

}  // namespace
}  // namespace dbk
