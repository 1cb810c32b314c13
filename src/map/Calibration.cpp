#include "Calibration.h"

#include <algorithm>
#include <cmath>

#include <QLocale>
#include <QStringList>
#include <QUrl>

#include "Windows1252.h"

namespace {

constexpr double ScaleOnCentralMeridian = 0.9996;
constexpr double FalseEasting = 500000;
constexpr double FalseNorthingSouth = 10000000;

// The shortest text that reads back as the same double, never in exponent form.
QString Number(double value)
{
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

// Degrees and minutes of |value|: "ddd.mm.mmm" with degreeDigits digits before the first point.
QString DegreesMinutesText(double value, int degreeDigits)
{
    double magnitude = std::fabs(value);
    if (!std::isfinite(magnitude))
        magnitude = 0;
    magnitude = std::min(magnitude, 32767.0);
    const int degrees = int(std::floor(magnitude));
    const double minutes = (magnitude - degrees) * 60.0;
    // Minutes that round up to 60 stay 60.000: the degrees were settled before rounding.
    QString text = QString::asprintf("%0*d.%06.3f", degreeDigits, degrees, minutes);
    // The host reads a point here whatever the regional settings.
    text[text.size() - 4] = QLatin1Char('.');
    return text;
}

// The picture corner at (easting, northing) of the grid's zone, in degrees.
bool CornerDegrees(const TileGrid& grid, double easting, double northing, double& latitude, double& longitude)
{
    Mapstuff::UtmPoint point = grid.BottomLeft;
    point.Easting = easting;
    point.Northing = northing;
    if (Mapstuff::UtmToLatLong(point) != Mapstuff::UtmOk)
        return false;
    latitude = point.Latitude;
    longitude = point.Longitude;
    return true;
}

QByteArray InfText(const MapCorners& corners)
{
    QString latitudeText;
    QString longitudeText;
    QByteArray bytes;
    FormatLatLong(corners.NorthLatitude, corners.WestLongitude, latitudeText, longitudeText);
    bytes += (longitudeText + u',' + latitudeText).toLatin1() + "\r\n";
    FormatLatLong(corners.SouthLatitude, corners.EastLongitude, latitudeText, longitudeText);
    bytes += (longitudeText + u',' + latitudeText).toLatin1() + "\r\n";
    // The host reads exactly three lines: a line break inside the description would make four.
    bytes += EncodeWindows1252(HostText(corners.Description)) + "\r\n";
    return bytes;
}

QByteArray WorldFileText(const MapCorners& corners)
{
    const TileGrid& grid = corners.Grid;
    const double size = grid.MetresPerPixel;
    const QString lines[6] = {
        Number(size), QStringLiteral("0"), QStringLiteral("0"), Number(-size),
        Number(grid.BottomLeft.Easting + size / 2), Number(grid.TopRight.Northing - size / 2),
    };
    QByteArray text;
    for (const QString& line : lines)
        text += line.toLatin1() + "\r\n";
    return text;
}

QByteArray ProjectionText(const MapCorners& corners)
{
    const TileGrid& grid = corners.Grid;
    Mapstuff::Ellipsoid ellipsoid;
    if (Mapstuff::GetEllipsoid(ellipsoid, grid.BottomLeft.EllipsoidIndex) != Mapstuff::UtmOk
        || ellipsoid.EquatorialRadius <= ellipsoid.PolarRadius)
        return QByteArray();
    const double inverseFlattening =
        ellipsoid.EquatorialRadius / (ellipsoid.EquatorialRadius - ellipsoid.PolarRadius);
    const bool south = grid.BottomLeft.Band < "N";
    const QString name = QString::fromStdString(ellipsoid.Name);
    // Named after the catalogue's ellipsoid, not a registry's: a GIS program must not swap in
    // its own WGS 84 axes, which differ slightly from the ones the map was made with.
    const QString wkt =
        QStringLiteral("PROJCS[\"UTM zone %1%2 (Quiltmap %3)\",")
            .arg(QString::number(grid.Zone), south ? QStringLiteral("S") : QStringLiteral("N"), name)
        + QStringLiteral("GEOGCS[\"Quiltmap %1\",DATUM[\"Quiltmap %1\",SPHEROID[\"%1\",%2,%3]],")
              .arg(name, Number(ellipsoid.EquatorialRadius), Number(inverseFlattening))
        + QStringLiteral("PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]],"
                         "PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"latitude_of_origin\",0],")
        + QStringLiteral("PARAMETER[\"central_meridian\",%1],PARAMETER[\"scale_factor\",%2],")
              .arg(Number(grid.BottomLeft.CentralMeridian), Number(ScaleOnCentralMeridian))
        + QStringLiteral("PARAMETER[\"false_easting\",%1],PARAMETER[\"false_northing\",%2],")
              .arg(Number(FalseEasting), Number(south ? FalseNorthingSouth : 0))
        + QStringLiteral("UNIT[\"metre\",1],AXIS[\"Easting\",EAST],AXIS[\"Northing\",NORTH]]");
    return wkt.toUtf8() + "\r\n";
}

QByteArray KmlText(const MapCorners& map)
{
    const TileGrid& grid = map.Grid;
    const double west = grid.BottomLeft.Easting;
    const double south = grid.BottomLeft.Northing;
    const double east = grid.TopRight.Easting;
    const double north = grid.TopRight.Northing;
    const std::pair<double, double> corners[4] = {{west, south}, {east, south}, {east, north}, {west, north}};
    QStringList coordinates;
    for (const auto& [easting, northing] : corners) {
        double latitude = 0;
        double longitude = 0;
        if (!CornerDegrees(grid, easting, northing, latitude, longitude))
            return QByteArray();
        coordinates << Number(longitude) + u',' + Number(latitude);
    }
    // The picture lies beside the overlay; its name is a relative link.
    const QString link = QString::fromLatin1(QUrl::toPercentEncoding(map.PictureName));
    const QString kml =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
                       "xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n"
                       "  <GroundOverlay>\n"
                       "    <name>%1</name>\n"
                       "    <Icon><href>%2</href></Icon>\n"
                       "    <gx:LatLonQuad>\n"
                       "      <coordinates>%3</coordinates>\n"
                       "    </gx:LatLonQuad>\n"
                       "  </GroundOverlay>\n"
                       "</kml>\n")
            .arg(HostText(map.Description).toHtmlEscaped(), link.toHtmlEscaped(), coordinates.join(u' '));
    return kml.toUtf8();
}

// GDAL takes the projection of a JPEG from its auxiliary file, not from the ".PRJ".
QByteArray AuxiliaryText(const MapCorners& corners)
{
    const QByteArray projection = ProjectionText(corners);
    if (projection.isEmpty())
        return QByteArray();
    return "<PAMDataset>\n  <SRS dataAxisToSRSAxisMapping=\"1,2\">"
           + QString::fromUtf8(projection.trimmed()).toHtmlEscaped().toUtf8() + "</SRS>\n</PAMDataset>\n";
}

const CalibrationWriter Writers[] = {
    {".INF", false, InfText},
    {".JGW", true, WorldFileText},
    {".PRJ", true, ProjectionText},
    {".KML", true, KmlText},
    {".JPG.aux.xml", true, AuxiliaryText},
};

}  // namespace

std::span<const CalibrationWriter> CalibrationWriters()
{
    return Writers;
}

QString HostText(const QString& description)
{
    QString text = description;
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control)
            c = u' ';
    return text;
}

void FormatLatLong(double latitude, double longitude, QString& latitudeText, QString& longitudeText)
{
    longitudeText = DegreesMinutesText(longitude, 3) + (longitude >= 0 ? u'E' : u'W');
    latitudeText = DegreesMinutesText(latitude, 2) + (latitude >= 0 ? u'N' : u'S');
}
