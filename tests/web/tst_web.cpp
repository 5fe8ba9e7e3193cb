// quiznewt-web run as a user runs it, on a free loopback port, reading a
// real database that the test writes as the game would: the JSON API, the
// pages' escaping, the error answers, the database lost and found again,
// and the live page in a real browser (Debian's chromium).

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

#include "db/database.h"
#include "quiz/rules.h"
#include "tests/common/firebirdserver.h"
#include "tests/common/serverprocess.h"
#include "tests/common/testdatabase.h"
#include "web/listenaddress.h"

namespace {

const QString nastyNick = QStringLiteral("<script>alert(1)</script>");
const QString nastyCategory = QStringLiteral("<b>Cats & \"Dogs\"</b>");

struct Point
{
    QString name;
    QDateTime at;
};

// Question-statistics rows and whether the health page lists them.
struct StatRow
{
    const char* question;
    int asked, answered, totalMs;
    bool listed;
};
const StatRow statRows[] = {
    {"Asked five times, never answered", 5, 0, 0, true},
    {"Asked four times, never answered", 4, 0, 0, false},
    {"Three answers in 1.9 s on average", 3, 3, 5700, true},
    {"Three answers in 2 s on average", 3, 3, 6000, false},
    {"Two answers in 0.1 s", 2, 2, 200, false},
};

struct Answer
{
    int status = 0;
    QByteArray type;
    QByteArray body;
};

}

class TestWeb : public QObject
{
    Q_OBJECT

    TestDatabase db;
    QProcess web;
    quint16 port = 0;
    QNetworkAccessManager net;
    QList<Point> points;
    qint64 questionId = 0; // every point logged is for this question
    QTemporaryDir browserProfile;

