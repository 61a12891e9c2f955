#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "transfer/kanji_converter.h"
#include "transfer/kanji_file.h"

namespace dbk {
namespace {

// The same Japanese text, given in UTF-8: kanji, hiragana, katakana, half-width kana with
// voiced marks, full-width letters, the JIS/Windows variant characters and CR LF line ends.
const QByteArray kSampleUtf8 =
    "漢字とひらがな、カタカナの文です。\r\n"
    "ｶﾀｶﾅ ｶﾞｷﾞｸﾞ ﾊﾟﾋﾟ ｳﾞｧｲｵﾘﾝ｡｢ｺｰﾄﾞ｣､ﾃｽﾄ･ﾃﾞｰﾀ\r\n"
    "全角ＡＢＣ１２３と半角ABC123、記号〜−‖￠￡￢（）【】\r\n"
    "東京都千代田区 第3営業部 鈴木様\r\n";

// Runs nkf with the arguments on the input; fails the test when nkf cannot be run.
QByteArray nkf(const QStringList& arguments, const QByteArray& input) {
    QProcess process;
    process.start(QStringLiteral("nkf"), arguments);
    if (!process.waitForStarted()) {
        ADD_FAILURE() << "nkf cannot be run (./setup installs it)";
        return {};
    }
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished();
    EXPECT_EQ(process.exitCode(), 0);
    return process.readAllStandardOutput();
}

std::string bytes(const QByteArray& a) {
    return std::string(a.constData(), static_cast<size_t>(a.size()));
}

struct Sample {
    const char* name;
    QStringList toCode;  // the nkf arguments that make the sample from the UTF-8 text
    KanjiCode code;
};

const Sample kSamples[] = {
    {"EUC-JP", {"-e", "-x", "-W"}, KanjiCode::EucJp},
    {"ISO-2022-JP", {"-j", "-x", "-W"}, KanjiCode::Iso2022Jp},
    {"Shift_JIS", {"-s", "-x", "-W"}, KanjiCode::ShiftJis},
    {"UTF-8", {"-w", "-x", "-W"}, KanjiCode::Utf8},
};

TEST(KanjiConverter, ConvertsEveryCodeToShiftJisAsNkfDoes) {
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.name);
        const QByteArray input = nkf(sample.toCode, kSampleUtf8);
        ASSERT_FALSE(input.isEmpty());
        for (const char* options : {"-s", "-s -x", "-s -x -X"}) {
            SCOPED_TRACE(options);
            KanjiConverter converter;
            converter.setOptions(options);
            EXPECT_EQ(converter.recognise(bytes(input)), sample.code);
            const std::string converted = converter.convert(bytes(input));
            EXPECT_EQ(converted, bytes(nkf(QString::fromLatin1(options).split(u' '), input)));
            EXPECT_NE(converted.find("\r\n"), std::string::npos);
        }
    }
}

