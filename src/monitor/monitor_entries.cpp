#include "app/commands.h"
#include "app/form_entry.h"
#include "app/form_registry.h"
#include "monitor/process_form.h"
#include "monitor/replication_form.h"
#include "monitor/system_variables_form.h"

namespace dbk {

namespace {

// clang-format off
[[maybe_unused]] const int registered = FormRegistry::instance().addAll({
    {.command = cmd::Processes,       .needs = Needs::Connection, .run = justOpen<ProcessForm>},
    {.command = cmd::SystemVariables, .needs = Needs::Connection, .run = justOpen<SystemVariablesForm>},
    {.command = cmd::Replication,     .needs = Needs::Connection, .run = justOpen<ReplicationForm>},
});
// clang-format on

}  // namespace
}  // namespace dbk
