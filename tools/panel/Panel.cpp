#include "tools/panel/Panel.h"

#include <arpa/inet.h>
#include <sys/random.h>

#include <cwchar>
#include <map>
#include <mutex>
#include <tuple>

#include <httplib.h>

#include "entry/ModelTable.h"
#include "host/FileIO.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "tools/common/Json.h"
#include "tools/common/Sha256.h"
#include "tools/common/PrinterDefinitions.h"
#include "tools/panel/OkExchange.h"
#include "tools/panel/Retrieval.h"
#include "ui/PageHtml.h"
#include "ui/PageSession.h"

namespace panel {

extern const char* const kPanelJs;
extern const char* const kPanelCss;
// The tab icon: a print head over a sheet.
const char* const kFavicon = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 16 16\">"
                             "<rect x=\"3\" y=\"6\" width=\"10\" height=\"9\" fill=\"#fff\" stroke=\"#345\"/>"
                             "<rect x=\"1\" y=\"2\" width=\"14\" height=\"5\" rx=\"1\" fill=\"#345\"/></svg>";

using mimaki::ui::Catalogue;
using mimaki::ui::HtmlEscape;
using mimaki::ui::PageError;
using mimaki::ui::PageSession;
using mimaki::ui::UrlEncode;

namespace {

bool ConstantTimeEqual(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

std::string RandomToken()
{
    unsigned char bytes[32];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n > 0)
            got += static_cast<std::size_t>(n);
    }
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (const unsigned char b : bytes)
        out += hex[b >> 4], out += hex[b & 15];
    return out;
}

// The last value of each posted field (a check box posts its hidden 0
// before its 1).
std::map<std::string, std::string> Fields(const httplib::Request& req)
{
    std::map<std::string, std::string> out;
    for (const auto& [k, v] : req.params)
        out[k] = v;
    return out;
}

bool WantsJson(const httplib::Request& req)
{
    return req.get_header_value("Accept").find("application/json") != std::string::npos;
}

std::string Document(const Catalogue& lang, const std::string& base, const std::string& assetQuery,
                     const std::string& title, const std::string& body)
{
    return "<!DOCTYPE html>\n<html lang=\"" + std::string(lang.Lang()) +
           "\"><head><meta charset=\"utf-8\"><meta name=\"viewport\" content=\"width=device-width\"><title>" +
           HtmlEscape(title) + "</title>" + mimaki::ui::HeadLinks(base, assetQuery, false) +
           "</head>\n<body><nav><a href=\"" + HtmlEscape(base) + "/\">" +
           HtmlEscape(lang.Text("Printers")) + "</a></nav><h1>" + HtmlEscape(title) + "</h1>\n" + body +
           "</body></html>\n";
}

// A message of the retrieval in the page's language: its string-table
// text, then what the failure report added (the port's messages).
std::string TranslatedMessage(const Catalogue& lang, int id, const std::wstring& text)
{
    const wchar_t* english = RetrieveMessageText(id);
    const std::size_t length = english ? std::wcslen(english) : 0;
    if (!english || text.compare(0, length, english) != 0 || lang.Id(id).empty())
        return WideToUtf8(text);
    return lang.Id(id) + WideToUtf8(text.substr(length));
}

} // namespace

bool IsLoopback(const std::string& host)
{
    if (host == "localhost" || host == "::1")
        return true;
    in_addr a{};
    return inet_pton(AF_INET, host.c_str(), &a) == 1 && (ntohl(a.s_addr) >> 24) == 127;
}