    Answer get(const QString& path, quint16 at = 0)
    {
        std::unique_ptr<QNetworkReply> reply(
            net.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(at ? at : port).arg(path)))));
        QEventLoop loop;
        connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        loop.exec();
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->readAll()};
    }
    QJsonObject getJson(const QString& path) { return QJsonDocument::fromJson(get(path).body).object(); }

    // A board's rows as "name:points".
    QStringList board(const QString& period)
    {
        QStringList rows;
        for (const QJsonValue& row : getJson("/api/top?period=" + period).value("top").toArray())
            rows << row["name"].toString() + ':' + QString::number(row["points"].toInteger());
        return rows;
    }

    void logPoint(const QString& name, const QDateTime& at, int times = 1)
    {
        QSqlQuery query(db.connection());
        QVERIFY(query.prepare("INSERT INTO score_event (username, contentID, network, channel, scored_at) "
                              "VALUES (:name, :id, 'libera', '#trivia', :at)"));
        query.bindValue(":name", name);
        query.bindValue(":id", questionId);
        query.bindValue(":at", at);
        for (int i = 0; i < times; ++i) {
            QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
            points.append({name, at});
        }
    }

    void setRoom(const QString& channel, const QString& category, const QString& state, int askedSecondsAgo)
    {
        QVERIFY(db.exec(QStringLiteral("UPDATE OR INSERT INTO room_state (roomKey, network, channel, category, state, "
                                       "asked_at, answer_seconds, question_number, updated_at) VALUES ('libera %1', "
                                       "'libera', '%1', '%2', '%3', %4, 45, 7, CURRENT_TIMESTAMP) MATCHING (roomKey)")
                            .arg(channel, QString(category).replace('\'', "''"), state,
                                 askedSecondsAgo < 0 ? QStringLiteral("NULL")
                                                     : QStringLiteral("DATEADD(-%1 SECOND TO CURRENT_TIMESTAMP)")
                                                           .arg(askedSecondsAgo))));
    }

    // The board as the game's !top by period would give it, from what was logged.
    QStringList expectedBoard(const QDateTime& since) const
    {
        QMap<QString, std::pair<int, QString>> byName;
        for (const Point& point : points) {
            if (point.at >= since) {
                auto& [count, spelling] = byName[point.name.toUpper()];
                ++count;
                spelling = qMax(spelling, point.name);
            }
        }
        QList<std::pair<int, QString>> rows = byName.values();
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
        QStringList expected;
        for (const auto& [count, spelling] : rows.mid(0, 10))
            expected << spelling + ':' + QString::number(count);
        return expected;
    }

    int pointsSince(const QString& name, const QDateTime& since) const
    {
        return int(std::count_if(points.begin(), points.end(), [&](const Point& point) {
            return point.at >= since && point.name.compare(name, Qt::CaseInsensitive) == 0;
        }));
    }

    // quiznewt-web on the default settings or a profile's.
    bool startWeb(QProcess& process, const QString& profile, quint16* at)
    {
        QString error;
        for (int attempt = 0; attempt < 3; ++attempt) {
            *at = freeLoopbackPort();
            QStringList arguments{"--listen", QStringLiteral("127.0.0.1:%1").arg(*at)};
            if (!profile.isEmpty())
                arguments << "--profile" << profile;
            if (startServerProcess(process, QUIZNEWT_WEB, arguments, *at, 30000, &error))
                return true;
        }
        qWarning("%s", qPrintable(error));
        return false;
    }
    static QString profileSettings(const QString& profile)
    {
        return qEnvironmentVariable("XDG_CONFIG_HOME") + "/NewtLiberty/profiles/" + profile
            + "/NewtLiberty/QuizNewt.conf";
    }

    // What chromium shows of a page once its scripts had five seconds.
    QString browse(const QString& url)
    {
        QProcess chromium;
        chromium.start(QStandardPaths::findExecutable("chromium"),
                       {"--headless=new", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + browserProfile.path(),
                        "--virtual-time-budget=5000", "--dump-dom", url});
        // The test's own server may be serving the page: the loop runs.
        const QDeadlineTimer deadline(90000);
        while (chromium.state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(50);
        return QString::fromUtf8(chromium.readAllStandardOutput());
    }

private Q_SLOTS:
    void initTestCase()
    {
        isolateSettings();
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        db.makeInstallDir();

        const qint64 geographyId = db.addCategory("Geography");
        const qint64 paris = db.addQuestion(geographyId, "Capital of France?", "Paris");
        questionId = paris;
        const qint64 oslo = db.addQuestion(geographyId, "Capital of Norway?", "Oslo");
        const qint64 retired = db.addQuestion(geographyId, "Question put aside", "Gone");
        db.addQuestion(db.addCategory(nastyCategory), "Which pet barks?", "Dog");
        QVERIFY(db.exec(QStringLiteral("INSERT INTO content_retired VALUES (%1, CURRENT_TIMESTAMP)").arg(retired)));
        QVERIFY(db.exec(QStringLiteral("INSERT INTO question_report VALUES (%1, 'Bob', CURRENT_TIMESTAMP, "
                                       "'<i>wrong</i> answer')").arg(paris)));
        QVERIFY(db.exec(QStringLiteral("INSERT INTO question_report VALUES (%1, 'Bob', CURRENT_TIMESTAMP, 'x')")
                            .arg(retired)));
        QVERIFY(db.exec(QStringLiteral("INSERT INTO near_miss VALUES (%1, 'Olso', 3, 'Ann', CURRENT_TIMESTAMP)").arg(oslo)));
        for (const StatRow& row : statRows) {
            const qint64 id = db.addQuestion(geographyId, row.question, "Answer");
            QVERIFY(db.exec(QStringLiteral("INSERT INTO question_stat (contentID, asked, answered, total_ms) "
                                           "VALUES (%1, %2, %3, %4)").arg(id).arg(row.asked).arg(row.answered).arg(row.totalMs)));
        }

        db.addUser("Ann", 30);
        db.addUser("Bob", 20);
        db.addUser(nastyNick, 10);
        db.addUser("Zed", 0);
        for (int score : {2, 3, 4, 6, 7, 8, 9})
            db.addUser(QStringLiteral("Member%1").arg(score), score);
        // Points on both sides of each period's start, the start itself
        // counting; two spellings of one member.
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime today = Quiz::periodStart(Quiz::Period::Today, now);
        const QDateTime week = Quiz::periodStart(Quiz::Period::Week, now);
        const QDateTime month = Quiz::periodStart(Quiz::Period::Month, now);
        logPoint("Ann", today.addSecs(1), 2);
        logPoint("ann", week);
        logPoint("Bob", month);
        logPoint("Bob", week.addSecs(-1));
        logPoint(nastyNick, today.addSecs(-1));
        logPoint("Cy", qMin(week, month).addSecs(-1), 3);

        setRoom("#trivia", "Geography", "question", 10);
        setRoom("#quiz", nastyCategory, "pause", -1);
        setRoom("#old", "Geography", "stopped", -1);

        QVERIFY(startWeb(web, QString(), &port));
    }
    void cleanupTestCase() { stopServerProcess(web); }

    void boardsByPeriod_data()
    {
        QTest::addColumn<QString>("period");
        QTest::newRow("today") << "today";
        QTest::newRow("this week") << "week";
        QTest::newRow("this month") << "month";
    }
    void boardsByPeriod()
    {
        QFETCH(QString, period);
        const QDateTime since = Quiz::periodStart(Quiz::periodFromArgument(period), QDateTime::currentDateTime());
        QCOMPARE(getJson("/api/top?period=" + period).value("since").toString(), since.toOffsetFromUtc(since.offsetFromUtc()).toString(Qt::ISODate));
        QCOMPARE(board(period), expectedBoard(since));
    }

    // The members' scores, as !top lists them; the default period.
    void allTimeIsTheScores()
    {
        const QStringList scores{"Ann:30", "Bob:20", nastyNick + ":10", "Member9:9", "Member8:8",
                                 "Member7:7", "Member6:6", "Member4:4", "Member3:3", "Member2:2"};
        QCOMPARE(board("all"), scores);
        QCOMPARE(getJson("/api/top").value("period").toString(), "all");
        // Scores edited on the Scores page show without a point logged: one
        // that falls below the tenth, then back.
        QVERIFY(db.exec("UPDATE users SET score = 1 WHERE username = 'Bob'"));
        QTRY_COMPARE_WITH_TIMEOUT(board("all"), QStringList(scores.mid(0, 1) + scores.mid(2) + QStringList("Bob:1")),
                                  15000);
        QVERIFY(db.exec("UPDATE users SET score = 20 WHERE username = 'Bob'"));
        QTRY_COMPARE_WITH_TIMEOUT(board("all"), scores, 15000);
    }

    // New points show within seconds: one just given, an equal one at the
    // same moment (two points, not one seen twice), and one stamped before
    // the newest that committed after it.
    void newPointsShow()
    {
        const QDateTime now = QDateTime::currentDateTime();
        logPoint("Dee", now);
        QTRY_COMPARE_WITH_TIMEOUT(board("today"), expectedBoard(Quiz::periodStart(Quiz::Period::Today, now)), 10000);
        logPoint("Dee", now);
        logPoint("Eve", now.addSecs(1));
        QTRY_COMPARE_WITH_TIMEOUT(board("today"), expectedBoard(Quiz::periodStart(Quiz::Period::Today, now)), 10000);
        logPoint("Eve", now.addSecs(-30));
        QTRY_COMPARE_WITH_TIMEOUT(board("week"), expectedBoard(Quiz::periodStart(Quiz::Period::Week, now)), 10000);
        // Read again a few times: nothing is counted twice.
        for (int i = 0; i < 3; ++i) {
            QTest::qWait(1100);
            QCOMPARE(board("month"), expectedBoard(Quiz::periodStart(Quiz::Period::Month, now)));
        }
    }

    // Rooms that play, with the countdown by the database's clock; never a
    // stopped room, never the answer.
    void rooms()
    {
        const QJsonArray rooms = getJson("/api/rooms").value("rooms").toArray();
        QCOMPARE(rooms.size(), 2);
        const QJsonObject pause = rooms.at(0).toObject();
        const QJsonObject question = rooms.at(1).toObject();
        QCOMPARE(pause["channel"].toString(), "#quiz");
        QCOMPARE(pause["category"].toString(), nastyCategory);
        QVERIFY(pause["seconds_left"].isNull() && pause["asked_at"].isNull());
        QCOMPARE(question["state"].toString(), "question");
        QCOMPARE(question["question_number"].toInt(), 7);
        const double left = question["seconds_left"].toDouble();
        QVERIFY2(left > 0 && left <= 35, qPrintable(QString::number(left)));
        QVERIFY(QDateTime::fromString(question["asked_at"].toString(), Qt::ISODate).isValid());
        const QStringList fields = question.keys();
        QCOMPARE(fields, QStringList({"answer_seconds", "asked_at", "category", "channel", "network",
                                      "question_number", "seconds_left", "state", "updated_at"}));
        // A room that starts playing shows at once.
        setRoom("#new", "Geography", "starting", -1);
        QCOMPARE(getJson("/api/rooms").value("rooms").toArray().size(), 3);
        QVERIFY(db.exec("DELETE FROM room_state WHERE channel = '#new'"));
    }

    // Found ignoring case; points per day for 30 days; rank among the members.
    void player()
    {
        const QJsonObject ann = getJson("/api/player/ANN");
        const int today = pointsSince("Ann", QDate::currentDate().startOfDay());
        QCOMPARE(ann["name"].toString(), "Ann");
        QCOMPARE(ann["score"].toInt(), 30);
        QCOMPARE(ann["rank"].toInt(), 1);
        QCOMPARE(ann["points"]["today"].toInt(), today);
        const QJsonArray days = ann["days"].toArray();
        QCOMPARE(days.size(), 30);
        QCOMPARE(days.last()["date"].toString(), QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(days.last()["points"].toInt(), today);
        QCOMPARE(ann["categories"].toArray().at(0)["name"].toString(), "Geography");
        QCOMPARE(ann["categories"].toArray().at(0)["points"].toInt(), 3);
        // Points logged under a name that is no member's.
        const QJsonObject cy = getJson("/api/player/cy");
        QCOMPARE(cy["name"].toString(), "Cy");
        QVERIFY(cy["rank"].isNull());
    }

    void answers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("scores page") << "/" << 200 << QByteArray("text/html; charset=utf-8");
        QTest::newRow("health page") << "/health" << 200 << QByteArray("text/html; charset=utf-8");
        QTest::newRow("player page") << "/player/bob" << 200 << QByteArray("text/html; charset=utf-8");
        QTest::newRow("week") << "/api/top?period=week" << 200 << QByteArray("application/json");
        QTest::newRow("unknown path") << "/scores" << 404 << QByteArray("text/plain; charset=utf-8");
        QTest::newRow("slash after a route") << "/api/top/" << 404 << QByteArray("text/plain; charset=utf-8");
        QTest::newRow("unknown player") << "/player/nobody" << 404 << QByteArray("text/plain; charset=utf-8");
        QTest::newRow("unknown player, JSON") << "/api/player/nobody" << 404 << QByteArray("text/plain; charset=utf-8");
        QTest::newRow("unknown period") << "/api/top?period=year" << 400 << QByteArray("text/plain; charset=utf-8");
        QTest::newRow("empty period") << "/api/top?period=" << 400 << QByteArray("text/plain; charset=utf-8");
        QTest::newRow("name too long") << "/api/player/" + QString(300, 'x') << 400
                                       << QByteArray("text/plain; charset=utf-8");
    }
    void answers()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QByteArray, type);
        const Answer answer = get(path);
        QCOMPARE(answer.status, status);
        QCOMPARE(answer.type, type);
        QVERIFY(!answer.body.isEmpty());
    }

    // Every text from the database is text on the pages.
    void escaped()
    {
        const QByteArray home = get("/").body;
        QVERIFY(home.contains("&lt;script&gt;alert(1)&lt;/script&gt;</a>"));
        QVERIFY(home.contains("&lt;b&gt;Cats &amp; &quot;Dogs&quot;&lt;/b&gt;"));
        QVERIFY(!home.contains(nastyNick.toUtf8()) && !home.contains("<b>Cats"));
        const QByteArray player = get("/player/%3Cscript%3Ealert(1)%3C%2Fscript%3E").body;
        QVERIFY(player.contains("<h1>&lt;script&gt;alert(1)&lt;/script&gt;</h1>"));
        QVERIFY(!player.contains(nastyNick.toUtf8()));
        QVERIFY(get("/health").body.contains("&lt;i&gt;wrong&lt;/i&gt; answer"));
        // The JSON carries the name as data.
        QVERIFY(board("all").contains(nastyNick + ":10"));
    }

    void health_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("listed");
        QTest::newRow("reported") << "Capital of France?" << true;
        QTest::newRow("near miss") << "Nearly matched: <span class=\"miss\" title=\"last by Ann\">Olso" << true;
        QTest::newRow("retired, though reported") << "Question put aside" << false;
        QTest::newRow("nothing to see") << "Which pet barks?" << false;
        for (const StatRow& row : statRows)
            QTest::newRow(row.question) << row.question << row.listed;
    }
    void health()
    {
        QFETCH(QString, text);
        QFETCH(bool, listed);
        QCOMPARE(QString::fromUtf8(get("/health").body).contains(text), listed);
    }

    // A database made before the points log, the rooms and the play data:
    // those sections are empty, the rest works.
    void olderDatabase()
    {
        TestDatabase old;
        QVERIFY2(old.isValid(), qPrintable(old.error()));
        old.addUser("Ann", 3);
        old.addQuestion(old.addCategory("Old category"), "Old question?", "Yes");
        for (const char* statement :
             {"DROP TRIGGER content_play_data_go", "DROP TRIGGER content_answer_unique", "DROP TABLE content_answer",
              "DROP TABLE question_stat", "DROP TABLE near_miss", "DROP TABLE question_report",
              "DROP TABLE content_retired", "DROP TABLE score_event", "DROP TABLE room_state"})
            QVERIFY2(old.exec(statement), statement);
        QSettings(profileSettings("old"), QSettings::IniFormat).setValue("InstallDir", old.dir());
        QProcess process;
        quint16 at = 0;
        QVERIFY(startWeb(process, "old", &at));
        for (const char* path : {"/health", "/player/ann"})
            QCOMPARE(get(path, at).status, 200);
        QVERIFY(get("/", at).body.contains("<td>Old category</td><td class=\"num\">1</td>"));
        QCOMPARE(QJsonDocument::fromJson(get("/api/top?period=week", at).body)["top"].toArray().size(), 0);
        QCOMPARE(QJsonDocument::fromJson(get("/api/top?period=all", at).body)["top"][0]["name"].toString(), "Ann");
        QCOMPARE(QJsonDocument::fromJson(get("/api/rooms", at).body)["rooms"].toArray().size(), 0);
        QCOMPARE(QJsonDocument::fromJson(get("/api/player/ANN", at).body)["score"].toInt(), 3);
        stopServerProcess(process);
    }

    // A database that is not there yet: 503 and a plain message while the
    // pages that need no database still load; found once it is made.
    void databaseFoundLater()
    {
        QTemporaryDir later;
        QSettings(profileSettings("later"), QSettings::IniFormat).setValue("InstallDir", later.path());
        QProcess process;
        quint16 at = 0;
        QVERIFY(startWeb(process, "later", &at));
        for (const char* path : {"/", "/api/top?period=week", "/api/rooms", "/player/Ann", "/health"}) {
            const Answer answer = get(path, at);
            QCOMPARE(answer.status, 503);
            QCOMPARE(answer.type, QByteArray("text/plain; charset=utf-8"));
        }
        QCOMPARE(get("/live.js", at).status, 200);
        QString error;
        QVERIFY2(Database::create(later.filePath(Database::fileName), &error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(get("/api/top?period=week", at).status, 200, 15000);
        stopServerProcess(process);
    }

    // A Firebird server that goes away: 503, and the program goes on serving.
    void serverLost()
    {
        auto firebird = std::make_unique<FirebirdServer>();
        if (!firebird->isRunning())
            QSKIP(qPrintable(firebird->error()));
        Database::Location location;
        location.server = firebird->host();
        location.port = firebird->port();
        location.path = firebird->dataDir() + "/quiznewt.fdb";
        location.password = firebird->password();
        QString error;
        QVERIFY2(Database::create(location, &error), qPrintable(error));
        QSettings settings(profileSettings("server"), QSettings::IniFormat);
        settings.setValue("Database/Server", location.server);
        settings.setValue("Database/Port", location.port);
        settings.setValue("Database/Path", location.path);
        settings.setValue("Database/Password", location.password);
        settings.sync();
        QProcess process;
        quint16 at = 0;
        QVERIFY(startWeb(process, "server", &at));
        // Requests that come while it attaches are answered, with 503.
        QTRY_COMPARE_WITH_TIMEOUT(get("/api/rooms", at).status, 200, 15000);
        firebird.reset();
        QTRY_COMPARE_WITH_TIMEOUT(get("/api/rooms", at).status, 503, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(get("/api/top?period=week", at).status, 503, 15000);
        QCOMPARE(get("/nope", at).status, 404);
        QCOMPARE(process.state(), QProcess::Running);
        stopServerProcess(process);
    }

    void listenAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::newRow("IPv4") << "127.0.0.1:8080" << "127.0.0.1" << 8080;
        QTest::newRow("any IPv4") << "0.0.0.0:80" << "0.0.0.0" << 80;
        QTest::newRow("IPv6 in brackets") << "[::1]:8081" << "::1" << 8081;
        QTest::newRow("localhost") << "localhost:9000" << "127.0.0.1" << 9000;
        QTest::newRow("IPv6 without brackets") << "::1:8080" << "" << 0;
        QTest::newRow("no port") << "127.0.0.1" << "" << 0;
        QTest::newRow("port 0") << "127.0.0.1:0" << "" << 0;
        QTest::newRow("port too big") << "127.0.0.1:65536" << "" << 0;
        QTest::newRow("host name") << "example.org:80" << "" << 0;
        QTest::newRow("no host") << ":8080" << "" << 0;
    }
    void listenAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        const Web::ListenAddress address = Web::parseListenAddress(text);
        QCOMPARE(address.valid, !host.isEmpty());
        if (address.valid) {
            QCOMPARE(address.host.toString(), host);
            QCOMPARE(int(address.port), port);
        }
    }

    // The scores page in a browser: its script runs under the page's
    // security policy, polls and counts down; the nick is text, so the
    // page's one script element is its own.
    void browserShowsScores()
    {
        if (QStandardPaths::findExecutable("chromium").isEmpty())
            QSKIP("chromium is not installed");
        const QString dom = browse(QStringLiteral("http://127.0.0.1:%1/").arg(port));
        QVERIFY2(dom.contains("<span id=\"live\">Live, updated "), qPrintable(dom));
        QCOMPARE(dom.count("<script"), 1);
        QVERIFY(dom.contains("&lt;script&gt;alert(1)&lt;/script&gt;</a>"));
        // The rooms were drawn again from the API, the countdown by the clock.
        const QRegularExpressionMatch shown = QRegularExpression("<span class=\"countdown\">(\\d+) s<").match(dom);
        QVERIFY2(shown.hasMatch() && shown.captured(1).toInt() <= 35, qPrintable(dom));
    }

    // A page loaded before a change shows it without a reload: a copy of
    // the scores page made earlier, served from here, updates from the API.
    void browserUpdatesThePage()
    {
        if (QStandardPaths::findExecutable("chromium").isEmpty())
            QSKIP("chromium is not installed");
        const QByteArray old = get("/").body;
        const QByteArray base = QStringLiteral("<head>\n<base href=\"http://127.0.0.1:%1/\">").arg(port).toUtf8();
        const QByteArray page = QByteArray(old).replace("<head>", base);
        logPoint("Newcomer", QDateTime::currentDateTime(), 40);
        setRoom("#later", "Late category", "starting", -1);
        QTRY_VERIFY_WITH_TIMEOUT(board("today").contains("Newcomer:40"), 10000);
        QTcpServer copy;
        QVERIFY(copy.listen(QHostAddress::LocalHost));
        connect(&copy, &QTcpServer::newConnection, &copy, [&] {
            QTcpSocket* socket = copy.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket, page] {
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n"
                              "Content-Length: " + QByteArray::number(page.size()) + "\r\n\r\n" + page);
                socket->disconnectFromHost();
            });
        });
        const QString dom = browse(QStringLiteral("http://127.0.0.1:%1/").arg(copy.serverPort()));
        QVERIFY(!old.contains("Newcomer") && !old.contains("Late category"));
        QVERIFY2(dom.contains(">Newcomer</a><span class=\"points\">40</span>"), qPrintable(dom));
        QVERIFY2(dom.contains("<div class=\"room-category\">Late category</div>"), qPrintable(dom));
        QVERIFY(db.exec("DELETE FROM room_state WHERE channel = '#later'"));
    }

    void browserShowsPlayer()
    {
        if (QStandardPaths::findExecutable("chromium").isEmpty())
            QSKIP("chromium is not installed");
        const QString dom = browse(QStringLiteral("http://127.0.0.1:%1/player/ann").arg(port));
        QVERIFY2(dom.contains("<h1>Ann</h1>"), qPrintable(dom));
        QVERIFY(dom.contains("<dt>Score</dt><dd>30</dd>") && dom.contains("<dt>Rank</dt><dd>#1</dd>"));
        QCOMPARE(dom.count("<rect class=\"bar\""), 30);
        QVERIFY(dom.contains("<td>Geography</td><td class=\"num\">3</td>"));
    }
};

QTEST_GUILESS_MAIN(TestWeb)
#include "tst_web.moc"
