#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>

#include <QFile>
#include <QList>
#include <QProcess>
#include <QStringDecoder>
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
        {"plain ascii\r\n", KanjiCode::Ascii},
        {"\x1b$B4A;z\x1b(B", KanjiCode::Iso2022Jp},
        {"\x8a\xbf\x8e\x9a", KanjiCode::ShiftJis},       // 漢字: 0x8A cannot start EUC-JP
        {"\xb4\xc1\xbb\xfa", KanjiCode::EucJp},          // 漢字: 0xFA needs a second byte
        {"\xa4\xa2\xa4\xa4\xa4\xa6", KanjiCode::EucJp},  // あいう: as Shift_JIS only half-width kana
        {"\xe6\xbc\xa2\xe5\xad\x97", KanjiCode::Utf8},   // 漢字
        {"\xef\xbb\xbf\xe3\x81\x82", KanjiCode::Utf8},   // BOM, あ
        {"\xe0\xa1\xe0\xa1", KanjiCode::ShiftJis},       // reads as both: the client's code
        // IBM's kanji in EUC-JP: as Shift_JIS the user-defined area and IBM's extension again
        {"\xf9\xf5", KanjiCode::EucJp},                      // 﨑
        {"1,\"\xfa\xa1\xfb\xa1\",2\r\n", KanjiCode::EucJp},  // 忞犾
        // valid UTF-8, with sequences of three and four bytes
        {"1,\"ラーメン🍜\"", KanjiCode::Utf8},
        {"あ∥", KanjiCode::Utf8},
        {"あ≒", KanjiCode::Utf8},
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

// Converts each line of the text alone, recognising its code.
QList<QByteArray> convertLines(const KanjiConverter& converter, const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& line : lines) {
        const std::string converted = converter.convert(bytes(line));
        line = QByteArray(converted.data(), static_cast<qsizetype>(converted.size()));
    }
    return lines;
}

TEST(KanjiConverter, ReadsIbmExtensionKanjiOfEucJpOnLinesOfTheirOwn) {
    // Every character of IBM's extension (CP932 0xFA40 to 0xFC4B), one on each line, as nkf writes
    // it in EUC-JP: in rows 89 to 92, or row 13 and JIS X 0208 for those it has.
    QByteArray cp932;
    for (int code = 0xFA40; code <= 0xFC4B; ++code) {
        if (isShiftJisTrail(static_cast<unsigned char>(code & 0xFF))) {
            cp932 += "1,\"" + QByteArray(1, static_cast<char>(code >> 8)) + static_cast<char>(code & 0xFF) +
                     "\",2\n";
        }
    }
    const QByteArray euc = nkf({"-e", "-S"}, cp932);
    ASSERT_EQ(euc.count('\n'), 388);
    const QList<QByteArray> expected = nkf({"-s", "-E"}, euc).split('\n');
    const QList<QByteArray> converted = convertLines(KanjiConverter(), euc);
    ASSERT_EQ(converted.size(), expected.size());
    for (qsizetype i = 0; i < converted.size(); ++i)
        EXPECT_EQ(converted[i], expected[i]) << euc.split('\n')[i].toHex().constData();
}

