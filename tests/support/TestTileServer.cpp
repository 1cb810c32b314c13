#include "TestTileServer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

#include <QBuffer>
#include <QImage>

#include <httplib.h>

namespace {

constexpr int Side = 200;
// A hung request gives up by itself after this long, so a forgotten Stop() cannot hang a run.
constexpr auto LongestHang = std::chrono::seconds(120);

// A flat GIF, put together by hand as Qt reads GIF but does not write it: 9-bit codes, every
// pixel a literal, and a clear code before the code table would need 10 bits.
QByteArray FlatGif(const QColor& colour)
{
    QByteArray gif("GIF89a");
    const auto word = [&gif](int value) { gif.append(char(value & 0xFF)).append(char(value >> 8)); };
    word(Side);
    word(Side);
    gif.append("\xF7\0\0", 3);   // a global table of 256 entries: the colour, then black
    gif.append(char(colour.red())).append(char(colour.green())).append(char(colour.blue()));
    gif.append(QByteArray(255 * 3, '\0'));
    gif.append(',');
    for (int value : {0, 0, Side, Side})
        word(value);
    gif.append(char(0));

    QByteArray codes;
    quint32 bits = 0;
    int bitCount = 0;
    const auto code = [&](int value) {
        bits |= quint32(value) << bitCount;
        for (bitCount += 9; bitCount >= 8; bitCount -= 8, bits >>= 8)
            codes.append(char(bits & 0xFF));
    };
    for (int pixel = 0; pixel < Side * Side; ++pixel) {
        if (pixel % 254 == 0)
            code(256);   // clear
        code(0);
    }
    code(257);   // end
    if (bitCount > 0)
        codes.append(char(bits & 0xFF));

    gif.append(char(8));   // minimum code size
    for (qsizetype at = 0; at < codes.size(); at += 255)
        gif.append(char(qMin<qsizetype>(255, codes.size() - at))).append(codes.mid(at, 255));
    gif.append("\0;", 2);
    return gif;
}

QByteArray FlatJpeg(const QColor& colour)
{
    // Serialised, so the image plugins are never set up from two threads at once.
    static std::mutex encoder;
    std::lock_guard<std::mutex> guard(encoder);
    QImage image(Side, Side, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

}  // namespace

struct TestTileServer::Shared {
    mutable std::mutex Lock;
    std::condition_variable HungReleased;
    bool Releasing = false;
    std::map<std::pair<int, int>, TileAnswer> Answers;
    TileAnswer Default;
    std::vector<Request> Requests;
    int Active = 0;

    void Serve(const httplib::Request& request, httplib::Response& response)
    {
        const int x = QString::fromStdString(request.get_param_value("X")).toInt();
        const int y = QString::fromStdString(request.get_param_value("Y")).toInt();
        TileAnswer answer;
        {
            std::lock_guard<std::mutex> guard(Lock);
            const auto it = Answers.find({x, y});
            answer = it == Answers.end() ? Default : it->second;
        }
        if (answer.What == TileAnswer::Kind::Hung) {
            std::unique_lock<std::mutex> lock(Lock);
            HungReleased.wait_for(lock, LongestHang, [this] { return Releasing; });
            answer = TileAnswer::Status(503);
        }
        if (answer.What == TileAnswer::Kind::Status) {
            response.status = answer.Code;
            response.set_content("The tile server refused this tile.", "text/plain");
        } else if (answer.What == TileAnswer::Kind::Dropped) {
            response.set_content_provider(
                4000, "image/jpeg", [](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset >= 2000)
                        return false;   // closes the connection before the announced end
                    const std::string half(2000 - offset, 'x');
                    return sink.write(half.data(), half.size());
                });
        } else {
            const QByteArray bytes = answer.What == TileAnswer::Kind::Jpeg  ? JpegTile(x, y)
                                     : answer.What == TileAnswer::Kind::Gif ? GifTile(x, y)
                                                                            : answer.Bytes;
            response.set_content(bytes.constData(), size_t(bytes.size()), "application/octet-stream");
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
    JpegTile(0, 0);   // loads the image plugins on this thread before any request needs them

    m_server = std::make_unique<httplib::Server>();
    m_server->set_keep_alive_timeout(1);
    m_server->Get("/tile.ashx", [shared = m_shared](const httplib::Request& request,
                                                    httplib::Response& response) {
        const std::string& target = request.target;
        const auto question = std::min(target.find('?'), target.size());
        {
            std::lock_guard<std::mutex> guard(shared->Lock);
            shared->Requests.push_back(
                {QString::fromStdString(target.substr(0, question)),
                 QString::fromStdString(target.substr(std::min(question + 1, target.size()))),
                 QString::fromStdString(request.get_header_value("User-Agent"))});
            ++shared->Active;
        }
        shared->Serve(request, response);
        std::lock_guard<std::mutex> guard(shared->Lock);
        --shared->Active;
    });

    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        m_server.reset();
        return false;
    }
    // Connections made before the loop runs wait in the listening socket's backlog.
    m_thread = std::thread([server = m_server.get()] { server->listen_after_bind(); });
    // stop() does nothing until the loop runs, and this library version offers no signal for it.
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
