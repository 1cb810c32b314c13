#include "GisFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <QUrl>

namespace {

constexpr double ScaleOnCentralMeridian = 0.9996;
constexpr double FalseEasting = 500000;
constexpr double FalseNorthingSouth = 10000000;

// The shortest text that reads back as the same double, never in exponent form.
QString Number(double value)
{
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
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

}  // namespace

QByteArray WorldFileText(const TileGrid& grid)
{
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

QByteArray ProjectionText(const TileGrid& grid)
{
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

QByteArray KmlText(const TileGrid& grid, const QString& pictureName, const QString& title)
{
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
    const QString link = QString::fromLatin1(QUrl::toPercentEncoding(pictureName));
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
            .arg(title.toHtmlEscaped(), link.toHtmlEscaped(), coordinates.join(u' '));
    return kml.toUtf8();
}

const QStringList& GisFileSuffixes()
{
    static const QStringList suffixes = {QStringLiteral(".JGW"), QStringLiteral(".PRJ"),
                                         QStringLiteral(".KML"), QStringLiteral(".JPG.aux.xml")};
    return suffixes;
}

void RemoveGisFiles(const QString& basePath)
{
    for (const QString& suffix : GisFileSuffixes())
        QFile::remove(basePath + suffix);
}

QList<QByteArray> GisFileContents(const TileGrid& grid, const QString& pictureName, const QString& title,
                                  QString* error)
{
    const QByteArray projection = ProjectionText(grid);
    const QByteArray kml = KmlText(grid, pictureName, title);
    if (projection.isEmpty() || kml.isEmpty()) {
        if (error)
            *error = QStringLiteral("the map's corners cannot be converted");
        return {};
    }
    // GDAL takes the projection of a JPEG from its auxiliary file, not from the ".PRJ".
    const QByteArray auxiliary = "<PAMDataset>\n  <SRS dataAxisToSRSAxisMapping=\"1,2\">"
                                 + QString::fromUtf8(projection.trimmed()).toHtmlEscaped().toUtf8()
                                 + "</SRS>\n</PAMDataset>\n";
    return {WorldFileText(grid), projection, kml, auxiliary};
}
