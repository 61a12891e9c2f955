#include "conn/session.h"

namespace dbk {

Session::Session(Connection connection) : connection_(std::move(connection)) {
    if (connection_.isOpen())
        generation_ = ServerGeneration::probe(connection_);
}

bool Session::open(const ConnectParams& params) {
    generation_ = ServerGeneration();
    if (!connection_.open(params))
        return false;
    generation_ = ServerGeneration::probe(connection_);
    return true;
}

void Session::close() {
    connection_.close();
    generation_ = ServerGeneration();
}

}  // namespace dbk
