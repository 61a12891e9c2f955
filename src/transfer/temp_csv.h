#pragma once

#include <QString>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dbk {

// The work file that rows are opened from in the desktop's spreadsheet: every value in
// double quotes followed by a comma (so every line ends with a comma), lines ending in a line
// feed. A quote inside a value is doubled, so the spreadsheet reads the value back as it was.
class TempCsvWriter {
public:
    static constexpr const char* kFileName = "TEMP.CSV";

    // Creates (truncates) the file; false when it cannot be created.
    bool open(const QString& path);
    void writeLine(const std::vector<std::optional<std::string>>& values);
    void writeLine(const std::vector<std::string>& values);
    // Flushes and closes; false when something could not be written.
    bool close();

    // One line as it is written.
    static std::string line(const std::vector<std::optional<std::string>>& values);

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    bool failed_ = false;
};

}  // namespace dbk
