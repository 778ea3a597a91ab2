// Printer addresses on the network and connecting to them, shared by the
// job sink (rasterjob --device) and the printer ports.
#pragma once

#include <string>

#include "HostApi.h"

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
// itself when it is one. Empty with a message when it cannot be resolved.
HOST_API std::string ResolveHost(const std::string& host, std::string& error);

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