TEST(KanjiConverter, ReadsEverySetOfIso2022Jp) {
    struct Case {
        const char* options;
        QByteArray input;
        QByteArray expected;  // empty: what nkf gives
    } cases[] = {
        // JIS X 0212: what CP932 has of it (IBM's kanji, the wave dash); a breve it lacks
        {"-s", "1,\x1b$(D0)\x1b(B,\"x\"\r\n", {}},
        {"-s", "1,\x1b$(D\"70)\x1b(B,\"x\"\r\n", {}},
        {"-s", "1,\x1b$(D\"/\x1b(B,\"x\"\r\n", "1,?,\"x\"\r\n"},
        // JIS X 0212 in eucJP-ms's place for the IBM extension that neither standard has
        {"-s", "\x1b$(Dt=t{\x1b(B,x", {}},
        // half-width kana designated, or shifted out with SO and back with SI, widened or kept
        {"-s", "\x1b(I12\x1b(B3,x", {}},
        {"-s -x", "\x1b(I12\x1b(B3,x", {}},
        {"-s", "\x0e\x31\x32\x0f\x33,x", {}},
        {"-s -x", "\x0e\x31\x32\x0f\x33,x", {}},
        {"-s", "\x1b$B\x0e\x31\x32\x0f\x34\x41\x1b(B,x", {}},
        {"-s", "\x0e\x31\x32\x1b(B34\x0f,x", {}},
        // IBM's kanji in JIS X 0208's rows 89 to 92
        {"-s", "\x1b$B|b\x1b(B,x", {}},
        // the announcement of a revision, and a designation of a set for G1, which is not used
        {"-s", "\x1b&@\x1b$B4A\x1b(B,x", {}},
        {"-s", "\x1b$)C\x1b$B4A\x1b(B,x", "\x8a\xbf,x"},
        // a first byte alone, and a set the converter does not know
        {"-s", "\x1b$B4\x1b(B,x", "?,x"},
        {"-s", "\x1b$A4A4A\x1b(B,x", "??,x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.toHex().constData());
        SCOPED_TRACE(c.options);
        KanjiConverter converter;
        converter.setOptions(c.options);
        EXPECT_EQ(converter.recognise(bytes(c.input)), KanjiCode::Iso2022Jp);
        const QByteArray expected =
            c.expected.isEmpty() ? nkf(QString::fromLatin1(c.options).split(u' '), c.input) : c.expected;
        EXPECT_EQ(converter.convert(bytes(c.input)), bytes(expected));
    }
}

QString cp932(const QByteArray& text) {
    return QStringDecoder("CP932").decode(text);
}

TEST(KanjiConverter, ReadsAllOfJisX0212AsNkfDoesOrMarksWhatShiftJisLacks) {
    QByteArray jis;
    for (int row = 0x21; row <= 0x7E; ++row) {
        for (int cell = 0x21; cell <= 0x7E; ++cell)
            jis += "\x1b$(D" + QByteArray(1, static_cast<char>(row)) + static_cast<char>(cell) + "\x1b(B,\n";
    }
    const QList<QByteArray> byNkf = nkf({"-s", "-J"}, jis).split('\n');
    // Where nkf writes a character the code does not stand for, or drops one CP932 has.
    const std::map<int, QByteArray> exceptions = {
        {0x2221, "?,"},         // no character
        {0x2231, "?,"},         // cedilla
        {0x2234, "?,"},         // macron
        {0x2271, "\x87\x82,"},  // numero sign
    };
    const QList<QByteArray> converted = convertLines(KanjiConverter(), jis);
    ASSERT_EQ(converted.size(), byNkf.size());
    int characters = 0;  // lines that keep their character
    QStringList mismatches;
    for (qsizetype i = 0; i + 1 < converted.size(); ++i) {
        const int code = (0x21 + static_cast<int>(i) / 94) << 8 | (0x21 + static_cast<int>(i) % 94);
        characters += converted[i] != "?,";
        const auto exception = exceptions.find(code);
        const QByteArray expected = exception != exceptions.end() ? exception->second
                                    : byNkf[i] == ","             ? QByteArray("?,")
                                                                  : byNkf[i];
        // NEC's row 13 and IBM's extension share some characters; nkf writes IBM's code for them.
        const bool sameCharacter = converted[i].startsWith('\x87') && cp932(converted[i]) == cp932(expected);
        if (converted[i] != expected && !sameCharacter) {
            mismatches +=
                QStringLiteral("%1: %2 for %3")
                    .arg(code, 4, 16)
                    .arg(QString::fromLatin1(converted[i].toHex()), QString::fromLatin1(expected.toHex()));
        }
    }
    EXPECT_EQ(mismatches.mid(0, 20).join(u'\n').toStdString(), "") << mismatches.size() << " codes differ";
    EXPECT_EQ(characters, 388);
}

TEST(KanjiConverter, ControlCodesPassThroughFromEveryCode) {
    const QByteArray text = "\x01\x1a\xe3\x81\x82\x1a\x1c\x7f\xe3\x81\x84\x1c\t\x7f\r\n";
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.name);
        const QByteArray input = nkf(sample.toCode, text);
        KanjiConverter converter;
        EXPECT_EQ(converter.convert(bytes(input), sample.code), bytes(nkf({"-s"}, input)));
        EXPECT_EQ(converter.convert(bytes(input), sample.code),
                  "\x01\x1a\x82\xa0\x1a\x1c\x7f\x82\xa2\x1c\t\x7f\r\n");
    }
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
    // Control codes stay as they are, also among other characters.
    out.clear();
    EXPECT_EQ(encoder.appendUtf8("\x1a\x1c\x7f\xe6\xbc\xa2\x1a\x1c\x7f", out), 0U);
    EXPECT_EQ(out, "\x1a\x1c\x7f\x8a\xbf\x1a\x1c\x7f");
}

