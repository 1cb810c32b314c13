#include "HostLink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "Windows1252.h"

namespace {

const QString HostKey = QStringLiteral("Software\\VB and VBA Program Settings\\Wendrel Systems\\Corvane32");

bool IsHexDigit(QChar c)
{
    return c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f');
}

// user.reg escapes: \\ \" \n \r \t \0 and \xHHHH.
QString Unescape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[++i];
        switch (next.unicode()) {
        case 'n': out += u'\n'; break;
        case 'r': out += u'\r'; break;
        case 't': out += u'\t'; break;
        case '0': out += QChar(0); break;
        case 'x': {
            qsizetype end = i + 1;
            while (end < text.size() && end < i + 5 && IsHexDigit(text[end]))
                ++end;
            bool ok = false;
            const uint code = text.mid(i + 1, end - i - 1).toUInt(&ok, 16);
            if (ok)
                out += QChar(char16_t(code));
            i = end - 1;
            break;
        }
        default: out += next; break;
        }
    }
    return out;
}

// The quoted string at the start of text (after the opening quote), unescaped; the position
// after the closing quote goes to end.
bool TakeQuoted(QStringView text, QString& value, qsizetype& end)
{
    if (text.isEmpty() || text[0] != u'"')
        return false;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == u'\\') {
            ++i;
            continue;
        }
        if (text[i] == u'"') {
            value = Unescape(text.mid(1, i - 1));
            end = i + 1;
            return true;
        }
    }
    return false;
}

}  // namespace

QString WinePrefix()
{
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    return prefix.isEmpty() ? QDir::homePath() + QStringLiteral("/.wine") : prefix;
}

bool ReadRegistryValue(const QString& userRegFile, const QString& key, const QString& valueName,
                       QString& value)
{
    QFile file(userRegFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString wantedName = valueName;
    bool inKey = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            const qsizetype close = line.lastIndexOf(u']');
            inKey = close > 0 && Unescape(QStringView(line).mid(1, close - 1))
                                         .compare(key, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inKey || !line.startsWith(u'"'))
            continue;
        QString name;
        qsizetype end = 0;
        if (!TakeQuoted(line, name, end) || name.compare(wantedName, Qt::CaseInsensitive) != 0)
            continue;
        QStringView rest = QStringView(line).mid(end).trimmed();
        if (!rest.startsWith(u'='))
            continue;
        rest = rest.mid(1).trimmed();
        if (rest.startsWith(QStringLiteral("str(2):")))   // an expandable string
            rest = rest.mid(7);
        QString text;
        if (!TakeQuoted(rest, text, end))
            return false;
        value = text;
        return true;
    }
    return false;
}

QString WindowsPathToUnix(const QString& prefix, const QString& windowsPath)
{
    const QString path = windowsPath.trimmed();
    if (path.size() < 2 || path[1] != u':' || !path[0].isLetter())
        return QString();
    const QString drive = path.left(2).toLower();
    QString rest = path.mid(2);
    rest.replace(u'\\', u'/');

    QString root;
    const QFileInfo link(prefix + QStringLiteral("/dosdevices/") + drive);
    if (link.exists())
        root = link.canonicalFilePath();
    else if (drive == QStringLiteral("c:"))
        root = prefix + QStringLiteral("/drive_c");
    else
        return QString();
    return QDir::cleanPath(root + u'/' + rest);
}

bool FindHostFolder(const QString& prefix, QString& hostFolder)
{
    QString windowsFolder;
    if (!ReadRegistryValue(prefix + QStringLiteral("/user.reg"), HostKey,
                           QStringLiteral("Program Folder"), windowsFolder))
        return false;
    QString folder = WindowsPathToUnix(prefix, windowsFolder);
    if (folder.isEmpty())
        return false;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    hostFolder = folder;
    return true;
}

QString HostCommandLine(const QString& executablePath)
{
    QString line = QStringLiteral("Z:") + QDir::cleanPath(executablePath);
    line.replace(u'/', u'\\');
    if (line.contains(u' '))
        line = u'"' + line + u'"';
    return line;
}

QByteArray ToolEntryText(const QString& title, const QString& executablePath)
{
    const QString text = title + QStringLiteral("\r\n") + HostCommandLine(executablePath)
                         + QStringLiteral("\r\nFalse\r\nFalse\r\n");
    return EncodeWindows1252(text);   // the host's code page
}

void AddToHostTools(const QString& hostFolder, const QString& title, const QString& executablePath)
{
    if (hostFolder.isEmpty())
        return;
    const QString name = hostFolder + QFileInfo(executablePath).completeBaseName() + QStringLiteral(".XTR");
    if (QFileInfo::exists(name))
        return;   // an existing entry is never rewritten
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(ToolEntryText(title, executablePath));
    file.commit();
}
