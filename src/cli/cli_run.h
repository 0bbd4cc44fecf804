// The two jobs of kadrum-cli: the preview and the real import.
#pragma once

#include "cli/cli_options.h"
#include "import/import_run.h"
#include "base/run_settings.h"
#include "cli/run_report.h"

namespace kadrum {

// Both jobs first open the text file and convert the header count and item
// numbers (open_text_file, check_numbers), so that a typo fails before
// anything is printed, created or dropped, with the run's message.

// Runs the import with an append that prints each row to standard output,
// over the text file of "settings" or the files after "--", one after the
// other ("settings" then names the file read last). Throws what the import
// run throws.
void run_preview(RunSettings& settings, const CliOptions& options, ImportProgress& progress);

// Creates the database first when asked and none is there, then "db
// connect" and "go" (in one transaction when asked), showing progress on a
// terminal and a summary line on standard error; with --rejects a line that
// cannot become a record goes to kadrum_rejects instead. Counts into
// "report", also when it fails. Throws what those actions throw.
void run_import(RunSettings& settings, const CliOptions& options,
                ImportProgress& progress, RunReport& report);

}  // namespace kadrum
