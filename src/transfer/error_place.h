#pragma once

#include <QString>
#include <optional>

namespace dbk {

// The part of a statement a server error names ("... near 'x' at line N"): its first
// character and length, counted in the statement's characters.
struct ErrorPlace {
    int start = 0;
    int length = 0;
};

// Where in `statement` the error `error` points: the word the quoted text begins with, on the
// line it names (lines counted from the statement's start). A quote of nothing ("near ''")
// points at the statement's last word. nullopt when the message names no place, or names one
// the statement does not have.
std::optional<ErrorPlace> errorPlace(const QString& statement, const QString& error);

}  // namespace dbk
