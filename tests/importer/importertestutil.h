#ifndef IMPORTERTESTUTIL_H
#define IMPORTERTESTUTIL_H

#include <QFile>
#include <QListWidget>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

// Helpers shared by the importer's tests and benches.
namespace ImporterTest {

inline QString fixture(const QString& name)
{
    return QStringLiteral(QUIZNEWT_TEST_DATA "/") + name;
}

inline QListWidgetItem* item(const QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    return found.isEmpty() ? nullptr : found.first();
}

// Lets whatever waits on a FIFO go on after graceMs, by opening the FIFO for
// writing and closing it again: a test of code that must never wait on a
// FIFO then fails instead of hanging. Opens nothing that blocks.
class FifoUnblocker
{
public:
    explicit FifoUnblocker(const QString& path, int graceMs = 3000)
        : thread([this, name = QFile::encodeName(path), graceMs] {
            const auto start = std::chrono::steady_clock::now();
            while (!stop) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(graceMs))
                    continue;
                // Fails at once while nobody reads.
                const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    needed = true;
                    ::close(fd);
                }
            }
        })
    {
    }
    ~FifoUnblocker()
    {
        stop = true;
        thread.join();
    }
    bool wasNeeded() const { return needed; }

private:
    std::atomic<bool> stop{false};
    std::atomic<bool> needed{false};
    std::thread thread;
};

}

#endif
