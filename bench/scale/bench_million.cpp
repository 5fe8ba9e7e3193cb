// The game and the operator's pages with a category of a million questions
// and one of a thousand, on a real embedded database built once and kept in
// the cache directory between runs: the game, the Scores and Users pages
// (100,000 members; 1,000 in a small database of their own), the question
// editor, and, on copies of the database, deleting a category and
// quiznewt-import of a generated file. Prints "NAME: VALUE UNIT" lines.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScrollBar>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

#include "app/quiznewt.h"
#include "db/database.h"
#include "editor/dlgquestioneditor.h"
#include "gui/messagebox.h"
#include "game/clock.h"
#include "game/game.h"
#include "game/sqlgamestore.h"
#include "bench/common/cacheddatabase.h"
#include "bench/common/resident.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/testdatabase.h"

namespace {

const int sizes[] = {1000, 1000000};

// Fills a category inside the engine: a million rows in one statement.
bool fill(QSqlDatabase db, const QString& category, int count, QString* error)
{
    QSqlQuery query(db);
    const QString block = QStringLiteral(
        "EXECUTE BLOCK AS DECLARE i INTEGER = 0; DECLARE id INTEGER; DECLARE cat INTEGER; BEGIN "
        "cat = GEN_ID(AUTO_INC, 1); INSERT INTO category (catID, catName) VALUES (:cat, '%1'); "
        "WHILE (i < %2) DO BEGIN id = GEN_ID(AUTO_INC, 1); "
        "INSERT INTO content (contentID, question, answer) VALUES (:id, 'Question ' || :i || ' of %1?', "
        "'Answer ' || :i); INSERT INTO category_content (catID, contentID) VALUES (:cat, :id); i = i + 1; END END")
                              .arg(category)
                              .arg(count);
    if (!query.exec(block)) {
        *error = query.lastError().text();
        return false;
    }
    return true;
}

// Both categories and 100,000 members, the first with the control right.
bool fillAll(QSqlDatabase db, QString* error)
{
    for (int size : sizes) {
        if (!fill(db, QStringLiteral("Size%1").arg(size), size, error))
            return false;
    }
    // The driver commits a block only when its query goes.
    QSqlQuery members(db);
    if (members.exec(QStringLiteral(
            "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < 100000) DO BEGIN "
            "INSERT INTO users (userID, username, score, hasControl, hasAdmin) VALUES (GEN_ID(AUTO_INC, 1), "
            "'Member' || :i, MOD(:i * 7919, 1000), IIF(:i = 0, 1, 0), 0); i = i + 1; END END")))
        return true;
    *error = members.lastError().text();
    return false;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

bool measureGame(const QString& path);

double msSince(const QElapsedTimer& clock, qint64 before)
{
    return (clock.nsecsElapsed() - before) / 1e6;
}

void setInstallDir(const QString& dir)
{
    QSettings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt")).setValue(QStringLiteral("InstallDir"), dir);
}

// A copy of the cached database in dir, for the figures that change it.
bool copyDatabase(const QString& from, const QTemporaryDir& dir)
{
    // Written out now: else the first commit's sync writes the whole copy.
    QFile copy(dir.filePath(Database::fileName));
    if (dir.isValid() && QFile::copy(from, copy.fileName()) && copy.open(QIODevice::ReadWrite)
        && ::fsync(copy.handle()) == 0)
        return true;
    std::printf("cannot copy the database\n");
    return false;
}

// The Scores and Users pages from the click on the page button to the
// filled list painted; the window reads the database InstallDir names.
bool measurePages(int members)
{
    QuizNewt window(new RecordingRoomLink);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    const struct {
        const char* name;
        QPushButton* button;
        QTreeWidget* list;
    } pages[] = {{"scores", window.pbScores, window.twScoreList}, {"users", window.pbUsers, window.twUsers}};
    for (const auto& page : pages) {
        QList<double> runs;
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(window.pbTrivia, Qt::LeftButton);
            QCoreApplication::processEvents();
            QElapsedTimer clock;
            clock.start();
            QTest::mouseClick(page.button, Qt::LeftButton);
            QCoreApplication::processEvents();
            page.list->viewport()->repaint();
            runs.append(msSince(clock, 0));
            if (page.list->topLevelItemCount() != members) {
                std::printf("%s page shows %d of %d members\n", page.name, page.list->topLevelItemCount(), members);
                return false;
            }
        }
        // The median of three; the first opening makes every row, the
        // others may find the rows already there.
        std::printf("%s page at %d members: %.1f ms\n", page.name, members, median(runs));
        std::printf("%s page first open at %d members: %.1f ms\n", page.name, members, runs.first());
    }
    return true;
}

// A database of its own with a thousand members, for the pages at 1,000.
bool measurePagesAtThousand()
{
    QTemporaryDir dir;
    QString error;
    const QString path = dir.filePath(Database::fileName);
    if (!Database::create(path, &error)) {
        std::printf("no small database: %s\n", qPrintable(error));
        return false;
    }
    {
        QSqlDatabase db = Database::open(path, QStringLiteral("small"), &error);
        QSqlQuery members(db);
        if (!members.exec(QStringLiteral(
                "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < 1000) DO BEGIN "
                "INSERT INTO users (userID, username, score, hasControl, hasAdmin) VALUES (GEN_ID(AUTO_INC, 1), "
                "'Member' || :i, MOD(:i * 7919, 1000), 0, 0); i = i + 1; END END"))) {
            std::printf("no small member set: %s\n", qPrintable(members.lastError().text()));
            return false;
        }
    }
    QSqlDatabase::database(QStringLiteral("small"), false).close();
    QSqlDatabase::removeDatabase(QStringLiteral("small"));
    setInstallDir(dir.path());
    return measurePages(1000);
}

// The editor on a copy of the cached database: built on the first category
// in name order (Size1000), then switched to Size1000000; then scrolled a
// while, and a row listed late changed and deleted.
bool measureEditor(const QString& cached)
{
    // A copy: the editor changes and deletes a question.
    QTemporaryDir dir;
    if (!copyDatabase(cached, dir))
        return false;
    setInstallDir(dir.path());
    QuizNewt window(new RecordingRoomLink);
    QElapsedTimer clock;
    clock.start();
    auto editor = std::make_unique<dlgQuestionEditor>(&window);
    editor->show();
    QCoreApplication::processEvents();
    std::printf("editor open at 1000: %.1f ms\n", msSince(clock, 0));
    std::printf("editor open at 1000 memory: %.1f MB\n", residentKb() / 1024.0);
    const int big = editor->cbCategory->findText(QStringLiteral("Size1000000"));
    const qint64 before = clock.nsecsElapsed();
    editor->cbCategory->setCurrentIndex(big);
    QCoreApplication::processEvents();
    editor->twContent->viewport()->repaint();
    std::printf("editor open at 1000000: %.1f ms\n", msSince(clock, before));
    std::printf("editor open at 1000000 memory: %.1f MB\n", residentKb() / 1024.0);
    // Paging down to the end of what is loaded, a hundred times.
    QList<double> steps;
    QScrollBar* bar = editor->twContent->verticalScrollBar();
    for (int i = 0; i < 100; ++i) {
        const qint64 step = clock.nsecsElapsed();
        bar->setValue(bar->maximum());
        QCoreApplication::processEvents();
        editor->twContent->viewport()->repaint();
        steps.append(msSince(clock, step));
    }
    std::printf("editor scroll step at 1000000 max: %.1f ms\n", *std::max_element(steps.begin(), steps.end()));
    std::printf("editor rows after 100 scroll steps at 1000000: %d rows\n", editor->twContent->topLevelItemCount());
    // Update and Delete of a row listed late, from the button to the list
    // changed; the row's double-click is the slot's, without the mouse.
    QTreeWidgetItem* late = editor->twContent->topLevelItem(editor->twContent->topLevelItemCount() - 2);
    QMetaObject::invokeMethod(editor.get(), "itemDoubleClicked", Q_ARG(QTreeWidgetItem*, late), Q_ARG(int, 0));
    editor->leAnswer->setText(QStringLiteral("Changed"));
    qint64 action = clock.nsecsElapsed();
    editor->pbUpdate->click();
    std::printf("editor update at 1000000: %.1f ms\n", msSince(clock, action));
    QMetaObject::invokeMethod(editor.get(), "itemDoubleClicked", Q_ARG(QTreeWidgetItem*, late), Q_ARG(int, 0));
    action = clock.nsecsElapsed();
    editor->pbDelete->click();
    std::printf("editor delete question at 1000000: %.1f ms\n", msSince(clock, action));
    if (!MessageBox::takeShown().isEmpty()) {
        std::printf("the editor showed a message box\n");
        return false;
    }
    return true;
}

// Deleting a category in the editor, on a copy of the cached database.
bool measureDelete(const QString& cached, int size)
{
    QTemporaryDir dir;
    if (!copyDatabase(cached, dir))
        return false;
    setInstallDir(dir.path());
    QuizNewt window(new RecordingRoomLink);
    dlgQuestionEditor editor(&window);
    const QString name = QStringLiteral("Size%1").arg(size);
    editor.cbCategory->setCurrentIndex(editor.cbCategory->findText(name));
    MessageBox::setNextAnswer(QMessageBox::Yes);
    QElapsedTimer clock;
    clock.start();
    editor.pbCatDelete->click();
    const double ms = msSince(clock, 0);
    QSqlQuery left;
    left.exec(QStringLiteral("SELECT COUNT(*) FROM content c INNER JOIN category_content cc ON c.contentID = cc.contentID "
                             "INNER JOIN category cat ON cc.catID = cat.catID WHERE cat.catName = '%1'").arg(name));
    QSqlQuery gone;
    gone.exec(QStringLiteral("SELECT COUNT(*) FROM category WHERE catName = '%1'").arg(name));
    if (!left.next() || !gone.next() || left.value(0).toInt() != 0 || gone.value(0).toInt() != 0) {
        std::printf("delete %d left the category or its questions\n", size);
        return false;
    }
    std::printf("delete %d: %.1f s\n", size, ms / 1000);
    return true;
}

// quiznewt-import of a generated question file into a copy of the cached
// database, timed and its peak memory taken from /usr/bin/time.
bool measureImport(const QString& cached, int size)
{
    QTemporaryDir dir;
    if (!copyDatabase(cached, dir))
        return false;
    const QString file = dir.filePath(QStringLiteral("questions.txt"));
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            return false;
        QByteArray block;
        for (int i = 0; i < size; ++i) {
            // As long as a real question, so that a million make a file
            // of over 64 MB, the size the tool once refused.
            block += "Imported question " + QByteArray::number(i) + " of " + QByteArray::number(size)
                + ": which of the planets in our solar system has the most moons?*Imported answer "
                + QByteArray::number(i) + "\n";
            if (block.size() > (1 << 20)) {
                out.write(block);
                block.clear();
            }
        }
        out.write(block);
    }
    setInstallDir(dir.path());
    const QString importer = qEnvironmentVariable("QUIZNEWT_IMPORT",
        QCoreApplication::applicationDirPath() + QStringLiteral("/../../importer/quiznewt-import"));
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral("/usr/bin/time"),
                  {QStringLiteral("-v"), importer, QStringLiteral("--category"), QStringLiteral("Imported%1").arg(size),
                   QStringLiteral("--create-category"), file});
    if (!process.waitForFinished(15 * 60 * 1000) || process.exitCode() != 0) {
        std::printf("import %d failed: %s\n", size, process.readAll().right(2000).constData());
        return false;
    }
    const double seconds = msSince(clock, 0) / 1000;
    qint64 stored = -1;
    {
        QString error;
        QSqlDatabase copy = Database::open(dir.filePath(Database::fileName), QStringLiteral("imported"), &error);
        QSqlQuery count(copy);
        if (count.exec(QStringLiteral("SELECT COUNT(*) FROM category_content cc INNER JOIN category cat "
                                      "ON cc.catID = cat.catID WHERE cat.catName = 'Imported%1'").arg(size))
            && count.next())
            stored = count.value(0).toLongLong();
    }
    QSqlDatabase::database(QStringLiteral("imported"), false).close();
    QSqlDatabase::removeDatabase(QStringLiteral("imported"));
    if (stored != size) {
        std::printf("import %d stored %lld questions\n", size, stored);
        return false;
    }
    qint64 peakKb = -1;
    for (const QByteArray& line : process.readAll().split('\n')) {
        if (line.contains("Maximum resident set size"))
            peakKb = line.mid(line.lastIndexOf(':') + 1).trimmed().toLongLong();
    }
    std::printf("import %d file size: %.1f MB\n", size, QFileInfo(file).size() / 1048576.0);
    std::printf("import %d: %.1f s\n", size, seconds);
    std::printf("import %d peak memory: %.1f MB\n", size, peakKb / 1024.0);
    return true;
}

}

