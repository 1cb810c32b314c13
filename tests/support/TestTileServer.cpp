#include "TestTileServer.h"

#include <chrono>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <httplib.h>

namespace {

constexpr int TileSide = 200;
// A hung request gives up by itself after this long, so a forgotten Stop() cannot hang a run.
constexpr auto LongestHang = std::chrono::seconds(120);

// Image encoding is serialised: QImage and QImageWriter are reentrant, and one lock keeps the
// plugin set-up away from the test thread's own use as well.
std::mutex& EncoderLock()
{
    static std::mutex lock;
    return lock;
}

// A 200x200 GIF in one colour. Qt reads GIF but does not write it, so it is put together by
// hand: a 256-entry colour table, 9-bit codes, and a clear code before the table would need
// 10-bit codes, so every pixel is a literal.
QByteArray FlatGif(const QColor& colour)
{
    QByteArray gif("GIF89a");
    const auto word = [&gif](int value) {
        gif.append(char(value & 0xFF));
        gif.append(char((value >> 8) & 0xFF));
    };
    word(TileSide);
    word(TileSide);
    gif.append(char(0xF7));  // global table, 8 bits of colour, 256 entries
    gif.append(char(0));     // background index
    gif.append(char(0));     // aspect ratio
    for (int entry = 0; entry < 256; ++entry) {
        const QColor c = entry == 0 ? colour : QColor(Qt::black);
        gif.append(char(c.red()));
        gif.append(char(c.green()));
        gif.append(char(c.blue()));
    }
    gif.append(',');
    word(0);
    word(0);
    word(TileSide);
    word(TileSide);
    gif.append(char(0));  // no local table, not interlaced

    const int minimumCodeSize = 8;
    const int clearCode = 256;
    const int endCode = 257;
    QByteArray codes;
    quint32 bits = 0;
    int bitCount = 0;
    const auto emitCode = [&](int code) {
        bits |= quint32(code) << bitCount;
        bitCount += 9;
        while (bitCount >= 8) {
            codes.append(char(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
    };
    int sinceClear = 0;
    emitCode(clearCode);
    for (int pixel = 0; pixel < TileSide * TileSide; ++pixel) {
        if (sinceClear == 254) {
            emitCode(clearCode);
            sinceClear = 0;
        }
        emitCode(0);
        ++sinceClear;
    }
    emitCode(endCode);
    if (bitCount > 0)
        codes.append(char(bits & 0xFF));

    gif.append(char(minimumCodeSize));
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        gif.append(char(block.size()));
        gif.append(block);
    }
    gif.append(char(0));
    gif.append(';');
    return gif;
}

QByteArray FlatJpeg(const QColor& colour)
{
    std::lock_guard<std::mutex> guard(EncoderLock());
    QImage image(TileSide, TileSide, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    writer.write(image);
    return bytes;
}

int QueryValue(const httplib::Request& request, const char* key)
{
    if (!request.has_param(key))
        return 0;
    try {
        return std::stoi(request.get_param_value(key));
    } catch (...) {
        return 0;
    }
}

}  // namespace

struct TestTileServer::Shared {
    mutable std::mutex Lock;
    std::condition_variable HungReleased;
    bool Releasing = false;
    std::map<std::pair<int, int>, TileAnswer> Answers;
    TileAnswer Default = TileAnswer::Jpeg();
    std::vector<Request> Requests;
    int Active = 0;
    std::map<std::pair<int, int>, QByteArray> JpegCache;
    std::map<std::pair<int, int>, QByteArray> GifCache;

    TileAnswer AnswerFor(int x, int y)
    {
        std::lock_guard<std::mutex> guard(Lock);
        const auto it = Answers.find({x, y});
        return it == Answers.end() ? Default : it->second;
    }

    QByteArray Tile(int x, int y, bool gif)
    {
        {
            std::lock_guard<std::mutex> guard(Lock);
            auto& cache = gif ? GifCache : JpegCache;
            const auto it = cache.find({x, y});
            if (it != cache.end())
                return it->second;
        }
        const QByteArray bytes = gif ? GifTile(x, y) : JpegTile(x, y);
        std::lock_guard<std::mutex> guard(Lock);
        (gif ? GifCache : JpegCache)[{x, y}] = bytes;
        return bytes;
    }

    void Serve(const httplib::Request& request, httplib::Response& response)
    {
        const int x = QueryValue(request, "X");
        const int y = QueryValue(request, "Y");
        const TileAnswer answer = AnswerFor(x, y);
        switch (answer.What) {
        case TileAnswer::Kind::Jpeg:
        case TileAnswer::Kind::Gif: {
            const bool gif = answer.What == TileAnswer::Kind::Gif;
            const QByteArray bytes = Tile(x, y, gif);
            response.set_content(bytes.constData(), size_t(bytes.size()),
                                 gif ? "image/gif" : "image/jpeg");
            break;
        }
        case TileAnswer::Kind::Body:
            response.set_content(answer.Bytes.constData(), size_t(answer.Bytes.size()),
                                 "application/octet-stream");
            break;
        case TileAnswer::Kind::Status:
            response.status = answer.Code;
            response.set_content("The tile server refused this tile.", "text/plain");
            break;
        case TileAnswer::Kind::Dropped: {
            const std::string bytes = answer.Bytes.toStdString();
            response.set_content_provider(
                bytes.size(), "image/jpeg",
                [bytes](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset >= bytes.size() / 2)
                        return false;   // closes the connection before the announced end
                    sink.write(bytes.data() + offset, bytes.size() / 2 - offset);
                    return true;
                });
            break;
        }
        case TileAnswer::Kind::Hung: {
            std::unique_lock<std::mutex> lock(Lock);
            HungReleased.wait_for(lock, LongestHang, [this] { return Releasing; });
            response.status = 503;
            response.set_content("Released.", "text/plain");
            break;
        }
        }
    }
};

TestTileServer::TestTileServer() : m_shared(std::make_shared<Shared>()) {}

TestTileServer::~TestTileServer()
{
    Stop();
}

bool TestTileServer::Start()
{
    if (m_server)
        return true;
    // Loads the image plugins on this thread before any request needs them.
    JpegTile(0, 0);

    m_server = std::make_unique<httplib::Server>();
    m_server->set_keep_alive_timeout(1);
    const std::shared_ptr<Shared> shared = m_shared;
    m_server->set_pre_routing_handler([shared](const httplib::Request& request,
                                               httplib::Response&) {
        const std::string& target = request.target;
        const auto question = target.find('?');
        Request seen;
        seen.Path = QString::fromStdString(target.substr(0, question));
        if (question != std::string::npos)
            seen.Query = QString::fromStdString(target.substr(question + 1));
        seen.UserAgent = QString::fromStdString(request.get_header_value("User-Agent"));
        std::lock_guard<std::mutex> guard(shared->Lock);
        shared->Requests.push_back(seen);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    m_server->Get("/tile.ashx", [shared](const httplib::Request& request,
                                         httplib::Response& response) {
        {
            std::lock_guard<std::mutex> guard(shared->Lock);
            ++shared->Active;
        }
        shared->Serve(request, response);
        std::lock_guard<std::mutex> guard(shared->Lock);
        --shared->Active;
    });

    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        m_server.reset();
        m_port = 0;
        return false;
    }
    // The socket listens already; connections made before the loop runs wait in its backlog.
    m_thread = std::thread([server = m_server.get()] { server->listen_after_bind(); });
    // stop() does nothing until the loop runs, and the library offers no signal for that.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!m_server->is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return m_server->is_running();
}

void TestTileServer::Stop()
{
    if (!m_server)
        return;
    ReleaseHung();
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
    m_server.reset();
}

QUrl TestTileServer::BaseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
}

void TestTileServer::SetAnswer(int x, int y, const TileAnswer& answer)
{
    std::lock_guard<std::mutex> guard(m_shared->Lock);
    m_shared->Answers[{x, y}] = answer;
}

void TestTileServer::SetDefaultAnswer(const TileAnswer& answer)
{
    std::lock_guard<std::mutex> guard(m_shared->Lock);
    m_shared->Default = answer;
}

void TestTileServer::ReleaseHung()
{
    {
        std::lock_guard<std::mutex> guard(m_shared->Lock);
        m_shared->Releasing = true;
    }
    m_shared->HungReleased.notify_all();
}

std::vector<TestTileServer::Request> TestTileServer::Requests() const
{
    std::lock_guard<std::mutex> guard(m_shared->Lock);
    return m_shared->Requests;
}

std::vector<QString> TestTileServer::Queries() const
{
    std::vector<QString> queries;
    for (const Request& request : Requests())
        queries.push_back(request.Query);
    return queries;
}

int TestTileServer::RequestCount() const
{
    std::lock_guard<std::mutex> guard(m_shared->Lock);
    return int(m_shared->Requests.size());
}

int TestTileServer::ActiveCount() const
{
    std::lock_guard<std::mutex> guard(m_shared->Lock);
    return m_shared->Active;
}

QColor TestTileServer::TileColour(int x, int y)
{
    const int ux = ((x % 4) + 4) % 4;
    const int uy = ((y % 4) + 4) % 4;
    return QColor(30 + 60 * ux, 30 + 60 * uy, 210 - 30 * ux - 20 * uy);
}

QByteArray TestTileServer::JpegTile(int x, int y)
{
    return FlatJpeg(TileColour(x, y));
}

QByteArray TestTileServer::GifTile(int x, int y)
{
    return FlatGif(TileColour(x, y));
}
