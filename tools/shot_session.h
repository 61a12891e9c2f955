#pragma once

// The start the form-shot tools share: "PROGRAM HOST PORT USER PASSWORD SECONDS" on the command
// line, a session opened with them.

#include <cstdio>
#include <cstdlib>

#include "conn/session.h"

namespace shot {

// Opens `session` from the command line; 0 when it is open, else the exit status, after saying why.
inline int openSession(dbk::Session& session, int argc, char** argv, const char* program) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD SECONDS\n", program);
        return 2;
    }
    dbk::ConnectParams params;
    params.host = argv[1];
    params.port = static_cast<unsigned>(std::atoi(argv[2]));
    params.user = argv[3];
    params.password = argv[4];
    if (!session.open(params)) {
        std::fprintf(stderr, "%s: %s\n", program, session.connection().errorLine().c_str());
        return 1;
    }
    return 0;
}

// How long the form stays up, in milliseconds.
inline int showMilliseconds(char** argv) {
    return std::atoi(argv[5]) * 1000;
}

}  // namespace shot
