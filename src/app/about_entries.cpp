#include "app/about_form.h"
#include "app/commands.h"
#include "app/form_entry.h"

namespace dbk {

namespace {

[[maybe_unused]] const int registered =
    FormRegistry::instance().add({.command = cmd::About, .needs = Needs::Nothing, .run = justOpen<AboutForm>});

}  // namespace
}  // namespace dbk
