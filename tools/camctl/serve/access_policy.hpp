// Who may use the server: the token, the Host header and cross-origin writes.
#pragma once

#include <optional>
#include <string>

#include <httplib.h>

namespace camctl::serve {

/// "HOST:PORT", "HOST" or ":PORT" (IPv6 hosts in brackets). Throws UsageError when malformed.
struct ListenAddress {
    std::string host = "127.0.0.1";
    int port = 8080;
};
ListenAddress parseListenAddress(const std::string& text);

/// True only for the addresses that other machines cannot reach on any host: 127.0.0.1, ::1
/// and "localhost". Every other address (even 127.0.0.2) needs a token.
bool isLocalOnlyAddress(const std::string& host);

/// 32 hex digits from the system's random source.
std::string generateToken();

/// Why a request is refused: HTTP status, error code and message.
struct Refusal {
    int status;
    std::string code;
    std::string message;
};

class AccessPolicy {
public:
    /// `token` empty: no token is asked for, and only loopback host names are accepted.
    explicit AccessPolicy(std::string token) : token(std::move(token)) {}

    /// The refusal for `request`, or nothing when it may proceed.
    std::optional<Refusal> check(const httplib::Request& request) const;

    /// True when the request carried the token in its query (the page's first load), so the
    /// answer should set the cookie that later requests, the streams included, carry.
    bool tokenFromQuery(const httplib::Request& request) const;

    /// The Set-Cookie value holding the token.
    std::string cookie() const;

    const std::string& requiredToken() const { return token; }

private:
    bool hasValidToken(const httplib::Request& request) const;

    std::string token;
};

/// Equal texts, compared in a time that does not depend on where they differ.
bool sameSecret(const std::string& a, const std::string& b);

}  // namespace camctl::serve
