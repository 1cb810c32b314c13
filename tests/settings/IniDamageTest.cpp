#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

#include "clsIni.h"

// Settings files as people and other programs leave them, damaged at random: whatever is
// in them, reading never crashes and writing one key leaves every other key as it read.
namespace {

const QStringList SectionNames{QStringLiteral("SETUP"), QStringLiteral("setup"), QStringLiteral("Other"),
                               QStringLiteral("Grüße"), QStringLiteral("A B")};
const QStringList KeyNames{QStringLiteral("WIDTH"), QStringLiteral("width"), QStringLiteral("A"),
                           QStringLiteral("K 2"), QStringLiteral("Ä"), QStringLiteral("FIRST_TIME")};

class Damage {
public:
    explicit Damage(unsigned seed) : m_random(seed) {}

    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }

    QByteArray Blanks()
    {
        static const char* const blanks[] = {"", "", " ", "\t", "  \t "};
        return blanks[Pick(5)];
    }

    QByteArray Junk(int length)
    {
        QByteArray bytes;
        for (int i = 0; i < length; ++i)
            bytes += char(Pick(256));
        return bytes;
    }

    QByteArray Value()
    {
        switch (Pick(8)) {
        case 0: return "";
        case 1: return "\"\"";
        case 2: return "\"quoted value\"";
        case 3: return "\"unclosed";
        case 4: return "a=b=c";
        case 5: return QByteArray(Pick(3000), 'x');
        case 6: return Junk(Pick(20));
        default: return QByteArray::number(Pick(200) - 100);
        }
    }

    QByteArray Line()
    {
        switch (Pick(11)) {
        case 0:
        case 1: return Blanks() + '[' + Blanks() + SectionNames[Pick(SectionNames.size())].toUtf8() + Blanks() + ']'
                     + (Pick(4) == 0 ? QByteArray(" trailing") : QByteArray());
        case 2:
        case 3:
        case 4: return Blanks() + KeyNames[Pick(KeyNames.size())].toUtf8() + Blanks() + '=' + Blanks() + Value()
                     + Blanks();
        case 5: return "; comment " + Value();
        case 6: return Blanks();
        case 7: return "line without equals";
        case 8: return Pick(2) ? "[unclosed" : "=no name";
        case 9: return QByteArray(Pick(5000), 'L');
        default: return Junk(Pick(40));
        }
    }

    QByteArray File()
    {
        static const char* const ends[] = {"\r\n", "\n", "\r", "\r\n"};
        QByteArray content = Pick(5) == 0 ? QByteArray("\xEF\xBB\xBF") : QByteArray();
        const int lines = Pick(25);
        for (int i = 0; i < lines; ++i)
            content += Line() + (i + 1 == lines && Pick(3) == 0 ? "" : ends[Pick(4)]);
        return content;
    }

    QString NewValue()
    {
        static const char* const values[] = {"5", "", " lead", "trail ", "in \"quotes\" here", "Grüße", "x=y"};
        return QString::fromUtf8(values[Pick(7)]);
    }

private:
    std::mt19937 m_random;
};

using Snapshot = QList<QStringList>;

// Every key of every pooled section, as it reads, in file order.
Snapshot Read(clsIni& ini, const QString& skipSection, const QString& skipKey)
{
    Snapshot snapshot;
    for (const QString& section : SectionNames) {
        QStringList values;
        QStringList keys;
        ini.LoadAllKeysInSection(values, section, &keys);
        QStringList pairs;
        for (qsizetype i = 1; i < keys.size(); ++i) {
            const bool skipped = section.compare(skipSection, Qt::CaseInsensitive) == 0
                && keys[i].compare(skipKey, Qt::CaseInsensitive) == 0;
            if (!skipped)
                pairs << keys[i] + QLatin1Char('=') + values[i];
        }
        for (const QString& key : KeyNames) {
            const bool skipped = section.compare(skipSection, Qt::CaseInsensitive) == 0
                && key.compare(skipKey, Qt::CaseInsensitive) == 0;
            if (!skipped)
                pairs << ini.GetIniString(section, key, QStringLiteral("(missing)"));
        }
        snapshot << pairs;
    }
    return snapshot;
}

TEST(IniDamage, WritingOneKeyKeepsEveryOtherKey)
{
    // Every write is flushed to disk; a memory-backed folder keeps thousands of them quick.
    const QString memory = QStringLiteral("/dev/shm");
    QTemporaryDir dir(QFileInfo(memory).isWritable() ? memory + QStringLiteral("/quiltmap-ini-XXXXXX")
                                                     : QDir::tempPath() + QStringLiteral("/quiltmap-ini-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    clsIni ini;
    ini.setStrIniName(dir.filePath(QStringLiteral("Damaged.INI")));
    Damage damage(20261206);
    for (int round = 0; round < 3000; ++round) {
        const QByteArray original = damage.File();
        {
            QFile file(ini.strIniName());
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(original);
        }
        const QString section = SectionNames[damage.Pick(SectionNames.size())];
        const QString key = KeyNames[damage.Pick(KeyNames.size())];
        const Snapshot before = Read(ini, section, key);
        const bool deleting = damage.Pick(4) == 0;
        const QString value = damage.NewValue();
        if (deleting) {
            ASSERT_TRUE(ini.DeleteKey(section, key)) << round;
            EXPECT_EQ(ini.GetIniString(section, key, QStringLiteral("(missing)")), QStringLiteral("(missing)"))
                << round;
        } else {
            ASSERT_TRUE(ini.SaveIniString(section, key, value)) << round;
            EXPECT_EQ(ini.GetIniString(section, key, QStringLiteral("(missing)")), value) << round;
        }
        ASSERT_EQ(Read(ini, section, key), before) << "round " << round << ": " << original.toHex().constData();
    }
}

}  // namespace
