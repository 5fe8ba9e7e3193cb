#include "importer/mdbsource.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "importer/regularfile.h"

namespace {

QStringList openNames;
int idleLimitMs = 15000;
qint64 outputLimit = qint64(256) * 1024 * 1024;
// A reader that keeps printing slowly is stopped after this long in any case.
const int totalLimitMs = 300000;

QString unescape(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (c != '\\' || i + 1 == field.size()) {
            out += c;
            continue;
        }
        switch (field.at(++i)) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: out += field.at(i);
        }
    }
    return QString::fromUtf8(out);
}

}

struct MdbSource::Output {
    QStringList tables;
    qint64 claimedRows = 0;
    QList<SourceRow>* rows = nullptr;
    qint64 rowCount = 0;
    QString readerError;
    bool complete = false;
    bool malformed = false;

    void takeLine(const QByteArray& line)
    {
        if (complete) {
            malformed = true;
            return;
        }
        const QList<QByteArray> fields = line.split('\t');
        const QByteArray& kind = fields.first();
        if (kind == "." && fields.size() == 1) {
            complete = true;
        } else if (kind == "T" && fields.size() == 2) {
            tables << unescape(fields[1]);
        } else if (kind == "N" && fields.size() == 2) {
            claimedRows = fields[1].toLongLong();
        } else if (kind == "R" && fields.size() == 3 && rows) {
            rows->append({unescape(fields[1]), unescape(fields[2])});
            ++rowCount;
        } else if (kind == "E" && fields.size() == 2) {
            readerError = unescape(fields[1]);
        } else {
            malformed = true;
        }
    }
};

MdbSource::MdbSource(const QString& connectionName)
    : name(connectionName)
{
}

MdbSource::~MdbSource()
{
    close();
}

bool MdbSource::open(const QString& filePath, const Progress& progress)
{
    close();
    // libmdb would wait on a FIFO, and read a device without end.
    const QString problem = RegularFile::problem(filePath);
    if (!problem.isEmpty()) {
        error = QStringLiteral("The file is %1.").arg(problem);
        return false;
    }
    Output output;
    if (!runReader({QStringLiteral("tables"), filePath}, &output, progress))
        return false;
    path = filePath;
    tableNames = output.tables;
    opened = true;
    openNames << name;
    return true;
}

void MdbSource::close()
{
    if (opened)
        openNames.removeOne(name);
    opened = false;
    path.clear();
    tableNames.clear();
}

bool MdbSource::readTable(const QString& table, QList<SourceRow>* rows, const Progress& progress)
{
    rows->clear();
    if (!opened) {
        error = QStringLiteral("No TriviaBot file is open; choose one with Browse.");
        return false;
    }
    Output output;
    output.rows = rows;
    if (!runReader({QStringLiteral("rows"), path, table}, &output, progress)) {
        rows->clear();
        return false;
    }
    return true;
}

QStringList MdbSource::connectionNames()
{
    return openNames;
}

QString MdbSource::readerPath()
{
    // Installed, the reader is in libexec: found from the program's own
    // place, so that a moved or staged tree runs its own reader, not the
    // build's.
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {dir + QStringLiteral("/quiznewt-mdbread"),
          QDir::cleanPath(dir + QStringLiteral("/" QUIZNEWT_MDBREAD_INSTALLED "/quiznewt-mdbread"))}) {
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    }
    return QStringLiteral(QUIZNEWT_MDBREAD_FALLBACK);
}

bool MdbSource::isAccessFile(const QString& filePath)
{
    QFile file;
    qint64 size = 0;
    QString problem;
    if (!RegularFile::open(filePath, &file, &size, &problem))
        return false;
    // Jet (Access 97 to 2003) and ACE (2007 on) name themselves at offset 4.
    const QByteArray head = file.read(19);
    return head.size() == 19 && head.startsWith(QByteArray("\0\1\0\0", 4))
        && (head.mid(4) == "Standard Jet DB" || head.mid(4) == "Standard ACE DB");
}

void MdbSource::setLimits(int idleMs, qint64 maxOutputBytes)
{
    idleLimitMs = idleMs;
    outputLimit = maxOutputBytes;
}

bool MdbSource::runReader(const QStringList& arguments, Output* output, const Progress& progress)
{
    error.clear();
    QProcess reader;
    // libmdb complains on stderr about damaged pages; nobody reads it, and an
    // unread pipe would grow without bound inside QProcess.
    reader.setStandardErrorFile(QProcess::nullDevice());
    reader.start(readerPath(), arguments, QIODevice::ReadOnly);
    if (!reader.waitForStarted()) {
        error = QStringLiteral("The reader program %1 cannot be started: %2")
                    .arg(readerPath(), reader.errorString());
        return false;
    }

    QByteArray pending;
    qint64 received = 0;
    QElapsedTimer sinceOutput;
    QElapsedTimer total;
    sinceOutput.start();
    total.start();
    auto stop = [&](const QString& why) {
        reader.kill();
        reader.waitForFinished();
        error = why;
        return false;
    };
    for (;;) {
        const bool more = reader.waitForReadyRead(50);
        const QByteArray chunk = reader.readAllStandardOutput();
        if (!chunk.isEmpty()) {
            sinceOutput.restart();
            received += chunk.size();
            if (received > outputLimit)
                return stop(QStringLiteral("The file gives far more data than a trivia table holds; it may be damaged."));
            pending += chunk;
            const int end = pending.lastIndexOf('\n');
            if (end >= 0) {
                int start = 0;
                while (start <= end) {
                    const int newline = pending.indexOf('\n', start);
                    output->takeLine(pending.mid(start, newline - start));
                    start = newline + 1;
                }
                pending.remove(0, end + 1);
            }
        }
        if (progress)
            progress(output->rowCount, output->claimedRows);
        if (!more && reader.state() == QProcess::NotRunning)
            break;
        if (sinceOutput.elapsed() > idleLimitMs || total.elapsed() > totalLimitMs)
            return stop(QStringLiteral("Reading the file takes too long; it may be damaged."));
    }

    if (reader.exitStatus() == QProcess::CrashExit)
        error = QStringLiteral("The file is damaged: reading it failed.");
    else if (!output->readerError.isEmpty())
        error = output->readerError;
    else if (reader.exitCode() != 0 || !output->complete || output->malformed || !pending.isEmpty())
        error = QStringLiteral("The file is damaged: it could not be read to the end.");
    return error.isEmpty();
}
