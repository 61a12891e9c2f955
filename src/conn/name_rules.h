#pragma once

#include <QString>

namespace dbk {

// Folder and host names are stored in the folder file as one blank-delimited word of at most
// 19 bytes; a name that breaks this would not come back after a reload. Returns the message
// that explains what is wrong, or "" for a good name.
QString folderFileNameProblem(const QString& name);

// The port as typed: digits only, 0 to 65535 (0 is the client library's default port).
QString portProblem(const QString& port);

}  // namespace dbk
