#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

#include "TestFiles.h"
#include "clsIni.h"

// Damaged files: reading never crashes, and writing one key leaves every other key as it read.
namespace {

const QStringList Sections{"SETUP", "setup", "Other", "Grüße", "A B"};
const QStringList Keys{"WIDTH", "width", "A", "K 2", "Ä"};

struct Damage {
    std::mt19937 random{20261206};
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }
    QByteArray Junk(int n) { QByteArray b; while (n-- > 0) b += char(Pick(256)); return b; }
    QByteArray B() { return QList<QByteArray>{"", "", " ", "\t", " \t "}[Pick(5)]; }
    QByteArray Line()
    {
        const QList<QByteArray> values{"", "\"\"", "\"quoted\"", "\"open", "a=b=c", "-7", QByteArray(Pick(3000), 'x'),
                                       Junk(Pick(20))};
        const QList<QByteArray> lines{
            B() + '[' + B() + Sections[Pick(5)].toUtf8() + B() + (Pick(4) ? "]" : "] x"),
            B() + Keys[Pick(5)].toUtf8() + B() + '=' + B() + values[Pick(8)] + B(),
            QList<QByteArray>{"; note", "no equals", "[unclosed", "=no name", QByteArray(Pick(5000), 'L')}[Pick(5)],
            Junk(Pick(40))};
        return lines[QList<int>{0, 1, 1, 2, 3, 3, 3}[Pick(7)]];
    }
    QByteArray File()
    {
        QByteArray content = Pick(5) ? "" : "\xEF\xBB\xBF";
        for (int i = Pick(25); i > 0; --i)
            content += Line() + (i == 1 && Pick(3) == 0 ? "" : QList<QByteArray>{"\r\n", "\n", "\r"}[Pick(3)]);
        return content;
    }
};

// Every key of every section, by list and by name, all but the one written.
QList<QStringList> Read(clsIni& ini, const QString& skipSection, const QString& skipKey)
{
    QList<QStringList> snapshot;
    for (const QString& section : Sections) {
        const auto keep = [&](const QString& key) {
            return section.compare(skipSection, Qt::CaseInsensitive) || key.compare(skipKey, Qt::CaseInsensitive);
        };
        QStringList values, keys, pairs;
        ini.LoadAllKeysInSection(values, section, &keys);
        for (qsizetype i = 1; i < keys.size(); ++i) if (keep(keys[i])) pairs << keys[i] + '=' + values[i];
        for (const QString& key : Keys) if (keep(key)) pairs << ini.GetIniString(section, key, "(missing)");
        snapshot << pairs;
    }
    return snapshot;
}

TEST(IniDamage, WritingOneKeyKeepsEveryOtherKey)
{
    QTemporaryDir dir((QFileInfo("/dev/shm").isWritable() ? "/dev/shm" : QDir::tempPath()) + "/quiltmap-XXXXXX");
    clsIni ini;
    ini.setStrIniName(dir.filePath("Damaged.INI"));
    Damage damage;
    const QString newValues[] = {"5", "", " lead", "in \"quotes\" here", "Grüße", "x=y", "(missing)", "(missing)"};
    for (int round = 0; round < 1500; ++round) {
        const QByteArray original = damage.File();
        ASSERT_TRUE(WriteFile(ini.strIniName(), original));
        const QString section = Sections[damage.Pick(5)], key = Keys[damage.Pick(5)], value = newValues[damage.Pick(8)];
        const auto before = Read(ini, section, key);
        ASSERT_TRUE(value == "(missing)" ? ini.DeleteKey(section, key) : ini.SaveIniString(section, key, value));
        EXPECT_EQ(ini.GetIniString(section, key, "(missing)"), value) << round;
        ASSERT_EQ(Read(ini, section, key), before) << "round " << round << ": " << original.toHex().constData();
    }
}

}  // namespace
