#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/messages.h"

namespace dbk {

class Connection;

// A server variable and its value as the server writes it.
struct ServerVariable {
    std::string name;
    std::string value;
};

// SHOW VARIABLES sorted by name (byte order); empty when the server refuses it.
std::vector<ServerVariable> readServerVariables(Connection& connection);

// The variables the program explains, in the order they are compared.
std::vector<std::string_view> explainedVariables();

// The one-line explanation of a variable in the interface language: the first entry whose
// name equals it exactly (case counts), else the text for an unknown variable.
QString variableExplanation(std::string_view name, Language language);
QString unknownVariableExplanation(Language language);

}  // namespace dbk