// Characters beyond the basic plane have no Shift_JIS form: each is decided at once, however
// many different ones a run of values holds (a search through those seen before made an export of
// many emoji take seconds).
TEST(ShiftJisEncoder, WritesEveryCharacterBeyondTheBasicPlaneAsAQuestionMarkAtOnce) {
    std::string input;
    for (char32_t c = 0x10000; c < 0x10000 + 200000; ++c) {
        input += static_cast<char>(0xF0 | c >> 18);
        input += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        input += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        input += static_cast<char>(0x80 | (c & 0x3F));
    }
    ShiftJisEncoder encoder;
    std::string out;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(encoder.appendUtf8(input, out), 200000U);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(out, std::string(200000, '?'));
}

// A file is converted line by line, carrying the shift state: every text converts the same way
// in pieces as whole, stray shifts and foreign escape sequences included.
TEST(KanjiConverter, ConvertsIso2022JpLineByLineExactlyAsWhole) {
    const char alphabet[] = {'\x1b', '\x1b', '\x0e', '\x0f', '$', '(', ')', '.',  'B',  '@',  'J',    'I',
                             'D',    'A',    '!',    '0',    '4', '~', ' ', '\n', '\n', '\r', '\x1a', '\x7f'};
    std::mt19937 random(25);
    int differing = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string input;
        const int length = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i)
            input += alphabet[random() % sizeof alphabet];
        const KanjiConverter converter;
        const std::string whole = converter.convert(input, KanjiCode::Iso2022Jp);
        KanjiConverter::JisShift shift;
        std::string pieces;
        for (size_t pos = 0; pos < input.size();) {
            const size_t end = std::min(input.find('\n', pos), input.size() - 1) + 1;
            pieces += converter.convert(std::string_view(input).substr(pos, end - pos), KanjiCode::Iso2022Jp,
                                        shift);
            pos = end;
        }
        if (pieces != whole && ++differing <= 3)
            ADD_FAILURE() << "differs for " << QByteArray::fromStdString(input).toHex().toStdString();
    }
    EXPECT_EQ(differing, 0);
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

TEST(KanjiFile, CarriesTheShiftsOfIso2022JpFromLineToLine) {
    QTemporaryDir dir;
    const QString source = dir.filePath("source.txt");
    const QString target = dir.filePath("work.csv");
    const QByteArray input = "1,\x1b$B4A\r\n;z\x1b(B,\x0e\x31\x32\r\n\x33\x34\x0f,x\r\n";
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(input);
    file.close();
    for (const char* options : {"-s", "-s -x"}) {
        SCOPED_TRACE(options);
        ASSERT_TRUE(convertKanjiFile(source, target, options));
        QFile converted(target);
        ASSERT_TRUE(converted.open(QIODevice::ReadOnly));
        EXPECT_EQ(converted.readAll(), nkf(QString::fromLatin1(options).split(u' '), input));
    }
}

std::string repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

