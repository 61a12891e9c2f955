#include "app/commands.h"
#include "app/form_entry.h"
#include "transfer/script_file_form.h"

namespace dbk {

namespace {

[[maybe_unused]] const int registered =
    FormRegistry::instance().add({.command = cmd::ScriptFromFile, .run = justOpen<ScriptFileForm>});

}  // namespace
}  // namespace dbk
