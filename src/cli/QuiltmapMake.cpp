#include "QuiltmapMake.h"

#include <optional>

#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>

#include "CoordinateEntry.h"
#include "HostLink.h"
#include "Maidenhead.h"
#include "MapMaker.h"
#include "MapRequest.h"
#include "MapSaver.h"
#include "ProgramFolder.h"
#include "ProgramSetup.h"
#include "SettingsProcedures.h"
#include "clsIni.h"

namespace {

const QString Program = QStringLiteral("quiltmap-make");
constexpr int DescriptionLength = 30;   // as the window's description field
constexpr int BarWidth = 30;

// What the arguments ask for, checked and ready for the map code.
struct MakeJob {
    QString LatitudeText;    // normal form
    QString LongitudeText;
    double Latitude = 0;
    double Longitude = 0;
    QString Description;
    ListChoices Lists;
    QString MapsFolder;      // empty: the program's
    std::optional<QUrl> TileServer;
    bool NameFromTime = false;
    bool Overwrite = false;
    bool GisFiles = false;
    bool GridSquares = false;
    bool Quiet = false;
    MapRequest Request;      // worked out from the above
    TileGrid Grid;
};

}  // namespace

QString MakeUsage()
{
    return QStringLiteral(
        "Usage: quiltmap-make (--lat DD.MM.HH --long DDD.MM.HH | --locator LOCATOR) [--corner]\n"
        "                     [--tiles WxH] [--metres N] [--type photo|topo] [--description TEXT]\n"
        "                     [--maps DIR] [--tile-server URL] [--name-from-time] [--overwrite]\n"
        "                     [--gis-files] [--grid] [--quiet]\n"
        "\n"
        "Makes the same map as Quiltmap's window, from the same tile library, into the same Maps\n"
        "folder, and prints the saved picture's path.\n"
        "\n"
        "  --lat DD.MM.HH        latitude north: degrees, minutes, hundredths of a minute\n"
        "  --long DDD.MM.HH      longitude west, likewise\n"
        "  --locator LOCATOR     a grid square of 4, 6 or 8 characters (CN87, CN87uo, FN31pr47)\n"
        "                        instead of --lat and --long: its centre, or its south-west corner\n"
        "                        with --corner; size and resolution fitted to it when not given\n"
        "  --corner              the point is the map's bottom left corner, not its centre\n"
        "  --tiles WxH           tiles of 200 pixels across and up, 1 to 8 each (default 4x4)\n"
        "  --metres N            metres per pixel: 1, 2, 4 .. 512 (default 1)\n"
        "  --type photo|topo     aerial photo or topographic map (default photo)\n"
        "  --description TEXT    the map's title and file name, at most 30 characters\n"
        "                        (default: the point, as the window makes it, or the locator)\n"
        "  --maps DIR            save into DIR instead of the Maps folder\n"
        "  --tile-server URL     the tile server's base URL (default: QUILTMAP_TILE_SERVER, then\n"
        "                        TILE_SERVER in Quiltmap.INI, then http://localhost:8421)\n"
        "  --name-from-time      name the map from the date and time, not the description\n"
        "  --overwrite           replace a map of the same name\n"
        "  --gis-files           also write the world file, projection and KML overlay (also on\n"
        "                        when the window's \"Also Save GIS Files\" is checked)\n"
        "  --grid                draw the grid squares into the map (also on when the window's\n"
        "                        \"Draw Grid Squares\" is checked)\n"
        "  --quiet               no progress; messages and errors are still printed\n"
        "  --help                this text\n"
        "\n"
        "Exit status: 0 saved; 1 a file or folder could not be written; 2 bad arguments;\n"
        "3 a map of that name exists (give --overwrite); 4 saved with tiles missing.\n");
}

