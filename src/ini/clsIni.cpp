#include "clsIni.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStringDecoder>

#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "ProgramFolder.h"

namespace {

// The profile API hands back at most buffer size - 1 characters.
constexpr qsizetype ValueLimit = 1023;
// A settings file is a few hundred bytes; anything this big is not one, and is left alone.
constexpr qint64 LargestFile = 32 * 1024 * 1024;
const QString Sentinel = QStringLiteral("$!*%");
const QByteArray Utf8Bom("\xEF\xBB\xBF");

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool IsBlank(QChar c)
{
    return c.unicode() < 128 && IsBlank(char(c.unicode()));
}

// QByteArray or QString.
template <typename Text>
Text TrimBlanks(const Text& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// Cuts to the buffer limit without splitting a surrogate pair.
QString CutToLimit(const QString& text)
{
    if (text.size() <= ValueLimit)
        return text;
    qsizetype size = ValueLimit;
    if (text[size - 1].isHighSurrogate())
        --size;
    return text.left(size);
}

template <typename Number>
QString PlainDecimal(Number value)
{
    char buffer[512];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return QString::number(double(value), 'g', 17);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

// The platform's text conversion; nothing when the value has no text form.
std::optional<QString> ToText(const QVariant& value)
{
    if (!value.isValid())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::SChar:
    case QMetaType::Char:
        return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
        return QString::number(value.toULongLong());
    case QMetaType::Float:
        return PlainDecimal(value.toFloat());
    case QMetaType::Double:
        return PlainDecimal(value.toDouble());
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    case QMetaType::Nullptr:
        return std::nullopt;
    default:
        if (value.canConvert<QString>())
            return value.toString();
        return std::nullopt;
    }
}

// Blanks at either end would be trimmed away on reading, and an empty value would read
// as a missing one in some readers: both go inside double quotes.
QString QuoteForWriting(const QString& text)
{
    if (text.isEmpty())
        return QStringLiteral("\"\"");
    if (IsBlank(text.front()) || IsBlank(text.back()))
        return QLatin1Char('"') + text + QLatin1Char('"');
    return text;
}

bool HasLineBreakOrNul(const QString& text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))
        || text.contains(QChar(0));
}

// Names and values that would read back as something else (another line, a section, a
// comment, a different key) are refused rather than written.
bool IsWritableSection(const QString& section)
{
    const QString name = TrimBlanks(section);
    return !name.isEmpty() && !HasLineBreakOrNul(name);
}

bool IsWritableKey(const QString& key)
{
    const QString name = TrimBlanks(key);
    return !name.isEmpty() && !name.contains(QLatin1Char('=')) && !HasLineBreakOrNul(name)
        && name.front() != QLatin1Char(';') && name.front() != QLatin1Char('[');
}

bool IsWritableValue(const QString& value)
{
    return !HasLineBreakOrNul(value);
}

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

enum class LineKind { Blank, Comment, Section, Key, Other };

struct LineMeaning {
    LineKind Kind = LineKind::Other;
    QString Name;        // section or key name, blanks trimmed
    QByteArray RawName;  // the key name as the file spells it
    QByteArray RawValue; // blanks trimmed, quotes still on
};

LineMeaning Classify(const QByteArray& text)
{
    LineMeaning meaning;
    const QByteArray line = TrimBlanks(text);
    if (line.isEmpty()) {
        meaning.Kind = LineKind::Blank;
    } else if (line.front() == ';') {
        meaning.Kind = LineKind::Comment;
    } else if (line.front() == '[') {
        // The name runs to the last "]" of the line, so "[U]]" is the section "U]".
        const qsizetype close = line.lastIndexOf(']');
        if (close > 0) {
            meaning.Kind = LineKind::Section;
            meaning.Name = QString::fromUtf8(TrimBlanks(line.mid(1, close - 1)));
        }
    } else {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0) {
            meaning.RawName = TrimBlanks(line.left(equals));
            if (!meaning.RawName.isEmpty()) {
                meaning.Kind = LineKind::Key;
                meaning.Name = QString::fromUtf8(meaning.RawName);
                meaning.RawValue = TrimBlanks(line.mid(equals + 1));
            }
        }
    }
    return meaning;
}