// A file is read quickly first: lines a code cannot decode count for it only from below, and
// are looked at again only when that could change the choice. The choice is always the one that
// reading every line closely gives.
TEST(KanjiCodeGuess, AQuickReadingChoosesAsACloseOneDoes) {
    const std::string euc = bytes(nkf({"-e", "-W"}, kSampleUtf8));
    const std::string sjis = bytes(nkf({"-s", "-W"}, kSampleUtf8));
    const std::string ambiguous = bytes(nkf({"-e", "-W"}, "燹皸綯\r\n"));  // reads as Shift_JIS too
    const std::string broken = "\xa4\xa2\xa4\r\n\x82\xa0\x82\n\xe3\x81\x82\xe3\n";
    struct Case {
        const char* name;
        std::string text;
        bool settledAtOnce;
    } cases[] = {
        {"EUC-JP", ambiguous + euc, true},
        {"Shift_JIS", sjis, true},
        {"UTF-8 with a byte order mark", "\xef\xbb\xbf" + bytes(kSampleUtf8), true},
        {"ISO-2022-JP", bytes(nkf({"-j", "-W"}, kSampleUtf8)), true},
        {"EUC-JP with a broken line in every code", ambiguous + euc + broken, false},
        {"Shift_JIS and EUC-JP lines", sjis + euc + sjis, false},
        {"a few lines of each", ambiguous + broken + "\x8a\xbf\n" + ambiguous, false},
        // EUC-JP's half-width kana (1,200) against a Shift_JIS reading whose one undecodable line
        // (at least 1,000) also has 400 half-width kana: only the second look tells.
        {"a close call", repeated("\x8e\xb1", 1200) + "\n" + repeated("\xa4\xa2", 200) + "\xe0\xfe\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QList<QByteArray> lines = QByteArray::fromStdString(c.text).split('\n');
        KanjiCodeGuess close(KanjiCode::Iso2022Jp);
        KanjiCodeGuess quick(KanjiCode::Iso2022Jp);
        for (const QByteArray& line : lines) {
            close.add(bytes(line + "\n"));
            quick.addQuickly(bytes(line + "\n"));
        }
        EXPECT_EQ(quick.settled(), c.settledAtOnce);
        if (!quick.settled()) {
            for (const QByteArray& line : lines)
                quick.settle(bytes(line + "\n"));
        }
        EXPECT_TRUE(quick.settled());
        EXPECT_EQ(quick.code(), close.code());
    }
}

TEST(KanjiFile, ReadsFilesLargerThanItsReadingBlockLineByLine) {
    QTemporaryDir dir;
    const QString source = dir.filePath("large.csv");
    const QString target = dir.filePath("work.csv");
    // A line of 300,000 characters across the first block's end, among short ones, with
    // half-width kana that "-s" widens line by line.
    QByteArray utf8;
    for (int i = 0; utf8.size() < 1'000'000; ++i)
        utf8 += QByteArray::number(i) + ",\"東京都ｶﾞｷﾞ表ソ\",\"" + QByteArray::number(i * 7) + "\"\r\n";
    utf8 += QByteArray("長").repeated(100'000) + "\n";
    for (int i = 0; i < 10'000; ++i)
        utf8 += "ｱｲｳ,\"漢字\"\n";
    const QByteArray euc = nkf({"-e", "-x", "-W"}, utf8);
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(euc);
    file.close();
    for (const char* options : {"-J -s -S -x -B", "-s"}) {
        SCOPED_TRACE(options);
        ASSERT_TRUE(convertKanjiFile(source, target, options));
        QFile converted(target);
        ASSERT_TRUE(converted.open(QIODevice::ReadOnly));
        EXPECT_TRUE(
            converted.readAll() ==
            nkf(QString::fromLatin1(options) == "-s" ? QStringList{"-s"} : QStringList{"-s", "-x"}, euc));
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

TEST(ShiftJisEncoder, RemembersEachCharacterAsTheCodecWroteIt) {
    const std::string cases[] = {
        "",
        "plain ascii",
        "\xe3\x80\x9c\xe2\x88\x92\xe2\x80\x96\xc2\xa2\xc2\xa3\xc2\xac",  // 〜 − ‖ ¢ £ ¬
        "\xe2\x80\x94\xc2\xa5\xe2\x80\xbe\xc2\xa6",                      // — ¥ ‾ ¦
        "日本語テキストと漢字、ｶﾀｶﾅ、①Ⅻ㈱",
        "smile 😀 and 😀 again",
        "𠮷野家",
        "é ß Ω ж",  // characters Shift_JIS has in part
        "\xef\xbb\xbf"
        "bom",
        "bad \xe3\x81 utf-8 \xff\xfe",  // not well-formed: the encoder's own reading
        "\xed\xa0\x80 surrogate",
    };
    // One encoder that has seen every case before against a fresh one per case.
    ShiftJisEncoder warm;
    for (int round = 0; round < 2; ++round) {  // the second round answers from memory
        for (const std::string& text : cases) {
            std::string cached = "prefix";
            std::string direct = "prefix";
            const std::size_t cachedMissing = warm.appendUtf8(text, cached);
            const std::size_t directMissing = ShiftJisEncoder().appendUtf8(text, direct);
            EXPECT_EQ(cached, direct) << text;
            EXPECT_EQ(cachedMissing, directMissing) << text;
        }
    }
    std::string out;
    EXPECT_EQ(warm.appendUtf8("〜−‖¢£¬😀", out), 1u);
    EXPECT_EQ(out, "\x81\x60\x81\x7c\x81\x61\x81\x91\x81\x92\x81\xca?");
}

}  // namespace
}  // namespace dbk