namespace {

bool ReadLocator(const QCommandLineParser& parser, const QCommandLineOption& locator,
                 const QCommandLineOption& tiles, const QCommandLineOption& metres, MakeJob& job, QString& problem);

// The job from the arguments, or the message saying what is wrong with them.
std::optional<MakeJob> ReadArguments(const QStringList& arguments, QString& problem, bool& help)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption lat(QStringLiteral("lat"), QString(), QStringLiteral("DD.MM.HH"));
    const QCommandLineOption lon(QStringLiteral("long"), QString(), QStringLiteral("DDD.MM.HH"));
    const QCommandLineOption locator(QStringLiteral("locator"), QString(), QStringLiteral("LOCATOR"));
    const QCommandLineOption corner(QStringLiteral("corner"));
    const QCommandLineOption tiles(QStringLiteral("tiles"), QString(), QStringLiteral("WxH"));
    const QCommandLineOption metres(QStringLiteral("metres"), QString(), QStringLiteral("N"));
    const QCommandLineOption type(QStringLiteral("type"), QString(), QStringLiteral("TYPE"));
    const QCommandLineOption description(QStringLiteral("description"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption maps(QStringLiteral("maps"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption server(QStringLiteral("tile-server"), QString(), QStringLiteral("URL"));
    const QCommandLineOption fromTime(QStringLiteral("name-from-time"));
    const QCommandLineOption overwrite(QStringLiteral("overwrite"));
    const QCommandLineOption gis(QStringLiteral("gis-files"));
    const QCommandLineOption gridSquares(QStringLiteral("grid"));
    const QCommandLineOption quiet(QStringLiteral("quiet"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    parser.addOptions({lat, lon, locator, corner, tiles, metres, type, description, maps, server,
                       fromTime, overwrite, gis, gridSquares, quiet, helpOption});

    if (!parser.parse(QStringList(Program) + arguments)) {
        problem = parser.errorText() + u'.';
        return std::nullopt;
    }
    if (parser.isSet(helpOption)) {
        help = true;
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        problem = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        return std::nullopt;
    }
    for (const QCommandLineOption* option : {&lat, &lon, &locator, &tiles, &metres, &type, &description, &maps, &server}) {
        if (parser.values(*option).size() > 1) {
            problem = QStringLiteral("--%1 is given more than once.").arg(option->names().first());
            return std::nullopt;
        }
    }

    MakeJob job;
    job.Lists.ScaleIndex = 0;
    job.Lists.WidthIndex = 3;
    job.Lists.HeightIndex = 3;
    job.Lists.TypeIndex = 0;
    job.Lists.ReferenceIsCentre = !parser.isSet(corner);
    job.NameFromTime = parser.isSet(fromTime);
    job.Overwrite = parser.isSet(overwrite);
    job.GisFiles = parser.isSet(gis);
    job.GridSquares = parser.isSet(gridSquares);
    job.Quiet = parser.isSet(quiet);

    if (parser.isSet(tiles)) {
        const auto m = QRegularExpression(QStringLiteral("^\\s*([1-8])\\s*[xX]\\s*([1-8])\\s*$")).match(parser.value(tiles));
        if (!m.hasMatch()) {
            problem = QStringLiteral("--tiles %1: give the map's width and height in tiles, each 1 to 8, "
                                     "as WxH, for example 4x4.").arg(parser.value(tiles));
            return std::nullopt;
        }
        job.Lists.WidthIndex = int16_t(m.captured(1).toInt() - 1);
        job.Lists.HeightIndex = int16_t(m.captured(2).toInt() - 1);
    }
    if (parser.isSet(metres)) {
        bool number = false;
        const int value = parser.value(metres).trimmed().toInt(&number);
        int16_t index = -1;
        for (int16_t i = 0; i <= 9 && number; ++i)
            if (value == 1 << i)
                index = i;
        if (index < 0) {
            problem = QStringLiteral("--metres %1: give the metres per pixel as one of 1, 2, 4, 8, 16, 32, "
                                     "64, 128, 256 or 512.").arg(parser.value(metres));
            return std::nullopt;
        }
        job.Lists.ScaleIndex = index;
    }
    if (parser.isSet(type)) {
        const QString value = parser.value(type).trimmed().toLower();
        if (value != QStringLiteral("photo") && value != QStringLiteral("topo")) {
            problem = QStringLiteral("--type %1: give photo (aerial photograph) or topo (topographic map).")
                          .arg(parser.value(type));
            return std::nullopt;
        }
        job.Lists.TypeIndex = value == QStringLiteral("topo") ? 1 : 0;
    }
    job.Description = parser.value(description).trimmed();
    if (job.Description.size() > DescriptionLength) {
        problem = QStringLiteral("--description: at most %1 characters, as in the window; this one has %2.")
                      .arg(DescriptionLength).arg(job.Description.size());
        return std::nullopt;
    }
    if (parser.isSet(maps)) {
        job.MapsFolder = parser.value(maps);
        if (job.MapsFolder.trimmed().isEmpty()) {
            problem = QStringLiteral("--maps: give the folder to save the map into.");
            return std::nullopt;
        }
    }
    if (parser.isSet(server)) {
        const QUrl url = ResolveTileServer(parser.value(server), QString());
        if (!url.isValid() || url.host().isEmpty()
            || (url.scheme() != QStringLiteral("http") && url.scheme() != QStringLiteral("https"))) {
            problem = QStringLiteral("--tile-server %1: give the server's base URL, for example "
                                     "http://localhost:8421.").arg(parser.value(server));
            return std::nullopt;
        }
        job.TileServer = url;
    }

    const bool point = parser.isSet(lat) || parser.isSet(lon);
    if (point == parser.isSet(locator)) {
        problem = point ? QStringLiteral("Give either --lat and --long or --locator, not both.")
                        : QStringLiteral("Give the map's point: --lat and --long, or --locator.");
        return std::nullopt;
    }
    if (point) {
        if (!parser.isSet(lat) || !parser.isSet(lon)) {
            problem = QStringLiteral("Give both --lat and --long.");
            return std::nullopt;
        }
        // The fields' own check: the same reading, normal form and refusal.
        const CoordinateCheck latitude = CheckCoordinateText(parser.value(lat), false);
        const CoordinateCheck longitude = CheckCoordinateText(parser.value(lon), true);
        for (const auto& [check, option, isLongitude] : {std::tuple{&latitude, &lat, false}, std::tuple{&longitude, &lon, true}}) {
            if (!check->Valid || check->Empty) {
                problem = QStringLiteral("--%1 %2: %3").arg(option->names().first(), parser.value(*option),
                                                           CoordinateRefusal(isLongitude));
                return std::nullopt;
            }
        }
        job.LatitudeText = latitude.NormalForm;
        job.LongitudeText = longitude.NormalForm;
        job.Latitude = latitude.Value;
        job.Longitude = longitude.Value;
        if (job.Description.isEmpty())
            job.Description = DefaultDescription(parser.value(lat), parser.value(lon), job.Lists.ReferenceIsCentre);
    } else if (!ReadLocator(parser, locator, tiles, metres, job, problem)) {
        return std::nullopt;
    }

    if (!BuildTileGrid(job.Lists, job.Latitude, job.Longitude, job.Request, job.Grid)) {
        problem = QStringLiteral("No map can be made at %1 N %2 W: the point lies outside the UTM grid's "
                                 "latitudes.").arg(job.LatitudeText, job.LongitudeText);
        return std::nullopt;
    }
    job.Request.Description = job.Description;
    return job;
}

// --locator: the point from the square, the size and resolution fitted to it where not given.
bool ReadLocator(const QCommandLineParser& parser, const QCommandLineOption& locator,
                 const QCommandLineOption& tiles, const QCommandLineOption& metres, MakeJob& job, QString& problem)
{
    LocatorSquare square;
    if (const QString refusal = LocatorRefusal(parser.value(locator), square); !refusal.isEmpty()) {
        problem = QStringLiteral("--locator: ") + refusal;
        return false;
    }
    const LocatorPlacement placement = PlaceLocator(square, false, job.Lists);
    job.LatitudeText = placement.LatitudeText;
    job.LongitudeText = placement.LongitudeText;
    job.Latitude = CheckCoordinateText(job.LatitudeText, false).Value;
    job.Longitude = CheckCoordinateText(job.LongitudeText, true).Value;
    const bool keepScale = parser.isSet(metres);
    const bool keepTiles = parser.isSet(tiles);
    if ((!keepScale || !keepTiles)
        && !FitMapToSquare(square, job.Latitude, job.Longitude, job.Lists, keepScale, keepTiles)) {
        problem = QStringLiteral("--locator %1: no map %2covers the whole grid square; %3.")
                      .arg(square.Locator,
                           keepScale ? QStringLiteral("at --metres %1 ").arg(parser.value(metres))
                           : keepTiles ? QStringLiteral("of --tiles %1 ").arg(parser.value(tiles))
                                       : QString(),
                           keepScale || keepTiles ? QStringLiteral("leave that option out, or give both --tiles and --metres")
                                                  : QStringLiteral("give --tiles and --metres yourself"));
        return false;
    }
    if (job.Description.isEmpty())
        job.Description = square.Locator;
    return true;
}

// The map code's questions and messages, answered from the arguments and printed.
class CommandLinePrompter : public Prompter {
public:
    CommandLinePrompter(const MakeOutput& output, const MakeJob& job, std::function<void(const QString&)> tileError)
        : m_output(output), m_overwriteQuestion(OverwriteQuestion(NameFromDescription(job.Description))),
          m_overwrite(job.Overwrite), m_tileError(std::move(tileError))
    {
    }

    bool AskYesNo(const QString& text) override
    {
        // After the download only two questions come: whether to save (yes), and whether to
        // replace a map of the same name (as --overwrite says).
        if (text != m_overwriteQuestion)
            return true;
        m_overwriteRefused = !m_overwrite;
        return m_overwrite;
    }
    bool AskOkCancel(const QString&) override { return true; }
    void Inform(const QString&) override {}
    void Warn(const QString& text) override
    {
        m_warned = true;
        m_output.Err(Program + QStringLiteral(": ") + text + u'\n');
    }
    void InformTimed(const QString& message, int) override { m_tileError(message); }

    bool OverwriteRefused() const { return m_overwriteRefused; }
    bool Warned() const { return m_warned; }

private:
    const MakeOutput& m_output;
    QString m_overwriteQuestion;
    bool m_overwrite;
    std::function<void(const QString&)> m_tileError;
    bool m_overwriteRefused = false;
    bool m_warned = false;
};

// The window's fields and lists as the arguments gave them; progress on standard error.
class CommandLineForm : public MapForm {
public:
    CommandLineForm(const MakeOutput& output, const MakeJob& job) : m_output(output), m_job(job) {}

    QString FieldText(Field field) const override
    {
        switch (field) {
        case Field::Latitude: return m_job.LatitudeText;
        case Field::Longitude: return m_job.LongitudeText;
        case Field::Description: return m_job.Description;
        }
        return QString();
    }
    void SetFieldText(Field, const QString&) override {}
    void FocusField(Field) override {}
    ListChoices Choices() const override { return m_job.Lists; }
    void EnableInputs(bool) override {}
    void SetDownloadCaption(const QString&) override {}
    void PreviewChanged() override {}
    void ShowTransferStatus(const QString&) override {}
    void SetBusyPointer(bool) override {}

    void ShowProgress(const QString& text) override
    {
        m_current = text;
        if (m_job.Quiet)
            return;
        if (text.isEmpty()) {
            EndBar();
            return;
        }
        if (!m_output.ErrIsTerminal) {
            m_output.Err(text + u'\n');
            return;
        }
        const auto m = QRegularExpression(QStringLiteral("(\\d+) of (\\d+)")).match(text);
        const int done = m.captured(1).toInt();
        const int total = qMax(1, m.captured(2).toInt());
        const int filled = BarWidth * done / total;
        m_output.Err(QStringLiteral("\r[") + QString(filled, u'#') + QString(BarWidth - filled, u'.')
                     + QStringLiteral("] ") + text);
        m_barShown = true;
    }

    // A tile's transfer error, on a line of its own.
    void TileError(const QString& message)
    {
        EndBar();
        m_output.Err(Program + QStringLiteral(": ") + m_current + QStringLiteral(": ") + message + u'\n');
    }

private:
    void EndBar()
    {
        if (m_barShown)
            m_output.Err(QStringLiteral("\n"));
        m_barShown = false;
    }

    const MakeOutput& m_output;
    const MakeJob& m_job;
    QString m_current;
    bool m_barShown = false;
};

int BadArguments(const MakeOutput& output, const QString& problem)
{
    output.Err(Program + QStringLiteral(": ") + problem + QStringLiteral("\n\n") + MakeUsage());
    return MakeBadArguments;
}

int Make(const MakeJob& job, const MakeOutput& output)
{
    // The window's folders and stored choices.
    ProgramFolders folders;
    if (const QString problem = SetUpProgramFolders(ProgramFolder(), WinePrefix(), folders); !problem.isEmpty()) {
        output.Err(Program + QStringLiteral(": ") + problem + u'\n');
        return MakeFailed;
    }
    QString mapsFolder = folders.Maps;
    if (!job.MapsFolder.isEmpty()) {
        mapsFolder = QDir(job.MapsFolder).absolutePath();
        if (const QString reason = MakeFolder(mapsFolder); !reason.isEmpty()) {
            output.Err(QStringLiteral("%1: cannot create the maps folder '%2': %3.\n").arg(Program, mapsFolder, reason));
            return MakeFailed;
        }
        mapsFolder += u'/';
    }
    clsIni ini;
    ini.setStrIniName(WindowSettingsFile());
    const QUrl server = job.TileServer.value_or(
        ResolveTileServer(StoredTileServer(ini), qEnvironmentVariable("QUILTMAP_TILE_SERVER")));

    const MapRequest& request = job.Request;
    const TileGrid& grid = job.Grid;
    for (const QString& warning : {ResolutionWarning(request.ImageType, grid.MetresPerPixel),
                                   ZoneCrossingWarning(grid.BottomLeft.Longitude, grid.TopRight.Longitude)})
        if (!warning.isEmpty())
            output.Err(Program + QStringLiteral(": warning: ") + warning + u'\n');

    // Not worth fetching a map that may not be saved.
    const QString name = NameFromDescription(job.Description);
    if (!job.NameFromTime && !job.Overwrite && !name.isEmpty() && MapExists(mapsFolder + name)) {
        output.Err(QStringLiteral("%1: a map called '%2' already exists in '%3'. Give --overwrite to replace "
                                  "it, or another --description.\n").arg(Program, name, QDir::toNativeSeparators(mapsFolder)));
        return MakeMapExists;
    }

    CommandLineForm form(output, job);
    CommandLinePrompter prompter(output, job, [&form](const QString& message) { form.TileError(message); });
    MapMaker maker(form, prompter);
    maker.SetTileLibraryFolder(folders.TileLibrary);
    maker.SetMapsFolder(mapsFolder);
    maker.SetTileServer(server);
    maker.SetFileNameOption(job.NameFromTime ? 1 : 0);
    maker.SetGisFiles(job.GisFiles || StoredGisFiles(ini));
    maker.SetDrawGridSquares(job.GridSquares || StoredGridSquares(ini));
    maker.SetAdvanceAtOnce(true);

    QString saved;
    QEventLoop loop;
    QObject::connect(&maker, &MapMaker::MapSaved, &loop, [&saved](const QString& base) { saved = base; });
    QObject::connect(&maker, &MapMaker::DownloadEnded, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    maker.BeginDownload(request, grid);
    loop.exec();

    if (saved.isEmpty())
        return prompter.OverwriteRefused() ? MakeMapExists : MakeFailed;
    output.Out(QDir::toNativeSeparators(saved + QStringLiteral(".JPG")) + u'\n');
    if (prompter.Warned())
        return MakeFailed;
    const int missing = request.TilesWide * request.TilesHigh - maker.TilesPasted();
    if (missing > 0) {
        output.Err(QStringLiteral("%1: map saved, %2 %3 missing\n")
                       .arg(Program).arg(missing).arg(missing == 1 ? QStringLiteral("tile") : QStringLiteral("tiles")));
        return MakeTilesMissing;
    }
    return MakeOk;
}

}  // namespace

int RunQuiltmapMake(const QStringList& arguments, const MakeOutput& output)
{
    QString problem;
    bool help = false;
    const std::optional<MakeJob> job = ReadArguments(arguments, problem, help);
    if (help) {
        output.Out(MakeUsage());
        return MakeOk;
    }
    if (!job)
        return BadArguments(output, problem);
    return Make(*job, output);
}
