#include "conversion/message_set.h"

#include "platform/app_error.h"

#include <QRegularExpression>
#include <QSet>

namespace quillfen {
namespace {

[[noreturn]] void fault(int line, const QString& what)
{
    throw AppError(AppError::InvalidProcedureCall, QStringLiteral("line %1: %2").arg(line).arg(what));
}

// Splits the text into records of fields by RFC 4180: a field in double quotes may hold commas,
// line ends and doubled quotes. Each record keeps the line it starts on.
struct Record
{
    int line = 0;
    QStringList fields;
};

class RecordSplitter
{
public:
    explicit RecordSplitter(const QString& text) : m_text(text) {}

    QList<Record> split()
    {
        for (m_at = 0; m_at < m_text.size(); ++m_at)
            m_quoted ? inQuotes(m_text.at(m_at)) : outsideQuotes(m_text.at(m_at));
        if (m_quoted)
            fault(m_record.line, QStringLiteral("a quoted field is not closed"));
        if (!m_field.isEmpty() || !m_record.fields.isEmpty() || m_wasQuoted)
            endRecord();
        return m_records;
    }

private:
    QChar next() const { return m_at + 1 < m_text.size() ? m_text.at(m_at + 1) : QChar(); }

    void inQuotes(QChar c)
    {
        if (c == u'"' && next() == u'"') {
            m_field += c;
            ++m_at;
        } else if (c == u'"') {
            m_quoted = false;
            if (!next().isNull() && next() != u',' && next() != u'\n' && next() != u'\r')
                fault(m_line, QStringLiteral("a closing quote must end its field"));
        } else {
            m_line += c == u'\n' ? 1 : 0;
            m_field += c;
        }
    }

    void outsideQuotes(QChar c)
    {
        if (c == u'"') {
            if (!m_field.isEmpty())
                fault(m_line, QStringLiteral("a quote inside a field that does not start with one"));
            m_quoted = m_wasQuoted = true;
        } else if (c == u',') {
            endField();
        } else if (c == u'\n') {
            ++m_line;
            endRecord();
        } else if (!(c == u'\r' && next() == u'\n')) { // the CR of CR LF goes with its LF
            m_field += c;
        }
    }

    void endField()
    {
        m_record.fields << m_field;
        m_field.clear();
        m_wasQuoted = false;
    }

    void endRecord()
    {
        const bool quotedField = m_wasQuoted;
        endField();
        // A wholly empty line is no record.
        if (m_record.fields.size() > 1 || !m_record.fields.front().isEmpty() || quotedField)
            m_records << m_record;
        m_record = Record{m_line, {}};
    }

    const QString& m_text;
    qsizetype m_at = 0;
    int m_line = 1;
    bool m_quoted = false, m_wasQuoted = false;
    QString m_field;
    Record m_record{1, {}};
    QList<Record> m_records;
};

// The text of the file, which must be UTF-8; a byte-order mark is dropped.
QString utf8Text(const QByteArray& bytes)
{
    const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    // Text that is not UTF-8 decodes to replacement characters, so it does not encode back the same.
    QString text = QString::fromUtf8(body);
    if (text.toUtf8() != body) {
        const QList<QByteArray> lines = body.split('\n');
        for (int i = 0; i < lines.size(); ++i)
            if (QString::fromUtf8(lines.at(i)).toUtf8() != lines.at(i))
                fault(i + 1, QStringLiteral("the file is not UTF-8 text"));
    }
    return text;
}

// Each known column's place in a row, -1 where the header does not name it.
QList<int> columnPlaces(const Record& header)
{
    QList<int> place(kMessageColumns.size(), -1);
    for (int i = 0; i < header.fields.size(); ++i) {
        const QString column = header.fields.at(i).trimmed().toLower();
        const qsizetype known = kMessageColumns.indexOf(column);
        if (known < 0)
            fault(header.line, QStringLiteral("unknown column \"%1\"; the columns are %2")
                                   .arg(header.fields.at(i), kMessageColumns.join(QStringLiteral(", "))));
        if (place[known] >= 0)
            fault(header.line, QStringLiteral("the column \"%1\" is named twice").arg(column));
        place[known] = i;
    }
    for (int i = 0; i < 2; ++i)
        if (place[i] < 0)
            fault(header.line, QStringLiteral("no \"%1\" column in the header").arg(kMessageColumns.at(i)));
    return place;
}

} // namespace

QString messageNameFault(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("the name is empty");
    if (name == u"." || name == u"..")
        return QStringLiteral("\"%1\" is not a file name").arg(name);
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\')
            return QStringLiteral("the name \"%1\" holds a path separator").arg(name);
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("the name holds a control character");
        if (QStringView(u"<>:\"|?*").contains(c))
            return QStringLiteral("the name \"%1\" holds %2, which Windows does not allow").arg(name, c);
    }
    if (name.endsWith(u'.') || name.endsWith(u' '))
        return QStringLiteral("the name \"%1\" ends in a dot or a space, which Windows drops").arg(name);
    static const QRegularExpression reserved(QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (reserved.match(name).hasMatch())
        return QStringLiteral("\"%1\" is a device name on Windows").arg(name);
    return {};
}

QList<MessageRow> parseMessageCsv(const QByteArray& bytes)
{
    const QList<Record> records = RecordSplitter(utf8Text(bytes)).split();
    if (records.isEmpty())
        fault(1, QStringLiteral("no header row: it names the columns, \"name\" and \"text\" at least"));
    const Record& header = records.front();
    const QList<int> place = columnPlaces(header);

    QList<MessageRow> rows;
    QSet<QString> names;
    for (qsizetype r = 1; r < records.size(); ++r) {
        const Record& record = records.at(r);
        if (record.fields.size() != header.fields.size())
            fault(record.line, QStringLiteral("%1 fields where the header has %2")
                                   .arg(record.fields.size())
                                   .arg(header.fields.size()));
        const auto column = [&](int i) { return place[i] < 0 ? QString() : record.fields.at(place[i]); };
        MessageRow row{record.line, column(0), column(1), column(2), column(3)};
        if (const QString why = messageNameFault(row.name); !why.isEmpty())
            fault(row.line, why);
        if (row.text.trimmed().isEmpty())
            fault(row.line, QStringLiteral("the message \"%1\" has no text").arg(row.name));
        if (names.contains(row.name.toLower()))
            fault(row.line, QStringLiteral("the name \"%1\" is used twice").arg(row.name));
        names.insert(row.name.toLower());
        rows << row;
    }
    return rows;
}

} // namespace quillfen
