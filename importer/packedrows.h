#ifndef PACKEDROWS_H
#define PACKEDROWS_H

#include <QByteArray>

#include <deque>
#include <vector>

#include "importer/questionfile.h"

namespace QuestionFile {

// Rows held until a later step takes them, in about a third of the memory
// that Row objects need: their texts as UTF-8 in large blocks, each with a
// number of the holder's own (tag). A row comes back exactly as it went in.
class PackedRows
{
public:
    void append(const Row& row, int tag = 0);
    qsizetype size() const { return qsizetype(entries.size()); }
    bool isEmpty() const { return entries.empty(); }
    Row at(qsizetype index, int* tag = nullptr) const;
    int tagAt(qsizetype index) const { return entries[size_t(index)].tag; }
    void clear();

private:
    struct Entry {
        quint32 block;
        quint32 offset;
        int line;
        int tag;
    };
    void put(const QString& text);

    std::deque<Entry> entries;
    std::vector<QByteArray> blocks;
    QByteArray record;
};

}

#endif
