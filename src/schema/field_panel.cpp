#include "schema/field_panel.h"

#include "schema/column_definition.h"

namespace dbk {

namespace {

// Types whose value is mostly a matter of its default: the focus goes there instead of to the
// length box. The add form names only DOUBLE.
bool focusesDefault(PanelForm form, std::string_view type) {
    if (type == "DOUBLE")
        return true;
    return form != PanelForm::AddField && (type == "DECIMAL" || type == "NUMERIC");
}

}  // namespace

std::optional<PanelRule> panelRule(PanelForm form, std::string_view type) {
    const std::optional<TypeFamily> family = familyOf(type);
    if (!family)
        return std::nullopt;
    // Outside the numeric family the create form disables AUTO_INC; the add form leaves it.
    const BoxChange otherAutoIncrement =
        form == PanelForm::CreateTable ? BoxChange::Disable : BoxChange::Keep;
    const PanelFocus plainFocus = form == PanelForm::ChangeField ? PanelFocus::Stay : PanelFocus::Null;
    const PanelFocus sizedFocus = focusesDefault(form, type) ? PanelFocus::Default : PanelFocus::Length;
    using B = BoxChange;
    switch (*family) {
        case TypeFamily::Numeric:
            return PanelRule{B::Enable, B::Clear, B::Enable, B::Enable, B::Enable, sizedFocus};
        case TypeFamily::Character:
            return PanelRule{B::Clear, B::Enable, B::Enable, B::Keep, otherAutoIncrement, sizedFocus};
        case TypeFamily::Plain:
            return PanelRule{B::Clear, B::Clear, B::Clear, B::Disable, otherAutoIncrement, plainFocus};
        case TypeFamily::Enumerated:
            return PanelRule{B::Clear, B::Clear, B::Disable, B::Disable, otherAutoIncrement, plainFocus};
    }
    return std::nullopt;
}

bool takesValueList(std::string_view type) {
    return type == "ENUM" || type == "SET";
}

const char* lengthCaption(std::string_view type) {
    return takesValueList(type) ? "列挙" : "データ長";
}

}  // namespace dbk