QString ValueFromRaw(QByteArray raw)
{
    // The platform hands values on as C strings: a NUL ends the value, before the quotes are looked at.
    if (const qsizetype nul = raw.indexOf('\0'); nul >= 0)
        raw.truncate(nul);
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"')
        raw = raw.mid(1, raw.size() - 2);
    return CutToLimit(QString::fromUtf8(raw));
}

// One settings file held as its lines, each with its own line end, so that rewriting
// one key gives back every other line byte for byte.
class Profile {
public:
    // False when the file exists but cannot be read; a missing file is an empty profile.
    bool Load(const QString& path)
    {
        QFile file(path);
        if (!file.exists())
            return true;
        if (file.size() > LargestFile || !file.open(QIODevice::ReadOnly))
            return false;
        m_original = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return false;
        Split(m_original);
        return true;
    }

    // Writes beside the file and renames, so the old file stays whole until the new one is.
    bool Save(const QString& path) const
    {
        const QByteArray content = Join();
        if (content == m_original)
            return true;
        const QFileInfo info(path);
        if (info.exists() && (!info.isFile() || !info.isWritable()))
            return false;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        if (file.write(content) != content.size()) {
            file.cancelWriting();
            return false;
        }
        return file.commit();
    }

    std::optional<QString> Value(const QString& section, const QString& key) const
    {
        const qsizetype header = FindSection(section);
        if (header < 0)
            return std::nullopt;
        const QString name = TrimBlanks(key);
        const qsizetype end = SectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i) {
            const LineMeaning meaning = Classify(m_lines[i].Text);
            if (meaning.Kind == LineKind::Key && SameName(meaning.Name, name))
                return ValueFromRaw(meaning.RawValue);
        }
        return std::nullopt;
    }

    // Keys and values in file order, a name given twice listed each time; the value is the one the
    // name reads as, its first.
    QList<std::pair<QString, QString>> Entries(const QString& section) const
    {
        QList<std::pair<QString, QString>> entries;
        const qsizetype header = FindSection(section);
        if (header < 0)
            return entries;
        QHash<QString, QString> firstValue;
        const qsizetype end = SectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i) {
            LineMeaning meaning = Classify(m_lines[i].Text);
            if (meaning.Kind != LineKind::Key)
                continue;
            const QString folded = meaning.Name.toCaseFolded();
            auto found = firstValue.constFind(folded);
            if (found == firstValue.cend())
                found = firstValue.insert(folded, ValueFromRaw(meaning.RawValue));
            entries.append({meaning.Name, *found});
        }
        return entries;
    }

    // The first key of that name gets the value; a new key goes to the end of its section,
    // a new section to the end of the file.
    void SetValue(const QString& section, const QString& key, const QString& text)
    {
        const QString keyName = TrimBlanks(key);
        const QByteArray value = text.toUtf8();
        qsizetype header = FindSection(section);
        if (header < 0) {
            AppendLine(QByteArray("[") + TrimBlanks(section).toUtf8() + ']', m_lines.size());
            header = qsizetype(m_lines.size()) - 1;
        }
        const qsizetype end = SectionEnd(header);
        qsizetype lastContent = header;
        for (qsizetype i = header + 1; i < end; ++i) {
            const LineMeaning meaning = Classify(m_lines[i].Text);
            if (meaning.Kind == LineKind::Key && SameName(meaning.Name, keyName)) {
                m_lines[i].Text = meaning.RawName + '=' + value;
                return;
            }
            if (meaning.Kind != LineKind::Blank)
                lastContent = i;
        }
        AppendLine(keyName.toUtf8() + '=' + value, lastContent + 1);
    }

    // Every line of that key goes, so that no second copy shows through afterwards.
    void RemoveKey(const QString& section, const QString& key)
    {
        const qsizetype header = FindSection(section);
        if (header < 0)
            return;
        const QString name = TrimBlanks(key);
        qsizetype end = SectionEnd(header);
        for (qsizetype i = header + 1; i < end;) {
            const LineMeaning meaning = Classify(m_lines[i].Text);
            if (meaning.Kind == LineKind::Key && SameName(meaning.Name, name)) {
                m_lines.erase(m_lines.begin() + i);
                --end;
            } else {
                ++i;
            }
        }
    }

    // A section known to be absent, added at the end in one go; a key named twice keeps
    // its last value, as writing the keys one by one would.
    void AppendSection(const QString& section, const QList<std::pair<QString, QString>>& entries)
    {
        QList<std::pair<QString, QByteArray>> keys;
        QHash<QString, qsizetype> indexOf;
        for (const auto& [key, text] : entries) {
            const QString name = TrimBlanks(key);
            const QString folded = name.toCaseFolded();
            if (const auto found = indexOf.constFind(folded); found != indexOf.cend()) {
                keys[*found].second = text.toUtf8();
            } else {
                indexOf.insert(folded, keys.size());
                keys.append({name, text.toUtf8()});
            }
        }
        AppendLine(QByteArray("[") + TrimBlanks(section).toUtf8() + ']', m_lines.size());
        for (const auto& [name, value] : keys)
            AppendLine(name.toUtf8() + '=' + value, m_lines.size());
    }

    // Every section of that name goes, for the same reason.
    void RemoveSection(const QString& section)
    {
        for (qsizetype header = FindSection(section); header >= 0; header = FindSection(section))
            m_lines.erase(m_lines.begin() + header, m_lines.begin() + SectionEnd(header));
    }

