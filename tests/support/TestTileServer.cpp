#include "TestTileServer.h"

#include <future>

#include <QBuffer>
#include <QImage>

#include <httplib.h>

TestTileServer::TestTileServer() = default;
TestTileServer::~TestTileServer() { Stop(); }

bool TestTileServer::Start()
{
    if (m_server)
        return true;
    JpegTile(0, 0);   // loads the image plugins here, before the server's threads need them
    m_server = std::make_unique<httplib::Server>();
    m_server->set_keep_alive_timeout(1);
    m_server->Get("/tile.ashx", [this](const auto& request, auto& response) {
        const int x = QString::fromStdString(request.get_param_value("X")).toInt();
        const int y = QString::fromStdString(request.get_param_value("Y")).toInt();
        std::unique_lock<std::mutex> lock(m_lock);
        const std::string& target = request.target;
        m_requests.push_back({QString::fromStdString(target.substr(target.find('?') + 1)),
                              QString::fromStdString(request.get_header_value("User-Agent"))});
        const auto it = m_answers.find({x, y});
        const TileAnswer answer = it == m_answers.end() ? m_default : it->second;
        if (answer.What == TileAnswer::Kind::Hung) {
            ++m_hung;
            m_stopping.wait_for(lock, std::chrono::seconds(120), [this] { return m_stopped; });
            --m_hung;
            response.status = 503;
            return;
        }
        lock.unlock();
        if (!answer.CacheControl.empty())
            response.set_header("Cache-Control", answer.CacheControl);
        if (answer.What == TileAnswer::Kind::Status) {
            response.status = answer.Code;
            response.set_content("The tile server refused this tile.", "text/plain");
        } else if (answer.What == TileAnswer::Kind::Dropped) {
            // Closes the connection half way through the announced body.
            response.set_content_provider(4000, "image/jpeg", [](size_t at, size_t, auto& sink) {
                return at < 2000 && sink.write(std::string(2000 - at, 'x').data(), 2000 - at);
            });
        } else {
            const QByteArray bytes =
                answer.What == TileAnswer::Kind::Jpeg ? JpegTile(x, y) : answer.Bytes;
            response.set_content(bytes.constData(), size_t(bytes.size()), "image/jpeg");
        }
    });

    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        m_server.reset();
        return false;
    }
    // stop() does nothing until the loop runs, which it does once it asks for its task queue.
    auto running = std::make_shared<std::promise<void>>();
    std::future<void> started = running->get_future();
    m_server->new_task_queue = [running] {
        running->set_value();
        return new httplib::ThreadPool(CPPHTTPLIB_THREAD_POOL_COUNT);
    };
    m_thread = std::thread([server = m_server.get()] { server->listen_after_bind(); });
    return started.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
}

void TestTileServer::Stop()
{
    if (!m_server)
        return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopped = true;
    }
    m_stopping.notify_all();
    m_server->stop();
    m_thread.join();
    m_server.reset();
}

void TestTileServer::SetAnswer(int x, int y, const TileAnswer& answer)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_answers[{x, y}] = answer;
}

void TestTileServer::SetDefaultAnswer(const TileAnswer& answer)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_default = answer;
}

std::vector<TestTileServer::Request> TestTileServer::Requests() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}

std::vector<QString> TestTileServer::Queries() const
{
    std::vector<QString> queries;
    for (const Request& request : Requests())
        queries.push_back(request.Query);
    return queries;
}

int TestTileServer::ActiveCount() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_hung;
}

QColor TestTileServer::TileColour(int x, int y)
{
    const int ux = ((x % 4) + 4) % 4, uy = ((y % 4) + 4) % 4;
    return QColor(30 + 60 * ux, 30 + 60 * uy, 210 - 30 * ux - 20 * uy);
}

QByteArray TestTileServer::JpegTile(int x, int y)
{
    static std::mutex encoder;   // the test's thread and the server's take turns
    std::lock_guard<std::mutex> guard(encoder);
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(TileColour(x, y));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}
