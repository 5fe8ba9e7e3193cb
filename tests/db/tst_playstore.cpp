// What play keeps about questions, on a real database: accepted answers and
// retired questions in the draw, the statistics, near misses and reports,
// and older databases gaining the tables.

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include "db/database.h"
#include "db/drawpool.h"
#include "db/playstore.h"
#include "quiz/rules.h"
#include "tests/common/testdatabase.h"

class TestPlayStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    qint64 art = -1;
    qint64 monaLisa = -1;

    QString stat(qint64 id)
    {
        return db->column(QStringLiteral("SELECT asked || '/' || answered || '/' || timed_out || '/' || total_ms || "
                                         "'/' || COALESCE(fastest_ms, '-') FROM question_stat WHERE contentID=%1")
                              .arg(id))
            .join(QLatin1Char('|'));
    }

private Q_SLOTS:
    void init()
    {
        isolateSettings();
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        art = db->addCategory(QStringLiteral("Art"));
        monaLisa = db->addQuestion(art, QStringLiteral("Painter of the Mona Lisa?"), QStringLiteral("Leonardo"));
    }

    // Accepted answers come with the draw; a retired question is never drawn;
    // deleting a question takes what play kept about it.
    void acceptedAnswersAndRetiredQuestions_data()
    {
        QTest::addColumn<int>("poolLimit");
        QTest::newRow("keys read") << 10000;
        QTest::newRow("keys sampled") << 0;
    }
    void acceptedAnswersAndRetiredQuestions()
    {
        QFETCH(int, poolLimit);
        const qint64 scream = db->addQuestion(art, QStringLiteral("Painter of The Scream?"), QStringLiteral("Munch"));
        QVERIFY(db->exec(QStringLiteral("INSERT INTO content_answer VALUES (%1, 'da Vinci')").arg(monaLisa)));
        QVERIFY(db->exec(QStringLiteral("INSERT INTO content_answer VALUES (%1, 'Leonardo da Vinci')").arg(monaLisa)));
        QVERIFY2(!db->exec(QStringLiteral("INSERT INTO content_answer VALUES (%1, 'DA VINCI')").arg(monaLisa)),
                 "the same answer in another case");
        QVERIFY2(!db->exec(QStringLiteral("INSERT INTO content_answer VALUES (%1, 'leonardo')").arg(monaLisa)),
                 "the question's own answer");
        QVERIFY(db->exec(QStringLiteral("INSERT INTO content_retired VALUES (%1, CURRENT_TIMESTAMP)").arg(scream)));

        QSqlQuery query(db->connection());
        int next = 0;
        DrawPool pool(query, [&next](int count) { return next++ % count; }, Quiz::isPlayable);
        pool.setPoolLimit(poolLimit);
        for (int i = 0; i < 4; ++i) {
            Database::DrawnQuestion drawn;
            QVERIFY(pool.draw(QStringLiteral("art"), &drawn));
            QCOMPARE(drawn.id, int(monaLisa));
            drawn.accepted.sort();
            QCOMPARE(drawn.accepted, QStringList({"Leonardo da Vinci", "da Vinci"}));
        }

        PlayStore play(db->connection());
        QVERIFY(play.recordEnd(int(monaLisa), PlayStore::End::TimedOut, 0));
        QVERIFY(play.recordNearMiss(int(monaLisa), QStringLiteral("Leonardi"), QStringLiteral("Bob")));
        QCOMPARE(play.report(int(monaLisa), QStringLiteral("Bob"), QString()), PlayStore::Report::Stored);
        QVERIFY(db->exec(QStringLiteral("DELETE FROM content WHERE contentID=%1").arg(monaLisa)));
        for (const char* table : {"content_answer", "question_stat", "near_miss", "question_report"})
            QCOMPARE(db->value(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))).toInt(), 0);
    }

    // A big category is sampled: each playable question equally likely,
    // among keys with gaps; questions added and deleted meanwhile
    // are seen at the next draw.
    void sampledDrawIsUniformAndCurrent()
    {
        const qint64 other = db->addCategory(QStringLiteral("Other"));
        QList<qint64> art{monaLisa};
        for (int i = 0; i < 3; ++i) {
            db->addQuestion(other, QStringLiteral("Elsewhere %1").arg(i), QStringLiteral("x"));
            art << db->addQuestion(this->art, QStringLiteral("Art %1").arg(i), QStringLiteral("a"));
        }
        db->addQuestion(this->art, QStringLiteral("No answer"), QString());
        QSqlQuery query(db->connection());
        DrawPool pool(query, [](int count) { return Quiz::randomIndex(count, Quiz::standardRandom()); },
                      Quiz::isPlayable);
        pool.setPoolLimit(0);
        QHash<int, int> seen;
        for (int i = 0; i < 800; ++i) {
            Database::DrawnQuestion drawn;
            QVERIFY(pool.draw(QStringLiteral("ART"), &drawn));
            ++seen[drawn.id];
        }
        QVERIFY(pool.isSampling());
        QCOMPARE(seen.size(), 4);
        for (int count : std::as_const(seen))
            QVERIFY2(count > 120 && count < 280, qPrintable(QString::number(count)));

        QVERIFY(db->exec(QStringLiteral("DELETE FROM content WHERE contentID IN (%1, %2, %3)")
                             .arg(art[0]).arg(art[1]).arg(art[3])));
        QVERIFY(db->exec(QStringLiteral("DELETE FROM category_content WHERE contentID IN (%1, %2, %3)")
                             .arg(art[0]).arg(art[1]).arg(art[3])));
        const qint64 added = db->addQuestion(this->art, QStringLiteral("Added"), QStringLiteral("b"));
        seen.clear();
        for (int i = 0; i < 200; ++i) {
            Database::DrawnQuestion drawn;
            QVERIFY(pool.draw(QStringLiteral("ART"), &drawn));
            ++seen[drawn.id];
        }
        QCOMPARE(QSet<int>(seen.keyBegin(), seen.keyEnd()), QSet<int>({int(art[2]), int(added)}));
    }

    void statistics()
    {
        PlayStore play(db->connection());
        QVERIFY(play.recordEnd(int(monaLisa), PlayStore::End::Answered, 3000));
        QCOMPARE(stat(monaLisa), QStringLiteral("1/1/0/3000/3000"));
        QVERIFY(play.recordEnd(int(monaLisa), PlayStore::End::TimedOut, 0));
        QVERIFY(play.recordEnd(int(monaLisa), PlayStore::End::Abandoned, 0));
        QVERIFY(play.recordEnd(int(monaLisa), PlayStore::End::Answered, 1200));
        QVERIFY(play.recordEnd(int(monaLisa), PlayStore::End::Answered, 5000));
        QCOMPARE(stat(monaLisa), QStringLiteral("5/3/1/9200/1200"));
    }

    // The same slip in any case counts again; at most 20 different ones.
    void nearMisses()
    {
        PlayStore play(db->connection());
        QVERIFY(play.recordNearMiss(int(monaLisa), QStringLiteral("Leonardi"), QStringLiteral("Bob")));
        QVERIFY(play.recordNearMiss(int(monaLisa), QStringLiteral("LEONARDI"), QStringLiteral("Ann")));
        for (int i = 0; i < 25; ++i)
            QVERIFY(play.recordNearMiss(int(monaLisa), QStringLiteral("Leonard %1").arg(i), QStringLiteral("Cy")));
        QCOMPARE(db->column(QStringLiteral("SELECT answer || ' ' || times || ' ' || last_by FROM near_miss "
                                           "WHERE times > 1")),
                 QStringList("Leonardi 2 Ann"));
        QCOMPARE(db->value(QStringLiteral("SELECT COUNT(*) FROM near_miss")).toInt(), PlayStore::nearMissesKept);
    }

    // One report per member and question, whatever the case of the name;
    // five an hour; the note kept as typed.
    void reports()
    {
        PlayStore play(db->connection());
        const QString note = QStringLiteral("it's wrong'); DROP TABLE users; --");
        QCOMPARE(play.report(int(monaLisa), QStringLiteral("Bob"), note), PlayStore::Report::Stored);
        QCOMPARE(play.report(int(monaLisa), QStringLiteral("BOB"), QString()), PlayStore::Report::AlreadyReported);
        for (int id = 1; id < PlayStore::reportsPerHour; ++id)
            QCOMPARE(play.report(int(monaLisa) + id, QStringLiteral("bob"), QString()), PlayStore::Report::Stored);
        QCOMPARE(play.report(int(monaLisa) + 99, QStringLiteral("Bob"), QString()), PlayStore::Report::TooMany);
        QCOMPARE(play.report(int(monaLisa) + 99, QStringLiteral("Ann"), QString()), PlayStore::Report::Stored);
        QCOMPARE(db->column(QStringLiteral("SELECT note FROM question_report WHERE reporter='Bob'")), QStringList(note));
    }

    // Each point is logged with its question and room; the room's row is
    // one, replaced at each step.
    void pointsLogAndRoomState()
    {
        PlayStore play(db->connection());
        play.setRoom(QStringLiteral("irc.example.net"), QStringLiteral("#trivia"));
        QCOMPARE(play.givePoint(QStringLiteral("Bob"), int(monaLisa)), QStringLiteral("1"));
        QCOMPARE(play.givePoint(QStringLiteral("BOB"), -1), QStringLiteral("2"));
        QCOMPARE(db->column(QStringLiteral("SELECT username || ' ' || COALESCE(contentID, '-') || ' ' || network || ' ' "
                                           "|| channel FROM score_event ORDER BY scored_at, username")),
                 QStringList({QStringLiteral("Bob %1 irc.example.net #trivia").arg(monaLisa),
                              QStringLiteral("BOB - irc.example.net #trivia")}));
        QCOMPARE(db->column(QStringLiteral("SELECT score FROM users")), QStringList("2"));
        // Boards by period count names in any case as one.
        QVERIFY(db->exec(QStringLiteral("INSERT INTO score_event (username, scored_at) SELECT 'ann', "
                                        "DATEADD(-40 DAY TO CURRENT_TIMESTAMP) FROM content")));
        QList<QPair<QString, QString>> top;
        QVERIFY(play.topTenSince(QDateTime::currentDateTime().addDays(-1), &top));
        QCOMPARE(top, (QList<QPair<QString, QString>>{{"Bob", "2"}}));

        QVERIFY(play.updateRoom({QStringLiteral("Art"), QStringLiteral("question"), 30, 1}));
        QVERIFY(play.updateRoom({QStringLiteral("Art"), QStringLiteral("pause"), 30, 1}));
        QCOMPARE(db->column(QStringLiteral("SELECT roomKey || '|' || category || '|' || state || '|' || "
                                           "COALESCE(asked_at, '-') || '|' || question_number FROM room_state")),
                 QStringList("irc.example.net #trivia|Art|pause|-|1"));
    }

    // A database made before the play tables gains them, with its data.
    void olderDatabaseGainsTheTables()
    {
        db->connection().close();
        {
            QString error;
            QSqlDatabase old = Database::open(db->filePath(), QStringLiteral("old"), &error);
            QSqlQuery ddl(old);
            for (const char* statement :
                 {"DROP TRIGGER content_play_data_go", "DROP TRIGGER content_answer_unique", "DROP TABLE content_answer",
                  "DROP TABLE question_stat", "DROP TABLE near_miss", "DROP TABLE question_report",
                  "DROP TABLE content_retired", "DROP TABLE score_event"})
                QVERIFY2(ddl.exec(QLatin1String(statement)), qPrintable(ddl.lastError().text()));
            ddl.finish();
            Database::upgrade(old);
            Database::upgrade(old);
            PlayStore play(old);
            QVERIFY(play.recordEnd(int(monaLisa), PlayStore::End::Answered, 10));
            QCOMPARE(play.givePoint(QStringLiteral("Ann"), int(monaLisa)), QStringLiteral("1"));
            old.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("old"));
        db->connection().open();
        QCOMPARE(stat(monaLisa), QStringLiteral("1/1/0/10/10"));
        QVERIFY2(!db->exec(QStringLiteral("INSERT INTO content_answer VALUES (%1, 'LEONARDO')").arg(monaLisa)),
                 "the check came back too");
    }
};

QTEST_GUILESS_MAIN(TestPlayStore)
#include "tst_playstore.moc"
