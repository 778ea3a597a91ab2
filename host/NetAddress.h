// Printer addresses on the network and connecting to them, shared by the
// job sink (rasterjob --device) and the printer ports.
#pragma once

#include <string>

#include "HostApi.h"

struct addrinfo;

// Splits "HOST:PORT", "HOST", "[IPV6]:PORT", "[IPV6]" or a bare IPv6
// address. HOST may be a name, an IPv4 or an IPv6 address; a trailing '/'
// is ignored. Without a port, defaultPort is taken; 0 makes the port
// compulsory. Answers false with a message that quotes text.
HOST_API bool SplitHostPort(const std::string& text, int defaultPort, std::string& host, int& port,
                            std::string& error);

// The port type text of an IP port is its address: non-zero for an IPv4 or
// IPv6 address in numeric form.
HOST_API int isValidIpAddress(const std::wstring& text);

// The numeric text of host's first address ("192.0.2.10", "::1"); host
// itself when it is one. Empty with a message when it cannot be resolved,
// or when the lookup takes longer than timeoutSeconds or stopFd (if >= 0)
// turns readable (*stopped then tells the stop apart).
HOST_API std::string ResolveHost(const std::string& host, std::string& error, double timeoutSeconds = 10,
                                 int stopFd = -1, bool* stopped = nullptr);

// The resolver the lookups call, getaddrinfo unless a test puts a stand-in
// in its place (whose lists freeaddrinfo must free). A name is looked up
// on a detached thread that owns its copies, so that a resolver that hangs
// holds that thread, never the caller: the caller gives up at its deadline
// or stop. Numeric addresses are never looked up. Answers the previous one.
using HostLookupFunction = int (*)(const char* host, const char* service, const addrinfo* hints, addrinfo** result);
HOST_API HostLookupFunction SetHostLookup(HostLookupFunction lookup);

// getaddrinfo within timeoutSeconds and until stopFd (if >= 0) turns
// readable: 0 with *result (freeaddrinfo frees it), else a getaddrinfo
// error, kLookupTimedOut or kLookupStopped.
inline constexpr int kLookupTimedOut = -10001, kLookupStopped = -10002;
HOST_API int LookupHost(const std::string& host, const std::string& service, const addrinfo& hints,
                        double timeoutSeconds, int stopFd, addrinfo** result);
// Why a lookup of host failed, for a message.
HOST_API std::string LookupError(int code, const std::string& host, double timeoutSeconds);

// Connects to host:port (every address it resolves to, in turn) and answers
// a connected non-blocking socket, or -1 with a message naming
// "socket://host:port". Gives up after timeoutSeconds in all, or at once
// when stopFd (if >= 0) turns readable; *stopped then tells the stop apart.
HOST_API int ConnectTcp(const std::string& host, int port, double timeoutSeconds, int stopFd, std::string& error,
                        bool* stopped = nullptr);

// "socket://host:port", with brackets around an IPv6 address.
HOST_API std::string SocketUri(const std::string& host, int port);

// Seconds on a steady clock.
HOST_API double MonotonicSeconds();
