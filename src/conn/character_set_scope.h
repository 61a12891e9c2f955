#pragma once

#include <string>
#include <string_view>

namespace dbk {

class Connection;

// Switches a connection to another character set (SET NAMES through the client library) for the
// lifetime of the scope and puts the one it had back at the end, however the scope is left.
// When the switch fails (an old server that lacks the set) the connection stays as it was.
class CharacterSetScope {
public:
    CharacterSetScope(Connection& connection, std::string_view characterSet);
    ~CharacterSetScope();
    CharacterSetScope(const CharacterSetScope&) = delete;
    CharacterSetScope& operator=(const CharacterSetScope&) = delete;

    bool switched() const { return switched_; }
    // The character set the connection had and gets back.
    const std::string& previous() const { return previous_; }

private:
    Connection& connection_;
    std::string previous_;
    bool switched_ = false;
};

}  // namespace dbk
