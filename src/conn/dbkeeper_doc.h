#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "app/status_panes.h"
#include "conn/host_security.h"
#include "conn/session.h"

namespace dbk {

// The four texts the login form hands over, and how the connection is protected.
struct LoginValues {
    QString user;
    QString password;
    QString host;
    QString port;
    HostSecurity security;
};

// Shows the login form with the preset values; nullopt when it was cancelled.
using LoginPrompt = std::function<std::optional<LoginValues>(const LoginValues& preset)>;

// What the tree selected last; every pane and form reads it. Strings are bytes in the
// session's character set.
struct DocumentContext {
    std::string currentTable;  // "" when no table is selected
    std::string currentDatabase;
    int nodeImage = 0;
    std::string nodeText;
    int treeReady = 0;
    int displayMode = 0;
    int filterFlag = 0;
    long long recordCount = 0;
    int pageIndex = 0;
    int rowsPerPage = 100;

    // Nothing is selected any more (the tree was cleared or the session lost); the page
    // length stays.
    void forgetSelection() {
        DocumentContext fresh;
        fresh.treeReady = treeReady;
        fresh.rowsPerPage = rowsPerPage;
        *this = std::move(fresh);
    }
};

// Owns the one server connection of the run and the current context.
class CDbkeeperDoc {
public:
    enum ConnectOutcome { kAdministrator = 0, kNotConnected = -1, kNormalUser = -2 };
    enum class KeepAlive { Alive, Skipped, Lost };

    static constexpr int kDefaultPort = 3306;

    CDbkeeperDoc();
    CDbkeeperDoc(const CDbkeeperDoc&) = delete;
    CDbkeeperDoc& operator=(const CDbkeeperDoc&) = delete;

    void setLoginPrompt(LoginPrompt prompt) { loginPrompt_ = std::move(prompt); }
    // The status bar to write to; the document keeps its own record when none is set.
    void setStatusPanes(StatusPanes* panes) { statusPanes_ = panes ? panes : &ownPanes_; }
    StatusPanes& statusPanes() { return *statusPanes_; }

    // Shows the login form and connects: 0 administrator, -2 normal user, -1 not connected.
    int connect();
    // The server character set ("" when unreadable), and the warning shown when that set
    // cannot hold Japanese text (the session's set named beside it).
    std::string readServerCharacterSet();
    static bool charsetGarbles(std::string_view serverCharset) { return !holdsJapanese(serverCharset); }
    static QString garblingWarning(std::string_view serverCharset, std::string_view sessionCharset);
    // Pings the server; on a lost session shows "Database session terminated." and returns
    // Lost. Skipped while a long operation has the connection.
    KeepAlive keepAliveTick();

    Session& session() { return session_; }
    const Session& session() const { return session_; }
    Connection& connection() { return session_.connection(); }
    const ServerGeneration& generation() const { return session_.generation(); }
    DocumentContext& context() { return context_; }
    const DocumentContext& context() const { return context_; }

    int adminFlag() const { return adminFlag_; }
    const std::string& host() const { return host_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    const std::string& port() const { return port_; }
    const std::string& startupDirectory() const { return startupDirectory_; }

    // The port as a number; 0 (the client library's default) when the text is not one.
    static unsigned int portNumber(std::string_view text);

private:
    void enterStartupDirectory();
    // The host pane says whether the connection is encrypted; its tooltip names the cipher.
    void showEncryption();

    DocumentContext context_;
    int adminFlag_ = 0;
    std::string port_;
    std::string host_;
    std::string password_;
    std::string user_;
    Session session_;
    std::string startupDirectory_;
    LoginPrompt loginPrompt_;
    RecordingStatusPanes ownPanes_;
    StatusPanes* statusPanes_ = &ownPanes_;
};

}  // namespace dbk
