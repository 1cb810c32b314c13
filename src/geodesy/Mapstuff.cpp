#include "Mapstuff.h"

#include "Geodesy.h"

#include <cmath>

namespace Mapstuff {

namespace {

// These truncated constants decide on which side of a zone or band limit a point falls after the
// round trip through radians; maps made earlier rest on them, so they stay as they are.
constexpr double kPi = 3.14159265358979;
constexpr double kDegreesToRadians = 0.017453292519943278;
constexpr double kRadiansToDegrees = 57.29577951308238;
constexpr double kFullTurn = 6.28318530717958;

constexpr double kK0 = 0.9996;              // scale on the central meridian
constexpr double kFalseEasting = 500000.0;
constexpr double kFalseNorthing = 10000000.0;  // southern hemisphere only

// Built once, on the first conversion, and kept until exit.
const Geodesy& Catalogue()
{
    static const Geodesy catalogue;
    return catalogue;
}

struct BandRow {
    const char* Letter;
    double From;  // included
    double To;    // excluded, except for "X", which runs to 84 inclusive
};

constexpr BandRow kBands[] = {
    {"X", 72, 84}, {"W", 64, 72}, {"V", 56, 64}, {"U", 48, 56}, {"T", 40, 48},
    {"S", 32, 40}, {"R", 24, 32}, {"Q", 16, 24}, {"P", 8, 16}, {"N", 0, 8},
    {"M", -8, 0}, {"L", -16, -8}, {"K", -24, -16}, {"J", -32, -24}, {"H", -40, -32},
    {"G", -48, -40}, {"F", -56, -48}, {"E", -64, -56}, {"D", -72, -64}, {"C", -80, -72},
};

std::string BandOf(double latitude)
{
    if (latitude == 84)
        return "X";
    for (const BandRow& band : kBands) {
        if (latitude >= band.From && latitude < band.To)
            return band.Letter;
    }
    return "Z";
}

// Computed in a wider integer than the zone itself, so an absurd zone in a record cannot overflow.
double CentralMeridianOf(int16_t zone)
{
    return static_cast<double>((static_cast<int>(zone) - 1) * 6 - 180 + 3);
}

bool IsSouthernBand(const std::string& band)
{
    return band < "N";
}

struct EllipsoidTerms {
    double a;
    double e2;       // eccentricity squared
    double ep2;      // second eccentricity squared
};

EllipsoidTerms TermsOf(const Ellipsoid& ellipsoid)
{
    const double a = ellipsoid.EquatorialRadius;
    const double b = ellipsoid.PolarRadius;
    const double f = (a - b) / a;
    const double e2 = 2 * f - f * f;
    return {a, e2, e2 / (1 - e2)};
}

// Snyder's forward series about the given central meridian (degrees in, metres out, no false
// easting or northing); shared by the zone-finding conversion and the fixed-zone projector.
struct ForwardResult {
    double X, Y, Scale, Gamma;
};

ForwardResult TransverseMercatorForward(const EllipsoidTerms& terms, double latitude, double longitude,
                                        double centralMeridian, bool withScaleAndConvergence = true)
{
    const auto [a, e2, ep2] = terms;
    const double e4 = e2 * e2;
    const double e6 = e4 * e2;

    const double phi = DegToRad(latitude);
    const double lambda = DegToRad(longitude);
    const double lambda0 = DegToRad(centralMeridian);
    const double sinPhi = std::sin(phi);
    const double cosPhi = std::cos(phi);
    const double tanPhi = std::tan(phi);

    // Snyder's series for the ellipsoid; the arc M is measured from the equator.
    const double n = a / std::sqrt(1 - e2 * Square(sinPhi));
    const double t = Square(tanPhi);
    const double c = ep2 * Square(cosPhi);
    const double aa = (lambda - lambda0) * cosPhi;
    const double m = a * ((1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256) * phi
                          - (3 * e2 / 8 + 3 * e4 / 32 + 45 * e6 / 1024) * std::sin(2 * phi)
                          + (15 * e4 / 256 + 45 * e6 / 1024) * std::sin(4 * phi)
                          - (35 * e6 / 3072) * std::sin(6 * phi));
    const double m0 = 0;

    const double x = kK0 * n * (aa + (1 - t + c) * std::pow(aa, 3) / 6
                                + (5 - 18 * t + t * t + 72 * c - 58 * ep2) * std::pow(aa, 5) / 120);
    const double y = kK0 * (m - m0 + n * tanPhi * (Square(aa) / 2
                            + (5 - t + 9 * c + 4 * c * c) * std::pow(aa, 4) / 24
                            + (61 - 58 * t + t * t + 600 * c - 330 * ep2) * std::pow(aa, 6) / 720));
    if (!withScaleAndConvergence)
        return {x, y, 0, 0};
    const double scale = kK0 * (1 + (1 + ep2 * Square(cosPhi)) * Square(x) / (2 * Square(kK0) * Square(n)));

    // Grid convergence as a series in the longitude difference.
    const double dl = lambda - lambda0;
    const double eta2 = ep2 * Square(cosPhi);
    const double t2 = Square(tanPhi);
    const double cos2 = Square(cosPhi);
    const double gamma = dl * sinPhi
        + std::pow(dl, 3) * sinPhi * cos2 / 3 * (1 + 3 * eta2 + 2 * eta2 * eta2)
        + std::pow(dl, 5) * sinPhi * cos2 * cos2 / 15
              * (2 - t2 + 15 * eta2 + 35 * std::pow(eta2, 2) - 15 * t2 * eta2 + 33 * std::pow(eta2, 3)
                 - 50 * t2 * std::pow(eta2, 2) + 11 * std::pow(eta2, 4) - 60 * t2 * std::pow(eta2, 3))
        + std::pow(dl, 7) * sinPhi * std::pow(cosPhi, 6) / 315 * (17 - 26 * t2 + 2 * t2 * t2);

    return {x, y, scale, gamma};
}

}  // namespace

double FloatMod(double x, double y)
{
    return x - std::floor(x / y) * y;
}

double WrapLatitude(double radians)
{
    return FloatMod(radians + kPi / 2, kPi) - kPi / 2;
}

double WrapLongitude(double radians)
{
    return FloatMod(radians + kPi, kFullTurn) - kPi;
}

double DegToRad(double degrees)
{
    return degrees * kDegreesToRadians;
}

double RadToDeg(double radians)
{
    return radians * kRadiansToDegrees;
}

double Square(double x)
{
    return x * x;
}

int16_t GetEllipsoid(Ellipsoid& ellipsoid, int16_t index)
{
    const Geodesy& catalogue = Catalogue();
    if (index < 1 || index > catalogue.Choices())
        return UtmBadEllipsoid;
    ellipsoid.EquatorialRadius = catalogue.eMajor(index);
    ellipsoid.PolarRadius = catalogue.eMinor(index);
    ellipsoid.Name = catalogue.ename(index);
    return UtmOk;
}

int16_t GetZoneAndBand(ZoneInfo& zone)
{
    // The limits are tested on the values after the trip through radians, not on the input.
    const double lonN = RadToDeg(WrapLongitude(DegToRad(zone.Longitude)));
    const double latN = RadToDeg(WrapLatitude(DegToRad(zone.Latitude)));

    // Written so that a latitude that is not a number fails too: it has no band and no zone.
    if (!(latN >= -80 && latN <= 84))
        return UtmLatitudeOutOfRange;

    // Only a longitude that is not finite or is far beyond a full turn leaves [-180, 180) here;
    // such a point has no zone, and the conversion to an integer below would be undefined.
    const double zoneNumber = std::trunc((lonN + 180) / 6 + 1);
    if (!(zoneNumber >= 1 && zoneNumber <= 60))
        return UtmLatitudeOutOfRange;

    int16_t number = static_cast<int16_t>(zoneNumber);
    if (latN >= 56 && latN < 64 && lonN >= 3 && lonN < 12)
        number = 32;  // southern Norway
    if (latN >= 72 && latN < 84) {  // Svalbard
        if (lonN >= 0 && lonN < 9)
            number = 31;
        else if (lonN >= 9 && lonN < 21)
            number = 33;
        else if (lonN >= 21 && lonN < 33)
            number = 35;
        else if (lonN >= 33 && lonN < 42)
            number = 37;
    }

    zone.Zone = number;
    zone.Band = BandOf(latN);
    zone.CentralMeridian = CentralMeridianOf(number);
    return UtmOk;
}

int16_t LatLongToUtm(UtmPoint& point)
{
    Ellipsoid ellipsoid;
    if (GetEllipsoid(ellipsoid, point.EllipsoidIndex) != UtmOk)
        return UtmBadEllipsoid;

    ZoneInfo zone;
    zone.Latitude = point.Latitude;
    zone.Longitude = point.Longitude;
    if (GetZoneAndBand(zone) != UtmOk)
        return UtmNoZone;

    const ForwardResult r = TransverseMercatorForward(TermsOf(ellipsoid), point.Latitude, point.Longitude,
                                                      zone.CentralMeridian);
    const double x = r.X;
    const double y = r.Y;
    const double scale = r.Scale;
    const double gamma = r.Gamma;

    point.CentralMeridian = zone.CentralMeridian;
    point.Zone = zone.Zone;
    point.Band = zone.Band;
    point.ScaleFactor = scale;
    point.Easting = x + kFalseEasting;
    // The false northing follows the band, as the inverse does; for every latitude but a negative
    // one within a few 1e-15 degrees of the equator (which normalises to band "N") this is the
    // latitude's own sign.
    point.Northing = IsSouthernBand(zone.Band) ? y + kFalseNorthing : y;
    point.Convergence = RadToDeg(gamma);
    return UtmOk;
}

ZoneProjector::ZoneProjector(int16_t ellipsoidIndex, int16_t zone)
{
    Ellipsoid ellipsoid;
    if (GetEllipsoid(ellipsoid, ellipsoidIndex) != UtmOk || zone < 1 || zone > 60)
        return;
    const EllipsoidTerms terms = TermsOf(ellipsoid);
    m_a = terms.a;
    m_e2 = terms.e2;
    m_ep2 = terms.ep2;
    m_centralMeridian = CentralMeridianOf(zone);
    m_valid = true;
}

void ZoneProjector::Forward(double latitude, double longitude, double& easting, double& northing) const
{
    const ForwardResult r =
        TransverseMercatorForward({m_a, m_e2, m_ep2}, latitude, longitude, m_centralMeridian, false);
    easting = r.X + kFalseEasting;
    northing = r.Y;
}

int16_t UtmToLatLong(UtmPoint& point)
{
    Ellipsoid ellipsoid;
    if (GetEllipsoid(ellipsoid, point.EllipsoidIndex) != UtmOk)
        return UtmBadEllipsoid;

    const double x = point.Easting - kFalseEasting;
    const double y = IsSouthernBand(point.Band) ? point.Northing - kFalseNorthing : point.Northing;

    const auto [a, e2, ep2] = TermsOf(ellipsoid);
    const double e4 = e2 * e2;
    const double e6 = e4 * e2;
    const double m0 = 0;

    // Snyder's inverse series: the footpoint latitude, then the series back from it.
    const double m = y / kK0 + m0;
    const double rootE = std::sqrt(1 - e2);
    const double e1 = (1 - rootE) / (1 + rootE);
    const double mu = m / (a * (1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256));
    const double phi1 = mu + (3 * e1 / 2 - 27 * std::pow(e1, 3) / 32) * std::sin(2 * mu)
        + (21 * e1 * e1 / 16 - 55 * std::pow(e1, 4) / 32) * std::sin(4 * mu)
        + (151 * std::pow(e1, 3) / 96) * std::sin(6 * mu)
        + (1097 * std::pow(e1, 4) / 512) * std::sin(8 * mu);

    const double sinPhi1 = std::sin(phi1);
    const double cosPhi1 = std::cos(phi1);
    const double tanPhi1 = std::tan(phi1);
    const double c1 = ep2 * Square(cosPhi1);
    const double t1 = Square(tanPhi1);
    const double n1 = a / std::sqrt(1 - e2 * Square(sinPhi1));
    const double r1 = a * (1 - e2) / std::pow(1 - e2 * Square(sinPhi1), 1.5);
    const double d = x / (n1 * kK0);

    const double phi = phi1 - (n1 * tanPhi1 / r1)
        * (Square(d) / 2 - (5 + 3 * t1 + 10 * c1 - 4 * c1 * c1 - 9 * ep2) * std::pow(d, 4) / 24
           + (61 + 90 * t1 + 298 * c1 + 45 * t1 * t1 - 252 * ep2 - 3 * c1 * c1) * std::pow(d, 6) / 720);
    const double centralMeridian = CentralMeridianOf(point.Zone);
    const double dl = (d - (1 + 2 * t1 + c1) * std::pow(d, 3) / 6
                       + (5 - 2 * c1 + 28 * t1 - 3 * c1 * c1 + 8 * ep2 + 24 * t1 * t1) * std::pow(d, 5) / 120)
        / cosPhi1;

    // Convergence at the footpoint; the opposite sign of the forward value at the same point.
    const double psi = n1 / r1;
    const double tt = tanPhi1;
    const double tt2 = Square(tt);
    const double gamma = -tt * d
        + tt * std::pow(d, 3) / 3 * (-2 * psi * psi + 3 * psi + tt2)
        - tt * std::pow(d, 5) / 15
              * (std::pow(psi, 4) * (11 - 24 * tt2) - 3 * std::pow(psi, 3) * (8 - 23 * tt2)
                 + 5 * psi * psi * (3 - 14 * tt2) + 30 * psi * tt2 + 3 * tt2 * tt2)
        + tt * std::pow(d, 7) / 315 * (17 + 77 * tt2 + 105 * tt2 * tt2 + 45 * std::pow(tt2, 3));

    point.Latitude = RadToDeg(WrapLatitude(phi));
    point.CentralMeridian = centralMeridian;
    point.Longitude = centralMeridian + RadToDeg(dl);
    point.Convergence = RadToDeg(gamma);
    return UtmOk;
}

}  // namespace Mapstuff
