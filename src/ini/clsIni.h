#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// Reader and writer of INI settings files with the Windows profile-file rules:
// section and key names match without regard to case; values come back with blanks
// trimmed and one pair of surrounding double quotes removed, cut at a NUL, at most 1023 characters;
// a section's name runs to the last "]" of its line;
// key order is kept; a new key goes to the end of its section, a new section to the end
// of the file. Every write replaces the file in one step (written beside it, then renamed).
// Every operation takes an optional file path last; an empty one means strIniName().
class clsIni {
public:
    // strIniName = ProgramFolder() + "/" + ExecutableBaseName() + ".INI"
    clsIni();

    QString strIniName() const;
    void setStrIniName(const QString& path);

    // Values of every key with a non-empty value, from index 1 on (index 0 stays empty);
    // key names at the same indexes when keys is given. A name given twice is listed each time,
    // with the value it reads as.
    void LoadAllKeysInSection(QStringList& values, const QString& section,
                              QStringList* keys = nullptr, const QString& file = QString());
    // Replaces the whole section in one write: element i (from 1) under keys[i], or keyStem + i
    // when no name is given for it. False (and nothing changed) when the file could not be written.
    bool SaveAllKeysInSection(const QStringList& values, const QString& section,
                              const QString& keyStem, const QStringList* keys = nullptr,
                              const QString& file = QString());
    // False when the file could not be written (nothing changed then).
    bool DeleteSection(const QString& section, const QString& file = QString());

    // True for "TRUE", "YES", "1" or "ON" in any case; leaves text in upper case.
    static bool IsItTrue(QString& text);
    static QString TrueOrFalse(bool value);   // "TRUE" or "FALSE"
    // The usual text-to-boolean reading of a stored value: "True"/"False" in any case, or a
    // number (non-zero is true); anything else is false, and so is an empty value.
    static bool TextToBoolean(const QString& text);
    // The usual text-to-number reading of a stored value: an empty value reads as 0, a decimal
    // number as itself; nothing for any other text (the caller treats it as missing).
    static std::optional<double> TextToNumber(const QString& text);

    // The platform's text conversion of a value: booleans "True"/"False", numbers in decimal.
    static QString ValueText(const QVariant& value);

    QString GetIniString(const QString& section, const QString& key, const QVariant& defaultValue,
                         const QString& file = QString()) const;
    bool DeleteKey(const QString& section, const QString& key, const QString& file = QString());
    // Quotes a value with a blank at either end, writes "" for an empty one.
    // False when the file could not be written, or when a name or value would read back as
    // something else (a line break or NUL, "=" in a key); nothing changed then.
    bool SaveIniString(const QString& section, const QString& key, const QVariant& value,
                       const QString& file = QString());
    // Like GetIniString; a missing key (or one holding the sentinel "$!*%") is written with the default first.
    QString GetIniStringWriteDefault(const QString& section, const QString& key,
                                     const QVariant& defaultValue, const QString& file = QString());

private:
    QString ResolvePath(const QString& file) const;

    QString m_strIniName;
};
