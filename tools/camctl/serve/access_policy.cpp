#include "serve/access_policy.hpp"

#include <cstdio>
#include <random>

#include "errors.hpp"

namespace camctl::serve {

namespace {

const char* const cookieName = "camctl_token";

int parsePort(const std::string& text, const std::string& whole) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        throw UsageError("--listen: \"" + whole + "\" has no valid port (0 to 65535)");
    }
    const int port = std::stoi(text);
    if (port > 65535) {
        throw UsageError("--listen: port " + text + " is out of range (0 to 65535)");
    }
    return port;
}

// "host:port" -> "host"; "[::1]:port" -> "::1"; a host without a port stays as it is.
std::string hostPart(const std::string& hostHeader) {
    if (!hostHeader.empty() && hostHeader.front() == '[') {
        const auto close = hostHeader.find(']');
        return close == std::string::npos ? hostHeader : hostHeader.substr(1, close - 1);
    }
    return hostHeader.substr(0, hostHeader.find(':'));
}

std::string cookieValue(const std::string& header, const std::string& name) {
    size_t start = 0;
    while (start < header.size()) {
        size_t end = header.find(';', start);
        if (end == std::string::npos) {
            end = header.size();
        }
        std::string pair = header.substr(start, end - start);
        pair.erase(0, pair.find_first_not_of(' '));
        if (pair.compare(0, name.size() + 1, name + "=") == 0) {
            return pair.substr(name.size() + 1);
        }
        start = end + 1;
    }
    return {};
}

bool isReadOnlyMethod(const std::string& method) {
    return method == "GET" || method == "HEAD";
}

}  // namespace

ListenAddress parseListenAddress(const std::string& text) {
    ListenAddress address;
    if (text.empty()) {
        return address;
    }
    std::string host;
    std::string port;
    if (text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':')) {
            throw UsageError("--listen: \"" + text + "\" is not [IPv6]:PORT");
        }
        host = text.substr(1, close - 1);
        port = close + 1 < text.size() ? text.substr(close + 2) : "";
    } else {
        const auto colon = text.rfind(':');
        if (colon != std::string::npos && text.find(':') != colon) {
            throw UsageError("--listen: write IPv6 addresses in brackets, e.g. [::1]:8080");
        }
        host = colon == std::string::npos ? text : text.substr(0, colon);
        port = colon == std::string::npos ? "" : text.substr(colon + 1);
    }
    if (!host.empty()) {
        address.host = host;
    }
    if (!port.empty() || text.back() == ':') {
        address.port = parsePort(port, text);
    }
    return address;
}

bool isLocalOnlyAddress(const std::string& host) {
    return host == "127.0.0.1" || host == "::1" || host == "localhost";
}

std::string generateToken() {
    std::random_device random;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char word[9];
        std::snprintf(word, sizeof word, "%08x", static_cast<unsigned>(random()));
        token += word;
    }
    return token;
}

bool sameSecret(const std::string& a, const std::string& b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ (b.empty() ? 0 : b[i % b.size()]));
    }
    return difference == 0;
}

bool AccessPolicy::hasValidToken(const httplib::Request& request) const {
    const std::string authorization = request.get_header_value("Authorization");
    const std::string bearer = "Bearer ";
    if (authorization.compare(0, bearer.size(), bearer) == 0 &&
        sameSecret(authorization.substr(bearer.size()), token)) {
        return true;
    }
    if (sameSecret(cookieValue(request.get_header_value("Cookie"), cookieName), token)) {
        return true;
    }
    return tokenFromQuery(request);
}

bool AccessPolicy::tokenFromQuery(const httplib::Request& request) const {
    return !token.empty() && request.has_param("token") &&
           sameSecret(request.get_param_value("token"), token);
}

std::string AccessPolicy::cookie() const {
    return std::string(cookieName) + "=" + token + "; Path=/; HttpOnly; SameSite=Strict";
}

std::optional<Refusal> AccessPolicy::check(const httplib::Request& request) const {
    const std::string hostHeader = request.get_header_value("Host");
    // Without a token only loopback names may be used, so a web site that points its own name
    // at 127.0.0.1 (DNS rebinding) cannot reach the camera through the visitor's browser.
    if (token.empty() && !isLocalOnlyAddress(hostPart(hostHeader))) {
        return Refusal{403, "Forbidden", "requests must be addressed to the loopback address"};
    }
    if (!token.empty() && !hasValidToken(request)) {
        return Refusal{401, "Unauthorized", "a valid token is required"};
    }
    const std::string site = request.get_header_value("Sec-Fetch-Site");
    const bool fromElsewhere =
        request.has_header("Sec-Fetch-Site") && site != "same-origin" && site != "none";
    if (!isReadOnlyMethod(request.method)) {
        const std::string origin = request.get_header_value("Origin");
        if (fromElsewhere || (request.has_header("Origin") && origin != "http://" + hostHeader)) {
            return Refusal{403, "CrossOrigin", "cross-origin writes are refused"};
        }
    } else if (fromElsewhere && request.get_header_value("Sec-Fetch-Mode") != "navigate") {
        // Another site may link to the page, but not embed the live view, the pictures or the
        // event stream (which would start live view and show them on its own page).
        return Refusal{403, "CrossOrigin", "cross-origin requests are refused"};
    }
    return std::nullopt;
}

}  // namespace camctl::serve
