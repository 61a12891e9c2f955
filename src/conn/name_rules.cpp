#include "conn/name_rules.h"

#include "app/messages.h"
#include "conn/dbkeeper_doc.h"
#include "conn/folder_file.h"
#include "conn/text_codec.h"

namespace dbk {

QString folderFileNameProblem(const QString& name) {
    if (name.isEmpty() || std::any_of(name.begin(), name.end(), [](QChar c) { return c.isSpace(); })) {
        return msg(20002);
    }
    // The name is kept in Shift_JIS files: a character they cannot hold is refused, not altered.
    if (!fitsShiftJis(name))
        return msgf(22401, name);
    if (toShiftJis(name).size() > folder_file::kTextBytes)
        return msg(20003);
    return {};
}

QString portProblem(const QString& port) {
    const std::string text = toShiftJis(port.trimmed());
    const bool digits = !text.empty() && text.size() <= 5 &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || (text != "0" && CDbkeeperDoc::portNumber(text) == 0))
        return msg(20001);
    return {};
}

}  // namespace dbk