private:
    struct Line {
        QByteArray Text;
        QByteArray End;  // "\r\n", "\n", "\r", or nothing on an unfinished last line
    };

    void Split(QByteArray data)
    {
        // A file saved as UTF-16 by an editor is read as such and written back as UTF-8.
        if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
            QStringDecoder decode(data.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                              : QStringConverter::Utf16BE);
            data = Utf8Bom + QString(decode(data)).toUtf8();
        }
        if (data.startsWith(Utf8Bom)) {
            m_bom = true;
            data.remove(0, Utf8Bom.size());
        }
        qsizetype start = 0;
        const qsizetype size = data.size();
        while (start < size) {
            qsizetype stop = start;
            while (stop < size && data[stop] != '\n' && data[stop] != '\r')
                ++stop;
            Line line{data.mid(start, stop - start), {}};
            if (stop < size) {
                const bool crlf = data[stop] == '\r' && stop + 1 < size && data[stop + 1] == '\n';
                line.End = data.mid(stop, crlf ? 2 : 1);
                if (m_lineEnd.isEmpty())
                    m_lineEnd = line.End;
            }
            start = stop + line.End.size();
            m_lines.push_back(std::move(line));
        }
    }

    QByteArray LineEnd() const
    {
        return m_lineEnd.isEmpty() ? QByteArray("\r\n") : m_lineEnd;
    }

    QByteArray Join() const
    {
        QByteArray content;
        if (m_bom)
            content += Utf8Bom;
        for (const Line& line : m_lines)
            content += line.Text + line.End;
        return content;
    }

    void AppendLine(const QByteArray& text, qsizetype at)
    {
        if (at > 0 && m_lines[at - 1].End.isEmpty())
            m_lines[at - 1].End = LineEnd();
        m_lines.insert(m_lines.begin() + at, Line{text, LineEnd()});
    }

    qsizetype FindSection(const QString& section) const
    {
        const QString name = TrimBlanks(section);
        for (qsizetype i = 0; i < qsizetype(m_lines.size()); ++i) {
            const LineMeaning meaning = Classify(m_lines[i].Text);
            if (meaning.Kind == LineKind::Section && SameName(meaning.Name, name))
                return i;
        }
        return -1;
    }

    qsizetype SectionEnd(qsizetype header) const
    {
        qsizetype i = header + 1;
        while (i < qsizetype(m_lines.size()) && Classify(m_lines[i].Text).Kind != LineKind::Section)
            ++i;
        return i;
    }

    std::vector<Line> m_lines;
    QByteArray m_original;
    QByteArray m_lineEnd;
    bool m_bom = false;
};

// Loads the file, applies one change and writes the file back in one step; false when the
// file could not be read or written (it is then unchanged).
template <typename Change>
bool EditProfile(const QString& path, Change change)
{
    Profile profile;
    if (path.isEmpty() || !profile.Load(path))
        return false;
    change(profile);
    return profile.Save(path);
}

}  // namespace

clsIni::clsIni()
    : m_strIniName(ProgramFolder() + QLatin1Char('/') + ExecutableBaseName() + QStringLiteral(".INI"))
{
}

QString clsIni::strIniName() const
{
    return m_strIniName;
}

void clsIni::setStrIniName(const QString& path)
{
    m_strIniName = path;
}

QString clsIni::ResolvePath(const QString& file) const
{
    return file.isEmpty() ? m_strIniName : file;
}