// With no arguments every figure; else only the groups named: game, pages,
// editor, delete, import.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    isolateSettings();
    MessageBox::setTestMode(true);
    QStringList groups = app.arguments().mid(1);
    if (groups.isEmpty())
        groups = QStringList{"game", "pages", "editor", "delete", "import"};
    QString error;
    QElapsedTimer built;
    built.start();
    const QString path = cachedBenchDatabase(QStringLiteral("million"), {}, fillAll, &error);
    if (path.isEmpty()) {
        std::printf("no database: %s\n", qPrintable(error));
        return 1;
    }
    std::fprintf(stderr, "database ready in %.1f s: %s\n", built.elapsed() / 1000.0, qPrintable(path));
    const QString cacheDir = QFileInfo(path).absolutePath();
    // Brings older caches up to date once, before anyone copies them.
    {
        QSqlDatabase db = Database::open(path, QStringLiteral("upgrade"), &error);
        if (db.isOpen())
            Database::upgrade(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("upgrade"));
    if (groups.contains(QLatin1String("game"))) {
        const bool measured = measureGame(path);
        // Closed before the file is copied or opened by the window.
        QSqlDatabase::database(QStringLiteral("game"), false).close();
        QSqlDatabase::removeDatabase(QStringLiteral("game"));
        if (!measured)
            return 1;
    }
    if (groups.contains(QLatin1String("pages"))) {
        setInstallDir(cacheDir);
        if (!measurePages(100000) || !measurePagesAtThousand())
            return 1;
    }
    if (groups.contains(QLatin1String("editor")) && !measureEditor(path))
        return 1;
    if (groups.contains(QLatin1String("delete")) && (!measureDelete(path, 1000) || !measureDelete(path, 1000000)))
        return 1;
    if (groups.contains(QLatin1String("import")) && (!measureImport(path, 1000) || !measureImport(path, 1000000)))
        return 1;
    return 0;
}

