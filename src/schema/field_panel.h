#pragma once

#include <optional>
#include <string_view>

namespace dbk {

// The forms that carry the field settings panel.
enum class PanelForm { CreateTable, AddField, ChangeField };

// What a type does to one box of the panel.
enum class BoxChange {
    Enable,
    Clear,    // unchecked or emptied, then disabled
    Disable,  // disabled, its check or text kept
    Keep,     // left as it is
};

// Where the focus goes once the rule was applied.
enum class PanelFocus { Length, Default, Null, Stay };

struct PanelRule {
    BoxChange unsignedAndZerofill;
    BoxChange binary;
    BoxChange length;
    BoxChange defaultValue;
    BoxChange autoIncrement;  // the change form has no such box
    PanelFocus focus;
    bool operator==(const PanelRule&) const = default;
};

// The rule the panel applies when its type list loses the focus: nullopt for an empty or
// unknown type, which leaves the panel as it is. A numeric type enables the default and
// AUTO_INC boxes again after a plain or enumerated type disabled them, since numeric columns
// are the ones written with both.
std::optional<PanelRule> panelRule(PanelForm form, std::string_view type);

// ENUM and SET take a value list: the List button is shown and the length box is captioned
// as an enumeration.
bool takesValueList(std::string_view type);
// "列挙" for ENUM and SET, "データ長" otherwise (UTF-8).
const char* lengthCaption(std::string_view type);

}  // namespace dbk
