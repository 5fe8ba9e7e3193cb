// The question health list and the question details on a real database:
// which questions are listed and why, and what the operator does about one.

#include <QApplication>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

#include "db/database.h"
#include "db/healthstore.h"
#include "editor/dlgquestiondetails.h"
#include "editor/dlgquestioneditor.h"
#include "editor/dlgquestionhealth.h"
#include "gui/messagebox.h"
#include "tests/common/testdatabase.h"

class TestQuestionHealth : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    qint64 catId = 0;
    int made = 0;

    int addQuestion(const QString& answer = QStringLiteral("Paris"))
    {
        return int(db->addQuestion(catId, QStringLiteral("Question %1?").arg(++made), answer));
    }
    // Each statement of these is composed of the test's own numbers and texts.
    bool run(const QString& sql, int id, const QString& text = QString())
    {
        QString statement = sql;
        statement.replace(QLatin1String("ID"), QString::number(id));
        return db->exec(statement.replace(QLatin1String("TEXT"), text));
    }
    bool report(int id, const QString& note)
    {
        return run(QStringLiteral("INSERT INTO question_report VALUES (ID, 'amy', CURRENT_TIMESTAMP, 'TEXT')"), id,
                   note);
    }
    bool nearMiss(int id, const QString& text, int times = 1)
    {
        return run(QStringLiteral("INSERT INTO near_miss VALUES (ID, 'TEXT', %1, 'bob', NULL)").arg(times), id, text);
    }
    bool accept(int id, const QString& text)
    {
        return run(QStringLiteral("INSERT INTO content_answer VALUES (ID, 'TEXT')"), id, text);
    }
    bool retire(int id) { return run(QStringLiteral("INSERT INTO content_retired VALUES (ID, NULL)"), id); }
    int count(const char* table, int id)
    {
        return db->value(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE contentID=%2").arg(table).arg(id)).toInt();
    }
    QStringList accepted(int id)
    {
        return db->column(QStringLiteral("SELECT answer FROM content_answer WHERE contentID=%1 ORDER BY 1").arg(id));
    }
    static QStringList listed(const QListWidget* list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }
    // The reasons the health list gives, or nothing when it is not listed.
    static QString reasonsFor(int id)
    {
        QList<HealthRow> rows;
        HealthStore store;
        if (!store.listNeedingLook(&rows))
            return QStringLiteral("failed: ") + store.lastError().text();
        const auto found =
            std::find_if(rows.cbegin(), rows.cend(), [id](const HealthRow& row) { return row.contentId == id; });
        return found == rows.cend() ? QString() : found->category + QLatin1Char('|') + healthReasonText(*found);
    }
    std::unique_ptr<dlgQuestionDetails> details(int id)
    {
        auto dialog = std::make_unique<dlgQuestionDetails>(id);
        return dialog->load() ? std::move(dialog) : nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        isolateSettings();
        MessageBox::setTestMode(true);
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        QString error;
        QVERIFY2(Database::open(db->filePath(), QLatin1String(QSqlDatabase::defaultConnection), &error).isOpen(),
                 qPrintable(error));
        catId = db->addCategory(QStringLiteral("Geography"));
    }
    void cleanupTestCase()
    {
        QSqlDatabase::database().close();
        QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
        db.reset();
    }
    void cleanup() { MessageBox::takeShown(); }

    void reasons_data()
    {
        QTest::addColumn<QStringList>("notes");
        QTest::addColumn<int>("nearMisses");
        QTest::addColumn<QList<int>>("stat"); // asked, answered, total ms; none when never asked
        QTest::addColumn<bool>("retired");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QStringList& notes, int nearMisses, const QList<int>& stat,
                            bool retired, const QString& expected) {
            QTest::newRow(name) << notes << nearMisses << stat << retired
                                << (expected.isEmpty() ? expected : QStringLiteral("Geography|") + expected);
        };
        row("reported", {"wrong year"}, 0, {}, false, "Reported: \"wrong year\"");
        row("reported twice, one note", {"", "typo"}, 0, {}, false, "Reported 2 times: \"typo\"");
        row("near misses", {}, 2, {}, false, "2 near misses waiting");
        row("5 asks, 0 answers", {}, 0, {5, 0, 0}, false, "Never answered in 5 asks");
        row("4 asks, 0 answers", {}, 0, {4, 0, 0}, false, "");
        row("3 answers in 1.5 s", {}, 0, {4, 3, 4500}, false, "Answered in 1.5 s on average");
        row("3 answers in 2 s", {}, 0, {3, 3, 6000}, false, "");
        row("2 answers in 0.5 s", {}, 0, {2, 2, 1000}, false, "");
        row("healthy", {}, 0, {10, 6, 60000}, false, "");
        row("retired", {"bad"}, 1, {9, 0, 0}, true, "");
        row("reported, never answered", {"no"}, 0, {6, 0, 0}, false, "Reported: \"no\"; Never answered in 6 asks");
    }
    void reasons()
    {
        QFETCH(QStringList, notes);
        QFETCH(int, nearMisses);
        QFETCH(QList<int>, stat);
        QFETCH(bool, retired);
        const int id = addQuestion();
        for (const QString& note : notes)
            QVERIFY(report(id, note));
        for (int i = 0; i < nearMisses; ++i)
            QVERIFY(nearMiss(id, QStringLiteral("Pari%1").arg(i)));
        if (!stat.isEmpty())
            QVERIFY(db->exec(QStringLiteral("INSERT INTO question_stat (contentID, asked, answered, total_ms) "
                                            "VALUES (%1, %2, %3, %4)").arg(id).arg(stat[0]).arg(stat[1]).arg(stat[2])));
        if (retired)
            QVERIFY(retire(id));
        QTEST(reasonsFor(id), "expected");
    }

    // Numbers sort as numbers; a double-click opens that question, and the
    // list is read again when its details close.
    void healthList()
    {
        const int id = addQuestion();
        const QString question = QStringLiteral("Question %1?").arg(made);
        for (const int asked : {40, 9, 10})
            QVERIFY(db->exec(QStringLiteral("INSERT INTO question_stat (contentID, asked) VALUES (%1, %2)")
                                 .arg(asked == 40 ? id : addQuestion()).arg(asked)));
        dlgQuestionHealth health;
        health.show();
        QVERIFY(QTest::qWaitForWindowExposed(&health));
        QTreeWidget* list = health.twHealth;
        list->sortByColumn(dlgQuestionHealth::Asked, Qt::AscendingOrder);
        QList<int> asked;
        QTreeWidgetItem* row = nullptr;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            asked << list->topLevelItem(i)->text(dlgQuestionHealth::Asked).toInt();
            if (list->topLevelItem(i)->data(0, dlgQuestionHealth::contentIdRole).toInt() == id)
                row = list->topLevelItem(i);
        }
        QVERIFY(row && asked.contains(9) && asked.contains(40));
        QVERIFY(std::is_sorted(asked.cbegin(), asked.cend()));

        // Retired while its details are open: gone from the list after.
        QString opened;
        bool retired = false;
        QTimer::singleShot(0, &health, [&] {
            if (auto* shown = qobject_cast<dlgQuestionDetails*>(QApplication::activeModalWidget())) {
                opened = shown->leQuestion->text();
                retired = retire(id);
                shown->pbClose->click();
            }
        });
        list->scrollToItem(row);
        const QPoint centre = list->visualItemRect(row).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(opened, question);
        QVERIFY(retired);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            QVERIFY(list->topLevelItem(i)->data(0, dlgQuestionHealth::contentIdRole).toInt() != id);
    }

    // One click accepts a near miss and takes it off the list; one the
    // question accepts already, ignoring case, is refused and stays.
    void acceptNearMiss()
    {
        const int id = addQuestion(QStringLiteral("Dr. Wily"));
        QVERIFY(accept(id, QStringLiteral("Wily")));
        QVERIFY(nearMiss(id, QStringLiteral("Dr Wily"), 3));
        QVERIFY(nearMiss(id, QStringLiteral("wily")));
        const auto dialog = details(id);
        QVERIFY(dialog);
        const auto acceptButton = [&](int row) {
            return qobject_cast<QPushButton*>(dialog->twNearMisses->itemWidget(
                dialog->twNearMisses->topLevelItem(row), dlgQuestionDetails::acceptColumn));
        };
        QCOMPARE(dialog->twNearMisses->topLevelItem(0)->text(0), QStringLiteral("Dr Wily"));
        acceptButton(0)->click();
        QCOMPARE(accepted(id), QStringList({"Dr Wily", "Wily"}));
        QCOMPARE(listed(dialog->lwAccepted), accepted(id));
        QCOMPARE(db->column(QStringLiteral("SELECT answer FROM near_miss WHERE contentID=%1").arg(id)),
                 QStringList{"wily"});

        acceptButton(0)->click();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Unable to accept \"wily\". The question already accepts \"Wily\"."));
        QVERIFY(!shown[0].details.isEmpty());
        QCOMPARE(accepted(id).size(), 2);
        QCOMPARE(dialog->twNearMisses->topLevelItemCount(), 1);
    }

    void addAccepted_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("the answer in another case") << "dr. WILY" << "The question already accepts \"Dr. Wily\".";
        QTest::newRow("an accepted answer in another case") << " WILY " << "The question already accepts \"Wily\".";
        QTest::newRow("a new answer") << "Doctor Wily" << QString();
    }
    void addAccepted()
    {
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        const int id = addQuestion(QStringLiteral("Dr. Wily"));
        QVERIFY(accept(id, QStringLiteral("Wily")));
        const auto dialog = details(id);
        QVERIFY(dialog);
        QTest::keyClicks(dialog->leAccepted, typed);
        QTest::keyClick(dialog->leAccepted, Qt::Key_Return);
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        const QString lead = QStringLiteral("Unable to accept \"%1\". ").arg(typed.trimmed());
        QCOMPARE(shown.isEmpty() ? QString() : shown[0].text, refusal.isEmpty() ? refusal : lead + refusal);
        QCOMPARE(accepted(id).size(), refusal.isEmpty() ? 2 : 1);
        QCOMPARE(listed(dialog->lwAccepted), accepted(id));
        // Kept for another try after a refusal.
        QCOMPARE(dialog->leAccepted->text().isEmpty(), refusal.isEmpty());
    }

    void dismissReports()
    {
        const int id = addQuestion();
        const int other = addQuestion();
        QVERIFY(report(id, QStringLiteral("old")) && report(id, QStringLiteral("dated")) && report(other, "typo"));
        const auto dialog = details(id);
        QVERIFY(dialog);
        QCOMPARE(dialog->twReports->topLevelItemCount(), 2);
        MessageBox::setNextAnswer(QMessageBox::No);
        dialog->pbDismissReports->click();
        QCOMPARE(count("question_report", id), 2);
        dialog->pbDismissReports->click();
        QCOMPARE(count("question_report", id), 0);
        QCOMPARE(count("question_report", other), 1);
        QCOMPARE(dialog->twReports->topLevelItemCount(), 0);
        QVERIFY(!dialog->pbDismissReports->isEnabled());
        QCOMPARE(reasonsFor(id), QString());
    }

    // Retired on Save and back again; an answer saved that was an accepted
    // answer is no longer listed twice.
    void retireAndSave()
    {
        const int id = addQuestion();
        QVERIFY(report(id, QString()) && accept(id, QStringLiteral("Paname")));
        for (const bool retiring : {true, false}) {
            const auto dialog = details(id);
            QVERIFY(dialog);
            QCOMPARE(dialog->chkRetired->isChecked(), !retiring);
            dialog->chkRetired->setChecked(retiring);
            dialog->pbSave->click();
            QCOMPARE(count("content_retired", id), int(retiring));
            QCOMPARE(reasonsFor(id).isEmpty(), retiring);
        }
        const auto dialog = details(id);
        QVERIFY(dialog);
        dialog->leAnswer->setText(QStringLiteral("paname"));
        // Closing with the edit unsaved offers to save it; Yes is the default.
        dialog->reject();
        QCOMPARE(db->value(QStringLiteral("SELECT answer FROM content WHERE contentID=%1").arg(id)).toString(),
                 QStringLiteral("paname"));
        QCOMPARE(accepted(id), QStringList());
        QVERIFY(MessageBox::takeShown().size() == 1);
    }

    // The editor lists the current question's accepted answers beside the
    // answer field; Details... opens it, and a text saved there shows in the row.
    void editorAccepted()
    {
        const int id = addQuestion(QStringLiteral("Canberra"));
        const QString question = QStringLiteral("Question %1?").arg(made);
        QVERIFY(accept(id, QStringLiteral("Canberra City")));
        dlgQuestionEditor editor;
        const QList<QTreeWidgetItem*> rows = editor.twContent->findItems(question, Qt::MatchExactly);
        QCOMPARE(rows.size(), 1);
        editor.twContent->setCurrentItem(rows[0]);
        QCOMPARE(listed(editor.lwAccepted), QStringList{"Canberra City"});

        bool saved = false;
        QTimer::singleShot(0, &editor, [&] {
            if (auto* shown = qobject_cast<dlgQuestionDetails*>(QApplication::activeModalWidget())) {
                shown->leQuestion->setText(QStringLiteral("Capital of Australia?"));
                shown->leAccepted->setText(QStringLiteral("Canb."));
                shown->pbAcceptedAdd->click();
                shown->pbSave->click();
                saved = !shown->pbSave->isEnabled();
                shown->pbClose->click();
            }
        });
        editor.pbDetails->click();
        QVERIFY(saved);
        QCOMPARE(rows[0]->text(0), QStringLiteral("Capital of Australia?"));
        QCOMPARE(listed(editor.lwAccepted), QStringList({"Canb.", "Canberra City"}));
    }
};

QTEST_MAIN(TestQuestionHealth)
#include "tst_questionhealth.moc"