TEST(KanjiConverter, HalfWidthKanaAreWidenedOrKeptByTheLastOption) {
    const std::string halfWidth = bytes(nkf({"-s", "-x", "-W"}, "ｶﾞｷﾞ ﾜﾞｦﾞ ﾊﾟ ｱﾞ ﾞ｡"));
    struct Case {
        const char* options;
        QByteArray expectedUtf8;
    } cases[] = {
        {"", "ガギ ワ゛ヲ゛ パ ア゛ ゛。"}, {"-s -X", "ガギ ワ゛ヲ゛ パ ア゛ ゛。"},
        {"-s -x", "ｶﾞｷﾞ ﾜﾞｦﾞ ﾊﾟ ｱﾞ ﾞ｡"},    {"-s -x -X", "ガギ ワ゛ヲ゛ パ ア゛ ゛。"},
        {"-X -x", "ｶﾞｷﾞ ﾜﾞｦﾞ ﾊﾟ ｱﾞ ﾞ｡"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        KanjiConverter converter;
        converter.setOptions(c.options);
        EXPECT_EQ(converter.convert(halfWidth, KanjiCode::ShiftJis),
                  bytes(nkf({"-s", "-x", "-W"}, c.expectedUtf8)));
    }
    // New options replace the old ones.
    KanjiConverter converter;
    converter.setOptions("-x");
    converter.setOptions("-s");
    EXPECT_FALSE(converter.keepsHalfWidthKana());
}

TEST(KanjiConverter, RecognisesTheCodeOfShortAndAmbiguousTexts) {
    KanjiConverter converter;
    struct Case {
        std::string input;
        KanjiCode code;
    } cases[] = {
        {"plain ascii\r\n", KanjiCode::Ascii},          {"\x1b$B4A;z\x1b(B", KanjiCode::Iso2022Jp},
        {"\x8a\xbf\x8e\x9a", KanjiCode::ShiftJis},       // 漢字: 0x8A cannot start EUC-JP
        {"\xb4\xc1\xbb\xfa", KanjiCode::EucJp},          // 漢字: 0xFA needs a second byte
        {"\xa4\xa2\xa4\xa4\xa4\xa6", KanjiCode::EucJp},  // あいう: as Shift_JIS only half-width kana
        {"\xe6\xbc\xa2\xe5\xad\x97", KanjiCode::Utf8},   // 漢字
        {"\xef\xbb\xbf\xe3\x81\x82", KanjiCode::Utf8},   // BOM, あ
        {"\xe0\xa1\xe0\xa1", KanjiCode::ShiftJis},       // reads as both: the client's code
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(converter.recognise(c.input), c.code);
    }
    // What to assume on a tie.
    converter.setOptions("-E");
    EXPECT_EQ(converter.recognise("\xe0\xa1\xe0\xa1"), KanjiCode::EucJp);
    converter.setOptions("-J -s -S -x -B");
    EXPECT_EQ(converter.recognise("\xe0\xa1\xe0\xa1"), KanjiCode::ShiftJis);
    EXPECT_EQ(converter.recognise("\xb4\xc1\xbb\xfa"), KanjiCode::EucJp);
}

TEST(KanjiConverter, KeepsBytesThatNeedNoConversionAndMarksMissingCharacters) {
    KanjiConverter converter;
    const std::string ascii("a\\b~c\0d\r\n", 9);
    EXPECT_EQ(converter.convert(ascii), ascii);
    EXPECT_EQ(converter.convert(""), "");
    // A UTF-8 character Shift_JIS lacks becomes "?", the rest stays.
    EXPECT_EQ(converter.convert("caf\xc3\xa9 \xe6\xbc\xa2 \xf0\x9f\x98\x80", KanjiCode::Utf8),
              "caf? \x8a\xbf ?");
    // ISO-2022-JP's JIS-Roman is read as ASCII, as Shift_JIS has it at the same bytes.
    EXPECT_EQ(converter.convert("\x1b(J\\~\x1b(B", KanjiCode::Iso2022Jp), "\\~");
    // The NEC and IBM extensions of Windows survive.
    EXPECT_EQ(converter.convert("\x87\x40\xfa\x40\xfb\xfc", KanjiCode::ShiftJis), "\x87\x40\xfa\x40\xfb\xfc");
}

TEST(ShiftJisEncoder, WritesUtf8ValuesAsTheConverterWouldAndCountsWhatIsMissing) {
    ShiftJisEncoder encoder;
    std::string out = "x";
    // The JIS forms become the Windows ones, half-width kana stay, emoji and accents become "?".
    EXPECT_EQ(encoder.appendUtf8("\xe3\x80\x9c\xe2\x88\x92\xef\xbd\xb1 caf\xc3\xa9 \xf0\x9f\x8d\x9c", out),
              2U);
    EXPECT_EQ(out, "x\x81\x60\x81\x7c\xb1 caf? ?");
    out.clear();
    EXPECT_EQ(encoder.appendUtf8(std::string("plain\0\\\"", 8), out), 0U);
    EXPECT_EQ(out, std::string("plain\0\\\"", 8));
}

TEST(KanjiFile, ConvertsAFileLineByLineAsNkfDoes) {
    QTemporaryDir dir;
    const QString target = dir.filePath("work.csv");
    // The first line alone reads as well in Shift_JIS (the tie goes there); the file as a whole is
    // EUC-JP, and so is every line of it.
    const QByteArray ambiguous = nkf({"-e", "-W"}, "燹皸綯\r\n");
    ASSERT_EQ(KanjiConverter().recognise(bytes(ambiguous)), KanjiCode::ShiftJis);
    const QByteArray euc = ambiguous + nkf({"-e", "-W"}, kSampleUtf8 + "last line without end");
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.name);
        const QByteArray input =
            sample.code == KanjiCode::EucJp ? euc : nkf(sample.toCode, kSampleUtf8 + "last line without end");
        const QString source = dir.filePath(QStringLiteral("source.txt"));
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(input);
        file.close();
        ASSERT_TRUE(convertKanjiFile(source, target, "-J -s -S -x -B"));
        QFile converted(target);
        ASSERT_TRUE(converted.open(QIODevice::ReadOnly));
        EXPECT_EQ(converted.readAll(), nkf({"-s", "-x"}, input));
    }
}

TEST(KanjiFile, ReportsFilesThatCannotBeOpened) {
    QTemporaryDir dir;
    const QString source = dir.filePath("source.txt");
    EXPECT_FALSE(convertKanjiFile(dir.filePath("missing.txt"), dir.filePath("out.txt"), "-s"));
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a\n");
    file.close();
    EXPECT_FALSE(convertKanjiFile(source, dir.filePath("no/such/folder/out.txt"), "-s"));
    // An empty source gives an empty work file.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.close();
    const QString target = dir.filePath("out.txt");
    EXPECT_TRUE(convertKanjiFile(source, target, "-s"));
    EXPECT_EQ(QFile(target).size(), 0);
}

}  // namespace
}  // namespace dbk