bool ParseArgs(const std::vector<std::string>& args, Options& o, std::string& error)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        if (a == "--settings") {
            if (!value(o.settings))
                return false;
        } else if (a == "--listen") {
            std::string v;
            if (!value(v))
                return false;
            const std::size_t colon = v.rfind(':');
            std::string host = colon == std::string::npos ? v : v.substr(0, colon);
            const std::string port = colon == std::string::npos ? "" : v.substr(colon + 1);
            if (host.size() > 2 && host.front() == '[' && host.back() == ']')
                host = host.substr(1, host.size() - 2);
            char* end = nullptr;
            const long p = port.empty() ? -1 : std::strtol(port.c_str(), &end, 10);
            if (p < 0 || p > 65535 || (end && *end)) {
                error = "--listen takes HOST:PORT (port 0 to 65535), not " + v;
                return false;
            }
            if (!IsLoopback(host)) {
                error = "--listen takes a loopback address (127.0.0.1, ::1 or localhost), not " + host +
                        ": the panel changes printer settings and is not for the network";
                return false;
            }
            o.host = host == "localhost" ? "127.0.0.1" : host;
            o.port = static_cast<int>(p);
        } else if (a == "--max-body") {
            std::string v;
            if (!value(v))
                return false;
            o.maxBody = static_cast<std::size_t>(std::strtoul(v.c_str(), nullptr, 10));
        } else {
            error = "unknown argument " + a;
            return false;
        }
    }
    if (o.settings.empty()) {
        error = "--settings FILE.ini is required";
        return false;
    }
    return true;
}

struct Server::Impl {
    Impl()
        : retrievals([this](const std::string& printer, const CPrintEnv& before, const CPrintEnv& after,
                            std::string& revisionBefore, std::string& revisionAfter, std::string& error) {
              return StoreRetrieval(printer, before, after, revisionBefore, revisionAfter, error);
          })
    {
    }
    Options options;
    httplib::Server http;
    std::string token;
    std::string base; // "/t/<token>"
    std::string assetQuery; // "?v=" and the digest of the static files
    int port = 0;
    std::mutex store; // one reader or writer of the file at a time

    // The printer's section of ini replaced by env's entries, the file
    // written atomically; the digest of the file as written.
    bool WriteSection(CIniFile& ini, const CPrintEnv& env, std::string& revision, std::string& error)
    {
        ini.Get(env.Name()).entries = env.Values();
        std::string text;
        if (!ini.Format(text, error) || !WriteFileAtomically(options.settings, text, error))
            return false;
        revision = Sha256::ToHex(Sha256::Hash(text));
        return true;
    }

    // What a retrieval changed in its copy of the printer's settings, applied
    // to the section as the file holds it now.
    bool StoreRetrieval(const std::string& printer, const CPrintEnv& before, const CPrintEnv& after,
                        std::string& revisionBefore, std::string& revisionAfter, std::string& error)
    {
        std::lock_guard lock(store);
        CIniFile ini;
        if (!ReadStore(ini, revisionBefore, error))
            return false;
        const CIniFile::Section* section = ini.Find(Utf8ToWide(printer));
        if (!section) {
            error = "the printer " + printer + " is no longer in " + options.settings;
            return false;
        }
        CPrintEnv env(section->name);
        for (const auto& [k, v] : section->entries)
            env.PutString(k.c_str(), v);
        panel::ApplyChanges(before, after, env);
        return WriteSection(ini, env, revisionAfter, error);
    }

    // The store as read now, with its digest; false with the reader's
    // message (file and line).
    bool ReadStore(CIniFile& ini, std::string& revision, std::string& error)
    {
        std::string bytes;
        if (!ReadWholeFile(options.settings, bytes, error))
            return false;
        revision = Sha256::ToHex(Sha256::Hash(bytes));
        return ini.Parse(bytes, options.settings, error);
    }

