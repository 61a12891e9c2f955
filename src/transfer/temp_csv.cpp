#include "transfer/temp_csv.h"

#include <QFile>

namespace dbk {

bool TempCsvWriter::open(const QString& path, ServerEncoding values) {
    file_.reset(std::fopen(QFile::encodeName(path).constData(), "wb"));
    failed_ = false;
    values_ = values;
    unmappable_ = 0;
    if (values_ == ServerEncoding::Utf8 && !encoder_)
        encoder_ = std::make_unique<ShiftJisEncoder>();
    return file_ != nullptr;
}

std::string TempCsvWriter::line(const std::vector<std::optional<std::string>>& values) {
    std::string out;
    for (const auto& value : values) {
        out += '"';
        if (value) {
            for (char c : *value) {
                if (c == '"')
                    out += '"';
                out += c;
            }
        }
        out += "\",";
    }
    out += '\n';
    return out;
}

void TempCsvWriter::writeLine(const std::vector<std::optional<std::string>>& values) {
    if (!file_)
        return;
    const std::vector<std::optional<std::string>>* shown = &values;
    if (values_ == ServerEncoding::Utf8) {
        converted_.resize(values.size());
        for (size_t i = 0; i < values.size(); ++i) {
            converted_[i].reset();
            if (!values[i])
                continue;
            converted_[i].emplace();
            if (encoder_->appendUtf8(*values[i], *converted_[i]) > 0)
                ++unmappable_;
        }
        shown = &converted_;
    }
    const std::string text = line(*shown);
    if (std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size())
        failed_ = true;
}

void TempCsvWriter::writeLine(const std::vector<std::string>& values) {
    writeLine(std::vector<std::optional<std::string>>(values.begin(), values.end()));
}

bool TempCsvWriter::close() {
    if (!file_)
        return false;
    const bool ok = std::fflush(file_.get()) == 0 && !failed_;
    file_.reset();
    return ok;
}

}  // namespace dbk
