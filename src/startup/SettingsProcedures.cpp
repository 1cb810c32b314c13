#include "SettingsProcedures.h"

#include <cmath>
#include <cstdint>

namespace {

const QString Section = QStringLiteral("SETUP");

// An empty stored value reads as 0; one that is not a 16-bit whole number counts as missing.
int16_t ReadInt16(clsIni& ini, const QString& key, int16_t defaultValue)
{
    const std::optional<double> value =
        clsIni::TextToNumber(ini.GetIniStringWriteDefault(Section, key, int(defaultValue)));
    if (!value || *value != std::trunc(*value) || *value < INT16_MIN || *value > INT16_MAX)
        return defaultValue;
    return int16_t(*value);
}

// An index outside the list selects its first item; the file is corrected at exit.
int16_t ReadListIndex(clsIni& ini, const QString& key, int16_t defaultValue, int16_t itemCount)
{
    const int16_t index = ReadInt16(ini, key, defaultValue);
    return index < 0 || index > itemCount - 1 ? int16_t(0) : index;
}

}  // namespace

StoredChoices LoadSettings(clsIni& ini, const ListCounts& counts)
{
    StoredChoices choices;
    const int16_t option = ReadInt16(ini, QStringLiteral("FILE_NAME_OPTION"), 1);
    choices.FileNameOption = option == 0 ? int16_t(0) : int16_t(1);
    choices.Lists.ScaleIndex = ReadListIndex(ini, QStringLiteral("RESOLUTION"), 0, counts.Scale);
    choices.Lists.TypeIndex = ReadListIndex(ini, QStringLiteral("IMAGE_TYPE"), 0, counts.Type);
    choices.Lists.WidthIndex = ReadListIndex(ini, QStringLiteral("WIDTH"), 4, counts.Width);
    choices.Lists.HeightIndex = ReadListIndex(ini, QStringLiteral("HEIGHT"), 4, counts.Height);
    choices.Lists.ReferenceIsCentre = ReadInt16(ini, QStringLiteral("REF_POINT"), 0) != 1;
    return choices;
}

void SaveSettings(clsIni& ini, const ListChoices& choices)
{
    ini.SaveIniString(Section, QStringLiteral("RESOLUTION"), int(choices.ScaleIndex));
    ini.SaveIniString(Section, QStringLiteral("IMAGE_TYPE"), int(choices.TypeIndex));
    ini.SaveIniString(Section, QStringLiteral("WIDTH"), int(choices.WidthIndex));
    ini.SaveIniString(Section, QStringLiteral("HEIGHT"), int(choices.HeightIndex));
    ini.SaveIniString(Section, QStringLiteral("REF_POINT"), choices.ReferenceIsCentre ? 0 : 1);
}

void SaveFileNameOption(clsIni& ini, int16_t option)
{
    ini.SaveIniString(Section, QStringLiteral("FILE_NAME_OPTION"), int(option));
}

QString StoredTileServer(clsIni& ini)
{
    return ini.GetIniString(Section, QStringLiteral("TILE_SERVER"), QString());
}

bool StoredGisFiles(clsIni& ini)
{
    return clsIni::TextToBoolean(ini.GetIniString(Section, QStringLiteral("GIS_FILES"), false));
}

void SaveGisFilesOption(clsIni& ini, bool enabled)
{
    ini.SaveIniString(Section, QStringLiteral("GIS_FILES"), enabled);
}

bool StoredGridSquares(clsIni& ini)
{
    return clsIni::TextToBoolean(ini.GetIniString(Section, QStringLiteral("GRID_SQUARES"), false));
}

void SaveGridSquaresOption(clsIni& ini, bool enabled)
{
    ini.SaveIniString(Section, QStringLiteral("GRID_SQUARES"), enabled);
}
