#pragma once

#include <QString>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conn/text_codec.h"
#include "transfer/kanji_converter.h"

namespace dbk {

// The work file that rows are opened from in the desktop's spreadsheet: every value in
// double quotes followed by a comma (so every line ends with a comma), lines ending in a line
// feed. A quote inside a value is doubled, so the spreadsheet reads the value back as it was.
// The file is Shift_JIS: values of a UTF-8 session are written in it, and a character it lacks
// becomes "?" (the values that had one are counted).
class TempCsvWriter {
public:
    static constexpr const char* kFileName = "TEMP.CSV";

    // Creates (truncates) the file; false when it cannot be created. `values`: the encoding of
    // the values to come.
    bool open(const QString& path, ServerEncoding values);
    void writeLine(const std::vector<std::optional<std::string>>& values);
    void writeLine(const std::vector<std::string>& values);
    // Flushes and closes; false when something could not be written.
    bool close();
    // Values that held a character Shift_JIS lacks.
    unsigned long long unmappableValues() const { return unmappable_; }

    // One line as it is written.
    static std::string line(const std::vector<std::optional<std::string>>& values);

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    bool failed_ = false;
    ServerEncoding values_ = ServerEncoding::ShiftJis;
    std::unique_ptr<ShiftJisEncoder> encoder_;  // for UTF-8 values
    std::vector<std::optional<std::string>> converted_;
    unsigned long long unmappable_ = 0;
};

}  // namespace dbk
