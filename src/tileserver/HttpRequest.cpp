#include "HttpRequest.h"

#include <cstring>

namespace {

bool IsTokenChar(unsigned char c)
{
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || (c && strchr("!#$%&'*+-.^_`|~", c));
}

bool IsToken(std::string_view text)
{
    for (unsigned char c : text)
        if (!IsTokenChar(c))
            return false;
    return !text.empty();
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20))
            return false;
    return true;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Whether a comma-separated header value lists the token.
bool ListHas(std::string_view list, std::string_view token)
{
    while (!list.empty()) {
        const size_t comma = list.find(',');
        if (SameText(Trimmed(list.substr(0, comma)), token))
            return true;
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
    }
    return false;
}

HttpParse Refused(int status)
{
    HttpParse parse;
    parse.What = HttpParse::Outcome::Error;
    parse.Status = status;
    return parse;
}

}  // namespace

HttpParse ParseHttpRequest(std::string_view bytes, HttpRequest& request)
{
    request = HttpRequest();
    // Empty lines before a request are skipped (some clients send one after a body).
    size_t start = 0;
    while (start < bytes.size() && (bytes[start] == '\r' || bytes[start] == '\n'))
        ++start;
    // The head ends at an empty line; a line may end in CR LF or LF alone.
    size_t headEnd = std::string_view::npos;
    for (size_t at = bytes.find('\n', start); at != std::string_view::npos; at = bytes.find('\n', at + 1)) {
        if (at + 1 < bytes.size() && bytes[at + 1] == '\n') {
            headEnd = at + 2;
            break;
        }
        if (at + 2 < bytes.size() && bytes[at + 1] == '\r' && bytes[at + 2] == '\n') {
            headEnd = at + 3;
            break;
        }
        if (at > kMaxRequestHead)
            break;
    }
    if (headEnd == std::string_view::npos) {
        if (bytes.size() > kMaxRequestHead)
            return Refused(431);
        // Bytes that cannot begin a request (a TLS greeting, say) are refused at once, not waited on.
        for (unsigned char c : bytes.substr(start, bytes.find_first_of(" \r\n", start) - start))
            if (!IsTokenChar(c))
                return Refused(400);
        return HttpParse();
    }
    if (headEnd > kMaxRequestHead)
        return Refused(431);

    std::string_view head = bytes.substr(start, headEnd - start);
    const auto nextLine = [&head]() {
        const size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        head.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    };
    // METHOD SP TARGET SP HTTP/1.x
    const std::string_view line = nextLine();
    const size_t space1 = line.find(' '), space2 = line.find(' ', space1 + 1);
    if (space1 == std::string_view::npos || space2 == std::string_view::npos)
        return Refused(400);
    request.Method = line.substr(0, space1);
    request.Target = line.substr(space1 + 1, space2 - space1 - 1);
    const std::string_view version = line.substr(space2 + 1);
    if (!IsToken(request.Method) || request.Target.empty() || (version != "HTTP/1.1" && version != "HTTP/1.0"))
        return Refused(400);
    for (unsigned char c : request.Target)
        if (c <= 0x20 || c == 0x7f)
            return Refused(400);
    request.KeepAlive = version == "HTTP/1.1";

    size_t bodyLength = 0;
    bool lengthSeen = false;
    for (std::string_view header = nextLine(); !header.empty(); header = nextLine()) {
        const size_t colon = header.find(':');
        if (colon == std::string_view::npos || !IsToken(header.substr(0, colon)))
            return Refused(400);  // also a folded line, which starts with white space
        const std::string_view name = header.substr(0, colon), value = Trimmed(header.substr(colon + 1));
        for (unsigned char c : value)
            if ((c < 0x20 && c != '\t') || c == 0x7f)
                return Refused(400);
        if (SameText(name, "Connection")) {
            if (ListHas(value, "close"))
                request.KeepAlive = false;
            else if (ListHas(value, "keep-alive"))
                request.KeepAlive = true;
        } else if (SameText(name, "If-None-Match")) {
            request.HasIfNoneMatch = true;
            request.IfNoneMatch = value;
        } else if (SameText(name, "If-Modified-Since")) {
            request.IfModifiedSince = value;
        } else if (SameText(name, "Transfer-Encoding")) {
            return Refused(400);
        } else if (SameText(name, "Content-Length")) {
            size_t length = 0;
            for (char c : value) {
                if (c < '0' || c > '9')
                    return Refused(400);
                length = length * 10 + size_t(c - '0');
                if (length > kMaxRequestBody)
                    return Refused(413);
            }
            if (value.empty() || (lengthSeen && length != bodyLength))
                return Refused(400);
            bodyLength = length, lengthSeen = true;
        }
    }
    if (bytes.size() - headEnd < bodyLength)
        return HttpParse();
    HttpParse parse;
    parse.What = HttpParse::Outcome::Complete;
    parse.Length = headEnd + bodyLength;
    return parse;
}
