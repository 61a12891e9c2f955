#pragma once

namespace dbk::cli {

// The command line's own messages (res/strings_*.tsv).
inline constexpr int kNoCommandMessage = 22800;
inline constexpr int kUnknownCommandMessage = 22801;
inline constexpr int kUnknownOptionMessage = 22802;
inline constexpr int kNeedsValueMessage = 22803;
inline constexpr int kNeedsMessage = 22804;
inline constexpr int kEitherMessage = 22805;
inline constexpr int kBadValueMessage = 22806;
inline constexpr int kNoServerMessage = 22807;
inline constexpr int kUsageHintMessage = 22808;
inline constexpr int kNoSavedServerMessage = 22809;
inline constexpr int kPasswordFileMessage = 22810;
inline constexpr int kPasswordPromptMessage = 22811;
inline constexpr int kGarblingMessage = 22812;
inline constexpr int kDatabaseExistsMessage = 22813;
inline constexpr int kQueryFileMessage = 22814;
inline constexpr int kCancelledMessage = 22815;

}  // namespace dbk::cli
