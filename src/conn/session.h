#pragma once

#include "conn/connection.h"
#include "conn/server_generation.h"

namespace dbk {

// A server session as the forms get it: the connection and what its server is. The
// generation is probed once when the session opens, so a second session (another server)
// knows its own server.
class Session {
public:
    Session() = default;
    // Takes over an open connection and probes its server.
    explicit Session(Connection connection);
    Session(Session&&) noexcept = default;
    Session& operator=(Session&&) noexcept = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Connects and probes; false (see the connection's error) when the connect fails.
    bool open(const ConnectParams& params);
    void close();
    bool isOpen() const { return connection_.isOpen(); }

    Connection& connection() { return connection_; }
    const Connection& connection() const { return connection_; }
    const ServerGeneration& generation() const { return generation_; }

private:
    Connection connection_;
    ServerGeneration generation_;
};

}  // namespace dbk
