#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

#include "TestFiles.h"
#include "clsIni.h"

// Settings files damaged at random: reading never crashes, and writing one key leaves every
// other key as it read.
namespace {

const QStringList Sections{"SETUP", "setup", "Other", "Grüße", "A B"};
const QStringList Keys{"WIDTH", "width", "A", "K 2", "Ä"};

struct Damage {
    std::mt19937 random{20261206};
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }
    QByteArray Junk(int length)
    {
        QByteArray bytes;
        while (length-- > 0)
            bytes += char(Pick(256));
        return bytes;
    }
    QByteArray B() { return QList<QByteArray>{"", "", " ", "\t", " \t "}[Pick(5)]; }
    QByteArray Line()
    {
        switch (Pick(7)) {
        case 0: return B() + '[' + B() + Sections[Pick(5)].toUtf8() + B() + (Pick(4) ? "]" : "] x");
        case 1:
        case 2:
            return B() + Keys[Pick(5)].toUtf8() + B() + '=' + B()
                + QList<QByteArray>{"", "\"\"", "\"quoted\"", "\"unclosed", "a=b=c", "-7", QByteArray(Pick(3000), 'x'),
                                    Junk(Pick(20))}[Pick(8)] + B();
        case 3: return QList<QByteArray>{"; comment", "line without equals", "[unclosed", "=no name"}[Pick(4)];
        case 4: return QByteArray(Pick(5000), 'L');
        default: return Junk(Pick(40));
        }
    }
    QByteArray File()
    {
        QByteArray content = Pick(5) ? "" : "\xEF\xBB\xBF";
        for (int i = Pick(25); i > 0; --i)
            content += Line() + (i == 1 && Pick(3) == 0 ? "" : QList<QByteArray>{"\r\n", "\n", "\r"}[Pick(3)]);
        return content;
    }
};

// Every key of every section in the pool, by list and by name, but the one written.
QList<QStringList> Read(clsIni& ini, const QString& skipSection, const QString& skipKey)
{
    QList<QStringList> snapshot;
    for (const QString& section : Sections) {
        const bool inSection = section.compare(skipSection, Qt::CaseInsensitive) == 0;
        QStringList values, keys, pairs;
        ini.LoadAllKeysInSection(values, section, &keys);
        for (qsizetype i = 1; i < keys.size(); ++i)
            if (!inSection || keys[i].compare(skipKey, Qt::CaseInsensitive) != 0)
                pairs << keys[i] + '=' + values[i];
        for (const QString& key : Keys)
            if (!inSection || key.compare(skipKey, Qt::CaseInsensitive) != 0)
                pairs << ini.GetIniString(section, key, "(missing)");
        snapshot << pairs;
    }
    return snapshot;
}

TEST(IniDamage, WritingOneKeyKeepsEveryOtherKey)
{
    // Every write is flushed; a memory-backed folder keeps the rounds quick.
    QTemporaryDir dir(QFileInfo("/dev/shm").isWritable() ? "/dev/shm/quiltmap-ini-XXXXXX"
                                                : QDir::tempPath() + "/quiltmap-ini-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    clsIni ini;
    ini.setStrIniName(dir.filePath("Damaged.INI"));
    Damage damage;
    const QString newValues[] = {"5", "", " lead", "in \"quotes\" here", "Grüße", "x=y"};
    for (int round = 0; round < 1500; ++round) {
        const QByteArray original = damage.File();
        ASSERT_TRUE(WriteFile(ini.strIniName(), original));
        const QString section = Sections[damage.Pick(5)];
        const QString key = Keys[damage.Pick(5)];
        const auto before = Read(ini, section, key);
        const QString value = damage.Pick(4) ? newValues[damage.Pick(6)] : "(missing)";
        ASSERT_TRUE(value == "(missing)" ? ini.DeleteKey(section, key) : ini.SaveIniString(section, key, value));
        EXPECT_EQ(ini.GetIniString(section, key, "(missing)"), value) << round;
        ASSERT_EQ(Read(ini, section, key), before) << "round " << round << ": " << original.toHex().constData();
    }
}

}  // namespace
