#include "LocalVersionServer.h"
#include "QELUpdateChecker.h"
#include "QELUpdateCheckerDelegate.h"
#include "QtPrinters.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTcpServer>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>

namespace {

class Answers : public QELUpdateCheckerDelegate {
public:
    void OnUpdateCheckReturnsWithUpdateAvailable(bool updateAvailable) override { answers.push_back(updateAvailable); }
    void OnUpdateCheckFailed() override { ++failures; }
    bool done() const { return !answers.empty() || failures > 0; }

    std::vector<bool> answers;
    int failures = 0;
};

class UpdateCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedVersion = QCoreApplication::applicationVersion();
        QCoreApplication::setApplicationVersion(QStringLiteral("1.9"));
        m_checker.setDelegate(&m_answers);
        m_checker.setVersionFileUrl(m_server.url());
        m_checker.setTimeout(std::chrono::seconds(1000));   // 10 s with the test clock
    }
    void TearDown() override { QCoreApplication::setApplicationVersion(m_savedVersion); }

    bool waitForAnswer() { return QTest::qWaitFor([this] { return m_answers.done(); }, 10000); }

    QString m_savedVersion;
    VersionServer m_server;
    Answers m_answers;
    QELUpdateChecker m_checker;
};

enum class Outcome { Newer, NotNewer, Failed };

struct ServerCase {
    const char* name;
    QByteArray status;
    QByteArray contentType;
    QByteArray body;
    Outcome outcome;
};

class UpdateCheckAnswers : public UpdateCheck, public ::testing::WithParamInterface<ServerCase> {};

TEST_P(UpdateCheckAnswers, AgainstTheRunningVersion)
{
    const ServerCase& c = GetParam();
    m_server.response = VersionServer::answer(c.status, c.contentType, c.body);
    m_checker.startCheckingForUpdate();
    ASSERT_TRUE(waitForAnswer());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_server.requests, 1);
    switch (c.outcome) {
    case Outcome::Newer:
        EXPECT_EQ(m_answers.answers, std::vector<bool>{true});
        EXPECT_EQ(m_answers.failures, 0);
        break;
    case Outcome::NotNewer:
        EXPECT_EQ(m_answers.answers, std::vector<bool>{false});
        EXPECT_EQ(m_answers.failures, 0);
        break;
    case Outcome::Failed:
        EXPECT_TRUE(m_answers.answers.empty());
        EXPECT_EQ(m_answers.failures, 1);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateCheckAnswers,
    ::testing::Values(
        ServerCase{"newerByTheSecondNumber", "200 OK", "text/plain", "1.10", Outcome::Newer},
        ServerCase{"newerMajor", "200 OK", "text/plain", "2", Outcome::Newer},
        ServerCase{"newerThirdNumberAndNewline", "200 OK", "text/plain; charset=us-ascii", "1.9.1\n", Outcome::Newer},
        ServerCase{"equal", "200 OK", "text/plain", "1.9", Outcome::NotNewer},
        ServerCase{"equalWithTrailingZero", "200 OK", "text/plain", "1.9.0", Outcome::NotNewer},
        ServerCase{"older", "200 OK", "text/plain", "1.8", Outcome::NotNewer},
        ServerCase{"olderThoughLongerAsText", "200 OK", "text/plain", "1.08.5", Outcome::NotNewer},
        ServerCase{"htmlHoldingOnlyANumber", "200 OK", "text/html", "2.0", Outcome::Newer},
        ServerCase{"htmlPage", "200 OK", "text/html", "<html><body>2.0</body></html>", Outcome::Failed},
        ServerCase{"image", "200 OK", "image/png", "2.0", Outcome::Failed},
        ServerCase{"noContentType", "200 OK", "", "2.0", Outcome::Failed},
        ServerCase{"notANumber", "200 OK", "text/plain", "latest", Outcome::Failed},
        ServerCase{"numberWithText", "200 OK", "text/plain", "2.0 beta", Outcome::Failed},
        ServerCase{"emptyPart", "200 OK", "text/plain", "2..0", Outcome::Failed},
        ServerCase{"negative", "200 OK", "text/plain", "-2", Outcome::Failed},
        ServerCase{"emptyBody", "200 OK", "text/plain", "", Outcome::Failed},
        ServerCase{"notAscii", "200 OK", "text/plain", "\xef\xbc\x92.0", Outcome::Failed},
        ServerCase{"tooLong", "200 OK", "text/plain", QByteArray(100 * 1024, '1'), Outcome::Failed},
        ServerCase{"notFound", "404 Not Found", "text/plain", "9.9", Outcome::Failed},
        ServerCase{"serverError", "500 Internal Server Error", "text/plain", "9.9", Outcome::Failed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateCheck, ASilentServerFailsAfterTheTimeOut)
{
    m_server.silent = true;
    m_checker.setTimeout(std::chrono::seconds(10));   // the default, 0.1 s with the test clock
    const auto started = std::chrono::steady_clock::now();
    m_checker.startCheckingForUpdate();
    ASSERT_TRUE(waitForAnswer());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_TRUE(m_answers.answers.empty());
    EXPECT_EQ(m_answers.failures, 1);
}

TEST_F(UpdateCheck, NoServerFails)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    m_checker.setVersionFileUrl(QUrl(QStringLiteral("http://127.0.0.1:%1/v.txt").arg(port)));
    m_checker.startCheckingForUpdate();
    ASSERT_TRUE(waitForAnswer());
    EXPECT_EQ(m_answers.failures, 1);
}

TEST_F(UpdateCheck, AnUnparsableRunningVersionFails)
{
    QCoreApplication::setApplicationVersion(QString());
    m_server.response = VersionServer::answer("200 OK", "text/plain", "2.0");
    m_checker.startCheckingForUpdate();
    ASSERT_TRUE(waitForAnswer());
    EXPECT_TRUE(m_answers.answers.empty());
    EXPECT_EQ(m_answers.failures, 1);
}

TEST_F(UpdateCheck, ANewCheckReplacesTheRunningOneWithOneAnswer)
{
    VersionServer silentServer;
    silentServer.silent = true;
    m_checker.setVersionFileUrl(silentServer.url());
    m_checker.startCheckingForUpdate();
    QTest::qWait(20);

    m_server.response = VersionServer::answer("200 OK", "text/plain", "3.0");
    m_checker.setVersionFileUrl(m_server.url());
    m_checker.startCheckingForUpdate();
    ASSERT_TRUE(waitForAnswer());
    QTest::qWait(50);
    EXPECT_EQ(m_answers.answers, std::vector<bool>{true});
    EXPECT_EQ(m_answers.failures, 0);
}

TEST_F(UpdateCheck, ADelegateWithoutTheFailureEventIsNotCalledOnFailure)
{
    class AnswerOnly : public QELUpdateCheckerDelegate {
    public:
        void OnUpdateCheckReturnsWithUpdateAvailable(bool) override { ++answers; }
        int answers = 0;
    } answerOnly;
    m_checker.setDelegate(&answerOnly);
    m_server.response = VersionServer::answer("200 OK", "image/png", "2.0");
    m_checker.startCheckingForUpdate();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_server.requests == 1; }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(answerOnly.answers, 0);
}

