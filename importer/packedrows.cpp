#include "importer/packedrows.h"

#include <cstring>

namespace QuestionFile {

namespace {

constexpr qsizetype blockBytes = 1024 * 1024;

// Each text is its length in bytes, shifted left by one, then its bytes:
// UTF-8, or UTF-16 (the low bit set) for the rare text with a lone
// surrogate, which UTF-8 cannot carry.
quint32 takeNumber(const char** from)
{
    quint32 value;
    std::memcpy(&value, *from, sizeof value);
    *from += sizeof value;
    return value;
}

QString takeText(const char** from)
{
    const quint32 head = takeNumber(from);
    const qsizetype bytes = head >> 1;
    const char* data = *from;
    *from += bytes;
    if (head & 1) {
        QString text(bytes / 2, Qt::Uninitialized);
        std::memcpy(text.data(), data, size_t(bytes));
        return text;
    }
    return QString::fromUtf8(data, bytes);
}

void putNumber(QByteArray* out, quint32 value)
{
    out->append(reinterpret_cast<const char*>(&value), sizeof value);
}

}

void PackedRows::put(const QString& text)
{
    if (text.isValidUtf16()) {
        const QByteArray utf8 = text.toUtf8();
        putNumber(&record, quint32(utf8.size()) << 1);
        record.append(utf8);
    } else {
        const qsizetype bytes = text.size() * qsizetype(sizeof(QChar));
        putNumber(&record, (quint32(bytes) << 1) | 1);
        record.append(reinterpret_cast<const char*>(text.constData()), bytes);
    }
}

void PackedRows::append(const Row& row, int tag)
{
    record.clear();
    put(row.category);
    put(row.question);
    put(row.answer);
    put(row.note);
    putNumber(&record, quint32(row.accepted.size()));
    for (const QString& answer : row.accepted)
        put(answer);

    if (blocks.empty() || blocks.back().size() + record.size() > blocks.back().capacity()) {
        blocks.emplace_back();
        blocks.back().reserve(qMax(blockBytes, record.size()));
    }
    QByteArray& block = blocks.back();
    entries.push_back({quint32(blocks.size() - 1), quint32(block.size()), row.line, tag});
    block.append(record);
}

Row PackedRows::at(qsizetype index, int* tag) const
{
    const Entry& entry = entries[size_t(index)];
    const char* from = blocks[entry.block].constData() + entry.offset;
    Row row;
    row.line = entry.line;
    row.category = takeText(&from);
    row.question = takeText(&from);
    row.answer = takeText(&from);
    row.note = takeText(&from);
    const quint32 more = takeNumber(&from);
    row.accepted.reserve(more);
    for (quint32 i = 0; i < more; ++i)
        row.accepted << takeText(&from);
    if (tag)
        *tag = entry.tag;
    return row;
}

void PackedRows::clear()
{
    entries = {};
    blocks = {};
}

}
