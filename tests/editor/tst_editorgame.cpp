// The running game hears of renamed and deleted categories through the
// editor that the main window opens.

#include <QtTest>

#include "app/messagebox.h"
#include "app/quiznewt.h"
#include "editor/dlgquestioneditor.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/testdatabase.h"

class QuizNewtTestAccess
{
public:
    static void openEditor(QuizNewt& window) { window.showQuestionEditor(); }
    static QString currentAnswer(const QuizNewt& window) { return window.currentAnswer; }
};

class TestEditorGame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        isolateSettings();
        MessageBox::setTestMode(true);
    }

    void gameHearsOfTheChange_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<bool>("noticed");
        QTest::newRow("running category renamed") << "Capitals" << "World Capitals" << true;
        QTest::newRow("running category deleted") << "Capitals" << "" << true;
        QTest::newRow("only the case changed") << "Capitals" << "CAPITALS" << false;
        QTest::newRow("another category renamed") << "Rivers" << "Big Rivers" << false;
    }

    // An empty new name stands for deleting the category.
    void gameHearsOfTheChange()
    {
        QFETCH(QString, category);
        QFETCH(QString, newName);
        QFETCH(bool, noticed);
        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        db.addUser(QStringLiteral("Ctrl"), 0, 1, 0);
        db.addQuestion(db.addCategory("Capitals"), QStringLiteral("Capital of France?"), QStringLiteral("Paris"));
        db.addQuestion(db.addCategory("Rivers"), QStringLiteral("Longest river?"), QStringLiteral("Nile"));
        db.makeInstallDir();
        auto* link = new RecordingRoomLink;
        QuizNewt window(link);
        window.startPauseMs = 0;
        link->say(QStringLiteral("Ctrl: !start Capitals"));
        QCOMPARE(QuizNewtTestAccess::currentAnswer(window), QStringLiteral("Paris"));
        link->takePosts();

        // The editor runs modally: act on it from inside its loop, and check
        // afterwards, since a failing check inside would leave it open.
        QTimer::singleShot(0, [&] {
            auto* editor = window.findChild<dlgQuestionEditor*>();
            editor->cbCategory->setCurrentIndex(editor->cbCategory->findText(category));
            MessageBox::setNextAnswer(QMessageBox::Yes);
            if (!newName.isEmpty())
                editor->cbCategory->setEditText(newName);
            (newName.isEmpty() ? editor->pbCatDelete : editor->pbCatUpdate)->click();
            editor->pbClose->click();
        });
        QuizNewtTestAccess::openEditor(window);

        QCOMPARE(MessageBox::takeShown().size(), 1);
        const QString notice = QStringLiteral("This category's name has been modified! Please restart with the "
                                              "updated category name (Type !categories)");
        QCOMPARE(link->takePosts(), noticed ? QStringList{notice} : QStringList{});
        QCOMPARE(QuizNewtTestAccess::currentAnswer(window), noticed ? "No Answer" : "Paris");
    }
};

QTEST_MAIN(TestEditorGame)
#include "tst_editorgame.moc"
