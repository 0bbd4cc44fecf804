// The "go" action: the import run (import/import_run.h), each row it hands
// on appended to the open table.
#pragma once

#include <cstdint>
#include <functional>

#include "base/run_settings.h"
#include "actions/db_connect.h"
#include "db/table.h"
#include "import/import_run.h"

namespace kadrum {

// Called after each stored record with the number stored so far.
using StoredNotice = std::function<void(std::uint64_t stored)>;

// Throws to end a run from outside (a signal, say); called often enough that
// the run ends soon after it would throw.
using StopCheck = std::function<void()>;

// Reads the text file of "settings" and appends one record per data line to
// "itab", converting values with the current locale formats. Throws with the
// German message of the first failure; records stored before it stay.
// "progress", when given, tells where the run stood, also after a failure.
void go(const RunSettings& settings, Table& itab,
        ImportProgress* progress = nullptr, const StoredNotice& stored = {});

// As above, reading "file" opened by open_text_file.
void go(const RunSettings& settings, ByteSource& file, Table& itab,
        ImportProgress* progress = nullptr, const StoredNotice& stored = {});

// go inside a transaction the caller holds, with the storing on a second
// thread, so that reading and converting the next lines overlap with the
// engine's work on the records before. Of several failures it throws the one
// at the earliest line of the file, and "progress" then names that line.
// "stored" is called on the second thread, "stop" on both, before each
// record.
void go_on_two_threads(const RunSettings& settings, ByteSource& file, Table& itab,
                       ImportProgress* progress, const StoredNotice& stored,
                       const StopCheck& stop);

// "db connect" and "go" as one transaction: on success every record and the
// recreated table become visible at once; on any error nothing of the run
// stays and the table is as it was before. Reads "file", opened by
// open_text_file. Throws what those actions throw, and StopRequested when
// a stop was requested before the commit began; of several failures, the
// one at the earliest line of the file, and "progress" then names that line.
// Reading and converting run on the calling thread, storing on a second one
// that ends before this returns; "stored" is called on that second thread,
// "stop" on both, before each record.
void connect_and_go_in_one_transaction(RunSettings& settings, DatabaseObjects& db,
                                       ByteSource& file, ImportProgress* progress = nullptr,
                                       const StoredNotice& stored = {},
                                       const StopCheck& stop = {});

}  // namespace kadrum
