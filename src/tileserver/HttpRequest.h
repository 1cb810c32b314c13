#pragma once

#include <cstddef>
#include <string_view>

// One HTTP/1.x request read from the front of a connection's bytes. The views point into the
// bytes given to ParseHttpRequest and live as long as they do.
struct HttpRequest {
    std::string_view Method, Target;
    bool KeepAlive = true;  // HTTP/1.1 unless "Connection: close"; HTTP/1.0 only with "keep-alive"
    bool HasIfNoneMatch = false;
    std::string_view IfNoneMatch, IfModifiedSince;
};

struct HttpParse {
    enum class Outcome { Complete, NeedMore, Error };
    Outcome What = Outcome::NeedMore;
    size_t Length = 0;  // Complete: the bytes the request took, its body included
    int Status = 0;     // Error: 400, 413 (body too large) or 431 (head too large)
};

// Limits of what a tile server is sent: a head of a few headers and no body to speak of.
constexpr size_t kMaxRequestHead = 8 * 1024;
constexpr size_t kMaxRequestBody = 64 * 1024;

// Bytes in, one request or "need more" or an error out; no I/O. A body (Content-Length) is
// counted into the request's length and otherwise ignored; chunked bodies are refused.
HttpParse ParseHttpRequest(std::string_view bytes, HttpRequest& request);
