#include "importer/questionfile.h"
#include "importer/questionfile_p.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace QuestionFile {

QString decode(const QByteArray& bytes, QString* encoding)
{
    QString text;
    const std::optional<QStringConverter::Encoding> bom = QStringConverter::encodingForData(bytes);
    if (bom && *bom != QStringConverter::Utf8) {
        QStringDecoder decoder(*bom);
        text = decoder(bytes);
        *encoding = QString::fromLatin1(QStringConverter::nameForEncoding(*bom));
    } else {
        QStringDecoder utf8(QStringConverter::Utf8);
        text = utf8(bytes);
        if (!utf8.hasError()) {
            *encoding = bom ? QStringLiteral("UTF-8 with BOM") : QStringLiteral("UTF-8");
        } else {
            text = QString::fromLatin1(bytes);
            *encoding = QStringLiteral("Latin-1");
        }
    }
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

namespace {

QString csvField(QString field)
{
    field = field.trimmed();
    if (field.size() >= 2 && field.startsWith(QLatin1Char('"')) && field.endsWith(QLatin1Char('"')))
        field = field.mid(1, field.size() - 2).trimmed();
    return field.toLower();
}

bool isCsvHeader(const QString& line)
{
    QStringList names;
    for (const QString& field : line.split(QLatin1Char(',')))
        names << csvField(field);
    return Detail::column(names, Detail::questionNames) >= 0 && Detail::column(names, Detail::answerNames) >= 0;
}

}

Format detect(const QString& text, const QString& suffix)
{
    static const QRegularExpression blockLabel(QStringLiteral("^\\s*(question|answer)\\s*:"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression yamlMark(QStringLiteral("^(\\s*-(\\s|$)|---\\s*$|.*:\\s*\\[.*\\]\\s*$)"));
    // The first lines that are neither blank nor comments decide.
    QStringList sample;
    qsizetype from = 0;
    while (from < text.size() && sample.size() < 200) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), from);
        if (end < 0)
            end = text.size();
        const QString line = text.mid(from, end - from);
        from = end + 1;
        if (!line.trimmed().isEmpty() && !line.startsWith(QLatin1Char('#')))
            sample << line;
    }
    if (sample.isEmpty())
        return Format::Unknown;
    const QString hint = suffix.toLower();
    if (isCsvHeader(sample.first()) || (hint == QLatin1String("csv") && sample.first().contains(QLatin1Char(','))))
        return Format::Csv;

    bool question = false;
    bool answer = false;
    int star = 0, pipe = 0, tab = 0;
    bool yaml = hint == QLatin1String("yaml") || hint == QLatin1String("yml");
    for (const QString& line : sample) {
        const QRegularExpressionMatch label = blockLabel.match(line);
        if (label.hasMatch())
            (label.captured(1).toLower() == QLatin1String("question") ? question : answer) = true;
        yaml = yaml || yamlMark.match(line).hasMatch();
        star += line.contains(QLatin1Char('*'));
        pipe += line.contains(QLatin1Char('|'));
        tab += line.contains(QLatin1Char('\t'));
    }
    if (question && answer)
        return Format::Blocks;
    if (yaml)
        return Format::Yaml;
    // The separator most lines hold; questions hold a stray "*" more often
    // than a tab, and a "|" least often.
    if (tab > 0 && tab >= star && tab >= pipe)
        return Format::Tab;
    if (star > 0 && star >= pipe)
        return Format::Star;
    if (pipe > 0)
        return Format::Pipe;
    return Format::Unknown;
}

Contents parse(const QByteArray& bytes, const QString& suffix)
{
    Contents contents;
    const QString text = decode(bytes, &contents.encoding);
    if (text.contains(QChar(0))) {
        contents.error = QStringLiteral("not a text file (it holds NUL bytes)");
        return contents;
    }
    contents.format = detect(text, suffix);
    switch (contents.format) {
    case Format::Star: Detail::readLines(text, QLatin1Char('*'), &contents); break;
    case Format::Pipe: Detail::readLines(text, QLatin1Char('|'), &contents); break;
    case Format::Tab: Detail::readLines(text, QLatin1Char('\t'), &contents); break;
    case Format::Blocks: Detail::readBlocks(text, &contents); break;
    case Format::Yaml: Detail::readYaml(text, &contents); break;
    case Format::Csv: Detail::readCsv(text, &contents); break;
    case Format::Unknown:
        contents.error = text.trimmed().isEmpty()
            ? QStringLiteral("the file holds no questions")
            : QStringLiteral("not a question file: no line holds a *, | or tab separator, and it is neither "
                             "labelled blocks, YAML nor CSV with a question and an answer column");
        break;
    }
    if (!contents.ok()) {
        contents.rows.clear();
        contents.skipped.clear();
    }
    return contents;
}

Contents read(const QString& path)
{
    Contents contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        contents.error = QStringLiteral("cannot be opened: %1").arg(file.errorString());
        return contents;
    }
    if (file.size() > maxFileBytes) {
        contents.error = QStringLiteral("larger than %1 MB").arg(maxFileBytes / (1024 * 1024));
        return contents;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        contents.error = QStringLiteral("cannot be read: %1").arg(file.errorString());
        return contents;
    }
    return parse(bytes, QFileInfo(path).suffix());
}

}