void clsIni::LoadAllKeysInSection(QStringList& values, const QString& section, QStringList* keys,
                                  const QString& file)
{
    values = QStringList{QString()};
    if (keys)
        *keys = QStringList{QString()};
    const QString path = ResolvePath(file);
    if (path.isEmpty())
        return;
    Profile profile;
    if (!profile.Load(path))
        return;
    for (const auto& [name, value] : profile.Entries(section)) {
        if (value.isEmpty())
            continue;
        values.append(value);
        if (keys)
            keys->append(name);
    }
}

bool clsIni::SaveAllKeysInSection(const QStringList& values, const QString& section,
                                  const QString& keyStem, const QStringList* keys, const QString& file)
{
    const QString path = ResolvePath(file);
    if (path.isEmpty() || !IsWritableSection(section))
        return false;
    Profile profile;
    if (!profile.Load(path))
        return false;
    profile.RemoveSection(section);
    // The whole section is rebuilt in memory and written once: a bad entry leaves the old
    // section in place instead of half a new one.
    QList<std::pair<QString, QString>> entries;
    for (qsizetype i = 1; i < values.size(); ++i) {
        QString key = keys && i < keys->size() ? keys->at(i) : QString();
        if (TrimBlanks(key).isEmpty())
            key = keyStem + QString::number(i);
        if (!IsWritableKey(key) || !IsWritableValue(values[i]))
            return false;
        entries.append({key, QuoteForWriting(values[i])});
    }
    if (!entries.isEmpty())
        profile.AppendSection(section, entries);
    return profile.Save(path);
}

bool clsIni::DeleteSection(const QString& section, const QString& file)
{
    return EditProfile(ResolvePath(file), [&](Profile& profile) { profile.RemoveSection(section); });
}

bool clsIni::IsItTrue(QString& text)
{
    text = text.toUpper();
    return text == QLatin1String("TRUE") || text == QLatin1String("YES") || text == QLatin1String("1")
        || text == QLatin1String("ON");
}

QString clsIni::TrueOrFalse(bool value)
{
    return value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

bool clsIni::TextToBoolean(const QString& text)
{
    if (text.trimmed().compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0)
        return true;
    const std::optional<double> number = TextToNumber(text);
    return number && *number != 0;
}

std::optional<double> clsIni::TextToNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return 0.0;
    bool isNumber = false;
    const double number = trimmed.toDouble(&isNumber);
    if (!isNumber || !std::isfinite(number))
        return std::nullopt;
    return number;
}

QString clsIni::ValueText(const QVariant& value)
{
    return ToText(value).value_or(QString());
}

QString clsIni::GetIniString(const QString& section, const QString& key, const QVariant& defaultValue,
                             const QString& file) const
{
    const QString path = ResolvePath(file);
    if (path.isEmpty())
        return QString();
    const std::optional<QString> fallback = ToText(defaultValue);
    if (!fallback)
        return QString();
    Profile profile;
    if (!profile.Load(path))
        return CutToLimit(*fallback);
    return profile.Value(section, key).value_or(CutToLimit(*fallback));
}

bool clsIni::DeleteKey(const QString& section, const QString& key, const QString& file)
{
    return EditProfile(ResolvePath(file), [&](Profile& profile) { profile.RemoveKey(section, key); });
}

bool clsIni::SaveIniString(const QString& section, const QString& key, const QVariant& value,
                           const QString& file)
{
    const QString path = ResolvePath(file);
    if (path.isEmpty())
        return false;
    const std::optional<QString> text = ToText(value);
    if (!text || !IsWritableSection(section) || !IsWritableKey(key) || !IsWritableValue(*text))
        return false;
    return EditProfile(path, [&](Profile& profile) {
        profile.SetValue(section, key, QuoteForWriting(*text));
    });
}

QString clsIni::GetIniStringWriteDefault(const QString& section, const QString& key,
                                         const QVariant& defaultValue, const QString& file)
{
    const QString path = ResolvePath(file);
    if (path.isEmpty())
        return QString();
    const QString stored = GetIniString(section, key, Sentinel, path);
    if (stored != Sentinel)
        return stored;
    const std::optional<QString> fallback = ToText(defaultValue);
    if (!fallback)
        return QString();
    SaveIniString(section, key, *fallback, path);
    return *fallback;
}
