#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"
#include "SafePath.h"

namespace {

int bytes(const QString& text) { return static_cast<int>(text.toUtf8().size()); }

// Survives the trip through UTF-8 unchanged: no lone surrogate, no split sequence.
bool isWholeUtf8(const QString& text) { return QString::fromUtf8(text.toUtf8()) == text; }

QString repeated(const QString& part, int times)
{
    QString out;
    for (int i = 0; i < times; ++i)
        out += part;
    return out;
}

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

struct NameCase {
    const char* why;
    QString text;
    QString want;
    SafePath::NameRules rules = {};
};

class SafeFileName : public ::testing::TestWithParam<NameCase> {};

TEST_P(SafeFileName, GivesOneHarmlessName)
{
    const NameCase& c = GetParam();
    const QString name = SafePath::fileName(c.text, c.rules);
    EXPECT_EQ(name, c.want);
    EXPECT_FALSE(name.contains(QLatin1Char('/')));
    EXPECT_LE(bytes(name), c.rules.maxBytes);
    EXPECT_TRUE(isWholeUtf8(name));
    if (!name.isEmpty()) {
        EXPECT_TRUE(SafePath::isPlainName(name));
    }
}

SafePath::NameRules notesRules()
{
    SafePath::NameRules rules;
    rules.alsoReplace = QStringLiteral("\\?%:*|\"<>");
    return rules;
}

SafePath::NameRules maxBytes(int limit)
{
    SafePath::NameRules rules;
    rules.maxBytes = limit;
    return rules;
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, SafeFileName,
    ::testing::Values(
        NameCase{"ordinary", QStringLiteral("Song.mp3"), QStringLiteral("Song.mp3")},
        NameCase{"non-ASCII kept", QString::fromUtf8("Beyoncé – 日本 🎵"),
                 QString::fromUtf8("Beyoncé – 日本 🎵")},
        NameCase{"slash", QStringLiteral("AC/DC"), QStringLiteral("AC_DC")},
        NameCase{"climbing", QStringLiteral("../../etc/passwd"),
                 QStringLiteral("___.._etc_passwd")},
        NameCase{"absolute", QStringLiteral("/etc"), QStringLiteral("_etc")},
        NameCase{"dot", QStringLiteral("."), QString()},
        NameCase{"dot dot", QStringLiteral(".."), QString()},
        NameCase{"dot dot in spaces", QStringLiteral("  ..  "), QString()},
        NameCase{"three dots are a name, not hidden", QStringLiteral("..."), QStringLiteral("___")},
        NameCase{"leading dots are not hidden", QStringLiteral("...And Justice for All"),
                 QStringLiteral("___And Justice for All")},
        NameCase{"a hidden file name", QStringLiteral(".profile"), QStringLiteral("_profile")},
        NameCase{"dots inside stay", QStringLiteral("a.b..c."), QStringLiteral("a.b..c.")},
        NameCase{"empty", QString(), QString()},
        NameCase{"blank", QStringLiteral(" \t "), QString()},
        NameCase{"NUL", QStringLiteral("a") + QChar(0) + QStringLiteral("b"),
                 QStringLiteral("a_b")},
        NameCase{"controls inside",
                 QStringLiteral("a\tb\x01"
                                "c\x7f"
                                "d")
                     + QChar(0x85) + QStringLiteral("e"),
                 QStringLiteral("a_b_c_d_e")},
        NameCase{"line breaks at the ends go", QStringLiteral("\nTitle\r\n"),
                 QStringLiteral("Title")},
        NameCase{"line separator", QStringLiteral("a") + QChar(0x2028) + QStringLiteral("b"),
                 QStringLiteral("a_b")},
        NameCase{"disguised extension",
                 QStringLiteral("photo") + QChar(0x202E) + QStringLiteral("gpj.exe"),
                 QStringLiteral("photo_gpj.exe")},
        NameCase{"lone surrogate", QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b"),
                 QStringLiteral("a_b")},
        NameCase{"extra characters", QStringLiteral("10:30 a<b>?"), QStringLiteral("10_30 a_b__"),
                 notesRules()},
        NameCase{"cut of leading dots", QStringLiteral("..x"), QStringLiteral("__"), maxBytes(2)}));

INSTANTIATE_TEST_SUITE_P(
    Length, SafeFileName,
    ::testing::Values(NameCase{"ASCII cut to 255", repeated(QStringLiteral("a"), 300),
                               repeated(QStringLiteral("a"), 255)},
                      NameCase{"two-byte characters keep the extension",
                               repeated(QString::fromUtf8("é"), 200) + ".mp3",
                               repeated(QString::fromUtf8("é"), 125) + ".mp3"},
                      NameCase{"four-byte characters", repeated(QString::fromUtf8("😀"), 100),
                               repeated(QString::fromUtf8("😀"), 63)},
                      NameCase{"three-byte characters at 255 exactly",
                               repeated(QString::fromUtf8("日"), 86),
                               repeated(QString::fromUtf8("日"), 85)},
                      NameCase{"accents stay with their letter",
                               repeated(QString::fromUtf8("e\u0301"), 5),
                               repeated(QString::fromUtf8("e\u0301"), 3), maxBytes(10)},
                      NameCase{"a long tail is no extension",
                               repeated(QStringLiteral("a"), 300) + ".not an extension",
                               repeated(QStringLiteral("a"), 255)},
                      NameCase{"no room for the extension", QStringLiteral("abcdef.mp3"),
                               QStringLiteral("abcd"), maxBytes(4)},
                      NameCase{"spaces at the cut go", QStringLiteral("abc      def.txt"),
                               QStringLiteral("abc.txt"), maxBytes(10)},
                      NameCase{"fits as it is", repeated(QStringLiteral("a"), 251) + ".mp3",
                               repeated(QStringLiteral("a"), 251) + ".mp3"}));

TEST(SafeFileNameFallback, TakesTheFallbackForNoUsableName)
{
    EXPECT_EQ(SafePath::fileName(QString(), QStringLiteral("Call Logs")),
              QStringLiteral("Call Logs"));
    EXPECT_EQ(SafePath::fileName(QStringLiteral(".."), QStringLiteral("a/b")),
              QStringLiteral("a_b"));
    EXPECT_EQ(SafePath::fileName(QStringLiteral("Bob"), QStringLiteral("Call Logs")),
              QStringLiteral("Bob"));
    EXPECT_EQ(SafePath::fileName(QStringLiteral(" "), QStringLiteral("..")), QString());
}

TEST(SafePathChecks, PlainNamesAndRelativePaths)
{
    struct Case {
        QString text;
        bool plain;
        bool relative;
        QString normalised;
    };
    const QString nul = QStringLiteral("a") + QChar(0);
    const std::vector<Case> cases{
        {QStringLiteral("a"), true, true, QStringLiteral("a")},
        {QStringLiteral("a/b"), false, true, QStringLiteral("a/b")},
        {QStringLiteral("./a//b/"), false, false, QStringLiteral("a/b")},
        {QStringLiteral("."), false, false, QString()},
        {QStringLiteral(".."), false, false, QString()},
        {QStringLiteral("a/../b"), false, false, QString()},
        {QStringLiteral("/etc/passwd"), false, false, QString()},
        {QString(), false, false, QString()},
        {nul, false, false, QString()},
        {QStringLiteral("a\nb"), true, false, QStringLiteral("a\nb")},
        {QStringLiteral("..."), true, true, QStringLiteral("...")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(SafePath::isPlainName(c.text), c.plain);
        EXPECT_EQ(SafePath::isSafeRelativePath(c.text), c.relative);
        EXPECT_EQ(SafePath::normalisedRelativePath(c.text), c.normalised);
    }
}

class SafePathInside : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        root = m_dir.path();
        ASSERT_TRUE(QDir().mkpath(root + "/in/sub"));
        ASSERT_TRUE(QDir().mkpath(root + "/out"));
        ASSERT_TRUE(QDir().mkpath(root + "/inside-too"));
        touch(root + "/in/sub/file");
        ASSERT_TRUE(QFile::link(root + "/out", root + "/in/linkOut"));
        ASSERT_TRUE(QFile::link(root + "/in/sub", root + "/in/linkIn"));
        ASSERT_TRUE(QFile::link(root + "/out/not-yet", root + "/in/dangling"));
        ASSERT_TRUE(QFile::link("sub", root + "/in/relativeLink"));
    }

