#include "conn/character_set_scope.h"

#include "conn/connection.h"

namespace dbk {

CharacterSetScope::CharacterSetScope(Connection& connection, std::string_view characterSet)
    : connection_(connection), previous_(connection.characterSetName()) {
    switched_ = !previous_.empty() && connection_.setCharacterSet(characterSet);
}

CharacterSetScope::~CharacterSetScope() {
    // A server that went away meanwhile cannot be told; the session is over then anyway.
    if (switched_)
        connection_.setCharacterSet(previous_);
}

}  // namespace dbk