namespace {

bool measureGame(const QString& path)
{
    QString error;
    QSqlDatabase db = Database::open(path, QStringLiteral("game"), &error);
    if (!db.isOpen()) {
        std::printf("cannot open: %s\n", qPrintable(error));
        return false;
    }

    RecordingRoomLink room;
    Game game(&room, std::make_unique<SqlGameStore>(db), Clock::system(), Quiz::standardRandom());
    game.setStartPause(0);
    QElapsedTimer clock;
    clock.start();
    for (int size : sizes) {
        const QString start = QStringLiteral("Member0: !start Size%1").arg(size);
        QList<double> starts;
        for (int i = 0; i < 5; ++i) {
            const qint64 before = clock.nsecsElapsed();
            room.say(start);
            starts.append((clock.nsecsElapsed() - before) / 1e6);
            if (game.answer() == Quiz::noAnswer) {
                std::printf("start at %d failed: %s\n", size, qPrintable(room.takePosts().join(QLatin1Char('|'))));
                return false;
            }
        }
        std::printf("start at %d: %.1f ms\n", size, median(starts));
        // The draw alone, then the whole step to the next question: post,
        // timers and the room's row.
        QList<double> draws;
        QList<double> steps;
        for (int i = 0; i < 300; ++i) {
            GameStore::Drawn drawn;
            qint64 before = clock.nsecsElapsed();
            game.store().draw(QStringLiteral("Size%1").arg(size), &drawn);
            draws.append((clock.nsecsElapsed() - before) / 1e6);
            before = clock.nsecsElapsed();
            game.nextQuestion();
            steps.append((clock.nsecsElapsed() - before) / 1e6);
        }
        std::printf("draw at %d median: %.2f ms\n", size, median(draws));
        std::printf("next question at %d median: %.2f ms\n", size, median(steps));
        std::printf("game memory at %d: %.1f MB\n", size, residentKb() / 1024.0);
        room.takePosts();
        room.say(QStringLiteral("Member0: !quit"));
    }
    return true;
}

}