    std::string HostPort(const std::string& host) const
    {
        return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port);
    }

    bool AllowedHost(const std::string& value) const
    {
        for (const std::string& h : {options.host, std::string("127.0.0.1"), std::string("localhost"),
                                    std::string("::1")})
            if (value == HostPort(h))
                return true;
        return false;
    }

    void Headers(httplib::Response& res) const
    {
        res.set_header("Content-Security-Policy",
                       "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self'; "
                       "frame-ancestors 'none'; form-action 'self'; base-uri 'none'");
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("X-Frame-Options", "DENY");
        res.set_header("Referrer-Policy", "no-referrer");
        res.set_header("Cache-Control", "no-store");
    }

    httplib::Server::HandlerResponse Guard(const httplib::Request& req, httplib::Response& res)
    {
        Headers(res);
        const auto refuse = [&](int status, const std::string& why) {
            res.status = status;
            res.set_content(why + "\n", "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        };
        // Another host name is a page that rebound its name to this address.
        if (!AllowedHost(req.get_header_value("Host")))
            return refuse(403, "refused: unknown host name");
        const std::string origin = req.get_header_value("Origin");
        if (!origin.empty() && (origin.rfind("http://", 0) != 0 || !AllowedHost(origin.substr(7))))
            return refuse(403, "refused: request from another origin");
        if (req.method != "GET" && req.method != "POST" && req.method != "HEAD")
            return refuse(405, "method not allowed");
        const std::string prefix = "/t/";
        if (req.path.size() < prefix.size() + token.size() + 1 || req.path.compare(0, prefix.size(), prefix) != 0 ||
            !ConstantTimeEqual(req.path.substr(prefix.size(), token.size()), token) ||
            req.path[prefix.size() + token.size()] != '/')
            return refuse(403, "refused: the URL lacks the panel's token (see the first line mimaki-panel printed)");
        return httplib::Server::HandlerResponse::Unhandled;
    }

    const Catalogue& Lang(const httplib::Request& req) const
    {
        return Catalogue::ForAcceptLanguage(req.get_header_value("Accept-Language"));
    }

    void StoreError(const httplib::Request& req, httplib::Response& res, const std::string& error)
    {
        const Catalogue& lang = Lang(req);
        res.status = 500;
        if (WantsJson(req))
            return res.set_content("{\"error\":" + JsonString(error) + "}", "application/json");
        res.set_content(Document(lang, base, assetQuery, lang.Text("The settings file cannot be used"),
                                 "<p class=\"error\" role=\"alert\">" + HtmlEscape(error) + "</p>"),
                        "text/html; charset=utf-8");
    }

    void NotFound(const httplib::Request& req, httplib::Response& res, const std::string& text)
    {
        const Catalogue& lang = Lang(req);
        res.status = 404;
        if (WantsJson(req))
            return res.set_content("{\"error\":" + JsonString(text) + "}", "application/json");
        res.set_content(Document(lang, base, assetQuery, lang.Text("Not found"), "<p class=\"error\" role=\"alert\">" +
                                                                         HtmlEscape(text) + "</p>"),
                        "text/html; charset=utf-8");
    }

    void List(const httplib::Request& req, httplib::Response& res)
    {
        std::lock_guard lock(store);
        CIniFile ini;
        std::string revision, error;
        if (!ReadStore(ini, revision, error))
            return StoreError(req, res, error);
        const Catalogue& lang = Lang(req);
        if (WantsJson(req)) {
            std::string json = "{\"revision\":" + JsonString(revision) + ",\"printers\":[";
            for (std::size_t i = 0; i < ini.sections.size(); ++i) {
                CPrintEnv env;
                for (const auto& [k, v] : ini.sections[i].entries)
                    env.PutString(k.c_str(), v);
                const int uid = env.GetInt(PrEnv_UID);
                json += std::string(i ? "," : "") + "{\"name\":" + JsonString(WideToUtf8(ini.sections[i].name)) +
                        ",\"uid\":" + std::to_string(uid) + ",\"model\":" +
                        JsonString(mimaki::FindModel(uid).model) + "}";
            }
            return res.set_content(json + "]}", "application/json");
        }
        std::string body = "<p>" + HtmlEscape(options.settings) + "</p><table class=\"printers\"><thead><tr><th scope=\"col\">" +
                           HtmlEscape(lang.Text("Printer")) + "</th><th scope=\"col\">UID</th><th scope=\"col\">" +
                           HtmlEscape(lang.Text("Model")) + "</th></tr></thead><tbody>";
        for (const CIniFile::Section& s : ini.sections) {
            CPrintEnv env;
            for (const auto& [k, v] : s.entries)
                env.PutString(k.c_str(), v);
            const int uid = env.GetInt(PrEnv_UID);
            const std::string name = WideToUtf8(s.name);
            body += "<tr><td><a href=\"" + HtmlEscape(base + "/printer?p=" + UrlEncode(name)) + "\">" +
                    HtmlEscape(name) + "</a></td><td>" + std::to_string(uid) + "</td><td>" +
                    HtmlEscape(mimaki::FindModel(uid).model) + "</td></tr>";
        }
        body += "</tbody></table>";
        res.set_content(Document(lang, base, assetQuery, lang.Text("Printers"), body), "text/html; charset=utf-8");
    }

    // The page of a section with the model's definition keys the host
    // supplies with every printer (never written back).
    static bool OpenSession(const CIniFile::Section& section, const Catalogue& lang, PageSession& session,
                            std::string& error)
    {
        return session.Open(section, lang, error, [](CPrintEnv& env, int uid) { return printerdefs::Apply(env, uid); });
    }

    // Opens the printer named by ?p= of the store as read now.
    bool OpenPrinter(const httplib::Request& req, httplib::Response& res, CIniFile& ini, PageSession& session,
                     std::string& revision)
    {
        std::string error;
        if (!ReadStore(ini, revision, error)) {
            StoreError(req, res, error);
            return false;
        }
        const std::string name = req.get_param_value("p");
        const CIniFile::Section* section = ini.Find(Utf8ToWide(name));
        if (!section) {
            NotFound(req, res, Lang(req).Text("No printer of this name in the settings file:") + " " + name);
            return false;
        }
        if (!OpenSession(*section, Lang(req), session, error)) {
            NotFound(req, res, error);
            return false;
        }
        return true;
    }

    mimaki::ui::PageContext Context(const PageSession& s, const std::string& revision) const
    {
        const std::string printer = WideToUtf8(s.env.Name());
        return {base, printer, s.model, revision, {}, assetQuery, {},
                mimaki::FindCheckingPage(s.uid & 255, s.env) ? base + "/api/ok/abort?p=" + UrlEncode(printer) : ""};
    }

    void ShowPage(const httplib::Request& req, httplib::Response& res)
    {
        std::lock_guard lock(store);
        CIniFile ini;
        PageSession session;
        std::string revision;
        if (!OpenPrinter(req, res, ini, session, revision))
            return;
        if (WantsJson(req))
            return res.set_content(StateJson(session, revision), "application/json");
        mimaki::ui::PageContext ctx = Context(session, revision);
        if (req.has_param("saved")) {
            ctx.notices.push_back(session.page->Lang().Text("The settings were saved."));
            ctx.warnings = okChecks.Take(WideToUtf8(session.env.Name()), session.page->Lang());
        }
        res.set_content(mimaki::ui::RenderPage(*session.page, ctx, nullptr), "text/html; charset=utf-8");
    }

    std::string StateJson(PageSession& s, const std::string& revision) const
    {
        std::string json = "{\"printer\":" + JsonString(WideToUtf8(s.env.Name())) + ",\"uid\":" +
                           std::to_string(s.uid) + ",\"class\":" + JsonString(s.parmsClass) + ",\"page\":" +
                           JsonString(s.page->Desc().pageClass) + ",\"dialog\":" +
                           std::to_string(s.page->DialogId()) + ",\"revision\":" + JsonString(revision) +
                           ",\"printMethod\":" + JsonString(WideToUtf8(s.page->PrintMethod())) +
                           ",\"queries\":" + mimaki::ui::QueriesJson(*s.page) + ",\"values\":{";
        // Each bound control's value, and the record field it binds to (for
        // scripts).
        std::string values, fields;
        for (const mimaki::ui::Slot& slot : s.page->Slots())
            if (!slot.field.empty()) {
                const char* sep = values.empty() ? "" : ",";
                values.append(sep).append(JsonString(slot.name)).append(":").append(std::to_string(slot.value));
                fields.append(sep).append(JsonString(slot.name)).append(":").append(JsonString(WideToUtf8(slot.field)));
            }
        json += values + "},\"fields\":{" + fields + "},\"messages\":[";
        for (std::size_t i = 0; i < s.page->Messages().size(); ++i)
            json += std::string(i ? "," : "") + JsonString(s.page->Messages()[i]);
        return json + "]}";
    }

    void Ok(const httplib::Request& req, httplib::Response& res)
    {
        std::unique_lock lock(store);
        CIniFile ini;
        PageSession session;
        std::string revision;
        if (!OpenPrinter(req, res, ini, session, revision))
            return;
        const auto posted = Fields(req);
        const Catalogue& lang = session.page->Lang();
        const auto it = posted.find("revision");
        if (it == posted.end() || it->second != revision) {
            // Someone else wrote the file: their settings stay, the page reloads.
            const std::string msg = lang.Text("The settings file changed on disk; the page is loaded again.");
            res.status = 409;
            if (WantsJson(req))
                return res.set_content("{\"ok\":false,\"conflict\":true,\"message\":" + JsonString(msg) + "}",
                                       "application/json");
            mimaki::ui::PageContext ctx = Context(session, revision);
            ctx.notices.push_back(msg);
            return res.set_content(mimaki::ui::RenderPage(*session.page, ctx, nullptr), "text/html; charset=utf-8");
        }
        PageError error;
        if (!session.Ok(posted, error)) {
            res.status = 422;
            if (WantsJson(req))
                return res.set_content("{\"ok\":false,\"slot\":" + JsonString(error.slot) +
                                           ",\"message\":" + JsonString(error.message) + "}",
                                       "application/json");
            return res.set_content(mimaki::ui::RenderPage(*session.page, Context(session, revision), &error),
                                   "text/html; charset=utf-8");
        }
        std::string newRevision, writeError;
        if (!WriteSection(ini, session.Section(), newRevision, writeError))
            return StoreError(req, res, writeError);
        lock.unlock();
        const std::string check = okChecks.Run(WideToUtf8(session.env.Name()), session.uid, session.env,
                                               options.portTimeouts, lang);
        if (WantsJson(req))
            return res.set_content("{\"ok\":true,\"revision\":" + JsonString(newRevision) + check + "}",
                                   "application/json");
        res.set_redirect(base + "/printer?p=" + UrlEncode(WideToUtf8(session.env.Name())) + "&saved=1", 303);
    }

    // The host queries from the values of the form as it stands.
    void Query(const httplib::Request& req, httplib::Response& res)
    {
        std::lock_guard lock(store);
        CIniFile ini;
        PageSession session;
        std::string revision;
        if (!OpenPrinter(req, res, ini, session, revision))
            return;
        PageError error;
        if (!session.page->Exchange(Fields(req), error)) {
            res.status = 422;
            return res.set_content("{\"slot\":" + JsonString(error.slot) + ",\"message\":" +
                                       JsonString(error.message) + "}",
                                   "application/json");
        }
        res.set_content(mimaki::ui::QueriesJson(*session.page), "application/json");
    }

    // The retrieve buttons: POST api/retrieve?p=NAME (mode=0 dot volumes,
    // 1 print modes; the page's revision) starts, GET api/retrieve?id=ID
    // tells how far it is, POST api/retrieve/abort?id=ID aborts.
    void StartRetrieval(const httplib::Request& req, httplib::Response& res)
    {
        std::lock_guard lock(store);
        CIniFile ini;
        PageSession session;
        std::string revision;
        if (!OpenPrinter(req, res, ini, session, revision))
            return;
        const auto fail = [&](int status, const std::string& message) {
            res.status = status;
            res.set_content("{\"error\":" + JsonString(message) + "}", "application/json");
        };
        const std::string mode = req.get_param_value("mode");
        if (mode != "0" && mode != "1")
            return fail(422, "mode is 0 (dot volumes) or 1 (print modes), not '" + mode + "'");
        mimaki::RetrievalTarget target;
        std::string error, id;
        if (!mimaki::FindRetrievalTarget(session.uid & 255, session.env, std::stoi(mode), target, error))
            return fail(422, error);
        RetrieveOptions retrieveOptions;
        retrieveOptions.timeouts = options.portTimeouts;
        if (!retrievals.Start(WideToUtf8(session.env.Name()), session.env, target, std::stoi(mode),
                              req.get_param_value("revision"), retrieveOptions, id, error))
            return fail(409, error);
        res.status = 202;
        res.set_content("{\"id\":" + JsonString(id) + "}", "application/json");
    }

    void RetrievalStatus(const httplib::Request& req, httplib::Response& res)
    {
        RetrievalState state;
        if (!retrievals.State(req.get_param_value("id"), state)) {
            res.status = 404;
            return res.set_content("{\"error\":\"no such retrieval\"}", "application/json");
        }
        const Catalogue& lang = Lang(req);
        std::string json = "{\"running\":" + std::string(state.running ? "true" : "false") +
                           ",\"success\":" + (state.success ? "true" : "false") +
                           ",\"aborted\":" + (state.aborted ? "true" : "false") +
                           ",\"mode\":" + std::to_string(state.mode) + ",\"received\":" +
                           std::to_string(state.received) + ",\"expected\":" + std::to_string(state.expected) +
                           ",\"messages\":[";
        for (std::size_t i = 0; i < state.messages.size(); ++i)
            json += std::string(i ? "," : "") + "{\"id\":" + std::to_string(state.messages[i].first) +
                    ",\"text\":" + JsonString(TranslatedMessage(lang, state.messages[i].first,
                                                                  state.messages[i].second)) + "}";
        json += "],\"portMessages\":[";
        for (std::size_t i = 0; i < state.portMessages.size(); ++i)
            json += std::string(i ? "," : "") + JsonString(WideToUtf8(state.portMessages[i]));
        json += "]";
        if (!state.storeError.empty())
            json += ",\"error\":" + JsonString(lang.Text("The retrieved data could not be stored:") + " " +
                                                state.storeError);
        if (!state.running && state.success) {
            json += ",\"revision\":" + JsonString(state.revision) +
                    ",\"conflict\":" + (state.conflict ? "true" : "false");
            // The page's print modes and queries as the store now gives them.
            std::lock_guard lock(store);
            CIniFile ini;
            PageSession session;
            std::string revision, error;
            const CIniFile::Section* section = nullptr;
            if (ReadStore(ini, revision, error) && (section = ini.Find(Utf8ToWide(state.printer))) &&
                OpenSession(*section, lang, session, error))
                json += ",\"page\":" + mimaki::ui::PrintModesJson(*session.page);
        }
        res.set_content(json + "}", "application/json");
    }

    void AbortRetrieval(const httplib::Request& req, httplib::Response& res)
    {
        if (!retrievals.Abort(req.get_param_value("id"))) {
            res.status = 404;
            return res.set_content("{\"error\":\"no such retrieval\"}", "application/json");
        }
        res.set_content("{\"ok\":true}", "application/json");
    }

    void AbortOkCheck(const httplib::Request& req, httplib::Response& res)
    {
        const std::size_t n = okChecks.Abort(req.get_param_value("p"));
        res.set_content("{\"ok\":true,\"aborted\":" + std::to_string(n) + "}", "application/json");
    }

    OkChecks okChecks;
    // Last: its threads end before the members they use.
    Retrievals retrievals;
};

Server::Server(Options options) : m(std::make_unique<Impl>())
{
    m->options = std::move(options);
    m->token = m->options.token.empty() ? RandomToken() : m->options.token;
    m->base = "/t/" + m->token;
}

Server::~Server() = default;

bool Server::Bind(std::string& error)
{
    httplib::Server& h = m->http;
    Impl* impl = m.get();
    h.set_payload_max_length(m->options.maxBody);
    // Answers go out as written: with Nagle a response's second write waits
    // for the browser's delayed ACK (40 ms on Linux).
    h.set_tcp_nodelay(true);
    // An answer goes out as headers and body in two writes: without
    // no-delay the body would wait for the browser's delayed ACK of the
    // headers (tens of ms on every request of a kept connection).
    h.set_tcp_nodelay(true);
    h.set_keep_alive_max_count(100);
    h.set_pre_routing_handler([impl](const httplib::Request& req, httplib::Response& res) {
        return impl->Guard(req, res);
    });
    const std::string b = m->base;
    h.Get(b + "/", [impl](const httplib::Request& req, httplib::Response& res) { impl->List(req, res); });
    h.Get(b + "/printer", [impl](const httplib::Request& req, httplib::Response& res) { impl->ShowPage(req, res); });
    h.Get(b + "/api/printer",
          [impl](const httplib::Request& req, httplib::Response& res) { impl->ShowPage(req, res); });
    h.Post(b + "/printer", [impl](const httplib::Request& req, httplib::Response& res) { impl->Ok(req, res); });
    h.Post(b + "/api/query", [impl](const httplib::Request& req, httplib::Response& res) { impl->Query(req, res); });
    h.Post(b + "/api/retrieve",
           [impl](const httplib::Request& req, httplib::Response& res) { impl->StartRetrieval(req, res); });
    h.Get(b + "/api/retrieve",
          [impl](const httplib::Request& req, httplib::Response& res) { impl->RetrievalStatus(req, res); });
    h.Post(b + "/api/ok/abort",
           [impl](const httplib::Request& req, httplib::Response& res) { impl->AbortOkCheck(req, res); });
    h.Post(b + "/api/retrieve/abort",
           [impl](const httplib::Request& req, httplib::Response& res) { impl->AbortRetrieval(req, res); });
    // The static files never change while the panel runs and their URLs
    // carry their digest, so the browser keeps them: a page then costs one
    // request.
    m->assetQuery = "?v=" + Sha256::ToHex(Sha256::Hash(std::string(kPanelJs) + kPanelCss + kFavicon)).substr(0, 16);
    for (const auto& [name, content, type] :
         {std::tuple{"panel.js", kPanelJs, "text/javascript; charset=utf-8"},
          std::tuple{"panel.css", kPanelCss, "text/css; charset=utf-8"},
          std::tuple{"favicon.svg", kFavicon, "image/svg+xml"}})
        h.Get(b + "/static/" + name, [content, type](const httplib::Request&, httplib::Response& res) {
            res.headers.erase("Cache-Control");
            res.set_header("Cache-Control", "private, max-age=31536000, immutable");
            res.set_content(content, type);
        });
    h.set_error_handler([impl](const httplib::Request& req, httplib::Response& res) {
        impl->Headers(res);
        if (res.status == 413)
            res.set_content("refused: the request is larger than the panel takes\n", "text/plain; charset=utf-8");
        else if (res.status == 404 && res.body.empty())
            res.set_content("not found\n", "text/plain; charset=utf-8");
        (void)req;
    });
    if (m->options.port == 0) {
        m->port = h.bind_to_any_port(m->options.host);
        if (m->port <= 0) {
            error = "cannot listen on " + m->options.host;
            return false;
        }
    } else {
        if (!h.bind_to_port(m->options.host, m->options.port)) {
            error = "cannot listen on " + m->HostPort(m->options.host) + " (in use?)";
            return false;
        }
        m->port = m->options.port;
    }
    return true;
}

int Server::Port() const { return m->port; }

std::string Server::Url() const { return "http://" + m->HostPort(m->options.host) + m->base + "/"; }

void Server::Run() { m->http.listen_after_bind(); }

void Server::Stop()
{
    m->okChecks.Stop();
    m->http.stop();
    m->retrievals.Shutdown();
}

} // namespace panel