    QTemporaryDir m_dir;
    QString root;
};

TEST_F(SafePathInside, ResolvesLinksAndRefusesWaysOut)
{
    struct Case {
        const char* path;
        bool inside;
    };
    const std::vector<Case> cases{
        {"/in", true},
        {"/in/sub/file", true},
        {"/in/sub/new/deeper/file", true},
        {"/in/sub/../sub/file", true},
        {"/in/linkIn/file", true},
        {"/in/relativeLink/new", true},
        {"/in/../out", false},
        {"/in/../out/x", false},
        {"/in/linkOut", false},
        {"/in/linkOut/new", false},
        // The kernel takes ".." from the link's target; a textual clean-up
        // would call this "/in/x".
        {"/in/linkOut/../in/x", true},
        {"/in/linkOut/../x", false},
        {"/in/dangling", false},
        {"/in/dangling/x", false},
        {"/in/new/../../out", false},
        {"/inside-too/x", false},
        {"/", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(SafePath::isInside(root + "/in", root + QLatin1String(c.path)), c.inside);
    }
    EXPECT_FALSE(SafePath::isInside(root + "/missing", root + "/missing/x"));
    EXPECT_TRUE(SafePath::isInside(root + "/in/linkIn", root + "/in/sub/file"));
    EXPECT_FALSE(SafePath::isInside(root + "/in", QString()));
}

struct NamerCase {
    const char* why;
    SafePath::Numbering numbering;
    SafePath::Taken taken;
    int firstNumber;
    QStringList existing;                            // files in the folder before the run
    std::vector<std::pair<QString, QString>> claims; // text, extension
    QStringList want;
};

class UniqueNames : public ::testing::TestWithParam<NamerCase> {};

TEST_P(UniqueNames, NumbersTakenNamesAsTheJobDoes)
{
    const NamerCase& c = GetParam();
    QTemporaryDir dir;
    for (const QString& name : c.existing)
        touch(dir.filePath(name));
    SafePath::UniqueNamer namer(dir.path(), c.numbering, c.taken);
    namer.setFirstNumber(c.firstNumber);
    QStringList got;
    for (const auto& [text, extension] : c.claims)
        got.append(namer.claim(text, extension));
    EXPECT_EQ(got, c.want);
}

using SafePath::Numbering;
using SafePath::Taken;

INSTANTIATE_TEST_SUITE_P(Patterns, UniqueNames,
                         ::testing::Values(NamerCase{"parenthesised, both",
                                                     Numbering::Parenthesised,
                                                     Taken::Both,
                                                     1,
                                                     {"T.html"},
                                                     {{"T", "html"}, {"T", "html"}, {"U", "html"}},
                                                     {"T (1).html", "T (2).html", "U.html"}},
                                           NamerCase{"spaced, both",
                                                     Numbering::Spaced,
                                                     Taken::Both,
                                                     1,
                                                     {"Shopping.html", "Shopping 1.html"},
                                                     {{"Shopping", "html"}, {"Shopping", "html"}},
                                                     {"Shopping 2.html", "Shopping 3.html"}},
                                           NamerCase{"first number 2",
                                                     Numbering::Parenthesised,
                                                     Taken::Both,
                                                     2,
                                                     {"a.mp3"},
                                                     {{"a", "mp3"}},
                                                     {"a (2).mp3"}},
                                           NamerCase{"only this run counts",
                                                     Numbering::Spaced,
                                                     Taken::UsedThisRun,
                                                     1,
                                                     {"Ann.vcf"},
                                                     {{"Ann", "vcf"}, {"Ann", "vcf"}},
                                                     {"Ann.vcf", "Ann 1.vcf"}},
                                           NamerCase{"only the folder counts",
                                                     Numbering::Spaced,
                                                     Taken::InFolder,
                                                     1,
                                                     {"Ann.vcf"},
                                                     {{"Ann", "vcf"}, {"Ann", "vcf"}},
                                                     {"Ann 1.vcf", "Ann 1.vcf"}},
                                           NamerCase{
                                               "case apart is taken",
                                               Numbering::Spaced,
                                               Taken::UsedThisRun,
                                               1,
                                               {},
                                               {{"Bob", "vcf"}, {"bob", "vcf"}, {"BÖB", "vcf"}},
                                               {"Bob.vcf", "bob 1.vcf", "BÖB.vcf"}},
                                           NamerCase{"no extension",
                                                     Numbering::Parenthesised,
                                                     Taken::Both,
                                                     1,
                                                     {"Folder"},
                                                     {{"Folder", ""}},
                                                     {"Folder (1)"}},
                                           NamerCase{"hostile text and extension",
                                                     Numbering::Spaced,
                                                     Taken::Both,
                                                     1,
                                                     {},
                                                     {{"../x", "../y"}, {"..", "vcf"}},
                                                     {"___x.___y", ""}}));

TEST(UniqueNamer, NumberedLongNamesStayWithinTheLimit)
{
    QTemporaryDir dir;
    SafePath::UniqueNamer namer(dir.path(), Numbering::Parenthesised);
    const QString title = repeated(QString::fromUtf8("日"), 120);
    const QString first = namer.claim(title, QStringLiteral("mp3"));
    const QString second = namer.claim(title, QStringLiteral("mp3"));
    EXPECT_LE(bytes(first), 255);
    EXPECT_LE(bytes(second), 255);
    EXPECT_TRUE(first.endsWith(QString::fromUtf8("日.mp3")));
    EXPECT_TRUE(second.endsWith(QString::fromUtf8("日 (1).mp3")));
    EXPECT_TRUE(isWholeUtf8(second));
}

TEST(UniqueNamer, FallbackLinksAndPaths)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dir.filePath("Call Logs.html")));
    SafePath::UniqueNamer namer(dir.path(), Numbering::Spaced, Taken::InFolder);
    // A link that leads nowhere is taken too: writing there would follow it.
    EXPECT_EQ(namer.claim(QString(), QStringLiteral("html"), QStringLiteral("Call Logs")),
              QStringLiteral("Call Logs 1.html"));
    EXPECT_EQ(namer.claimPath(QStringLiteral("a/b"), QStringLiteral("html")),
              dir.path() + "/a_b.html");
    EXPECT_EQ(namer.claimPath(QString(), QStringLiteral("html")), QString());
}

} // namespace