TEST_F(UpdateCheck, TheVersionFileIsFetchedOverHttpsFromTheConfiguredHost)
{
    const QUrl standard = QELUpdateChecker::defaultVersionFileUrl();
    EXPECT_EQ(standard.scheme(), QStringLiteral("https"));
    EXPECT_EQ(standard.host(), QString::fromLatin1(QELUpdateChecker::kDefaultUpdateHost));
    EXPECT_EQ(standard.path(), QStringLiteral("/versioning/orvane11/mac.txt"));

    QSettings().setValue(QLatin1String(QELUpdateChecker::kUpdateHostKey), QStringLiteral("updates.example.net"));
    const QUrl configured = QELUpdateChecker::defaultVersionFileUrl();
    QSettings().remove(QLatin1String(QELUpdateChecker::kUpdateHostKey));
    EXPECT_EQ(configured.scheme(), QStringLiteral("https"));
    EXPECT_EQ(configured.host(), QStringLiteral("updates.example.net"));
    EXPECT_EQ(configured.path(), QStringLiteral("/versioning/orvane11/mac.txt"));
    EXPECT_EQ(QELUpdateChecker().versionFileUrl(), standard);
}

struct VersionCase {
    const char* a;
    const char* b;
    std::optional<int> expected;
};

class VersionComparison : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionComparison, ByDotSeparatedNumbers)
{
    const VersionCase& c = GetParam();
    EXPECT_EQ(QELUpdateChecker::compareVersions(QString::fromLatin1(c.a), QString::fromLatin1(c.b)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionComparison,
    ::testing::Values(VersionCase{"1.10", "1.9", 1}, VersionCase{"1.9", "1.10", -1}, VersionCase{"2.0", "2", 0},
                      VersionCase{"2.0.1", "2.0", 1}, VersionCase{"10", "9.99", 1}, VersionCase{"01.2", "1.2", 0},
                      VersionCase{" 1.2\r\n", "1.2", 0}, VersionCase{"1.2", "1.2.0.0", 0},
                      VersionCase{"", "1", std::nullopt}, VersionCase{"1", "", std::nullopt},
                      VersionCase{"1.", "1", std::nullopt}, VersionCase{".1", "1", std::nullopt},
                      VersionCase{"1.2a", "1", std::nullopt}, VersionCase{"+1", "1", std::nullopt},
                      VersionCase{"1,5", "1", std::nullopt},
                      VersionCase{"99999999999999999999999", "1", std::nullopt}));

} // namespace
