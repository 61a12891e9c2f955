#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string_view>

#include "transfer/kanji_converter.h"

namespace dbk {

// Converts a text file to Shift_JIS (CP932) into another file, which it replaces, line by line
// with the converter's options. The code of the source is recognised over the whole file, so
// that every line is read in the same code. False when either file cannot be opened or the
// destination cannot be written completely. `unconverted`, when given, counts the characters that
// became "?" (undecodable, or not in Shift_JIS).
// The code a text file is written in, recognised over the whole file as the conversion does;
// nullopt when the file cannot be read.
std::optional<KanjiCode> recogniseKanjiFile(const QString& path, KanjiCode assumed = KanjiCode::ShiftJis);

bool convertKanjiFile(const QString& source, const QString& destination, std::string_view options,
                      uint64_t* unconverted = nullptr);

}  // namespace dbk
