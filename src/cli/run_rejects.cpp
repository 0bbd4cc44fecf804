#include "cli/run_rejects.h"

#include "base/console.h"
#include "base/error.h"
#include "base/file_io.h"
#include "cli/number_text.h"
#include "cli/text_file.h"

namespace kadrum {

RunRejects::RunRejects(const CliOptions& options, const RunSettings& settings, RunReport& report)
    : options_(options), settings_(settings), report_(report) {
  if (!options.rejects) return;
  std::optional<std::uint64_t> most;
  if (options.max_errors_given) most = options.max_errors;
  rejects_.emplace(most, [this](const RejectedLine& line, const std::string& reason,
                                std::uint64_t count) {
    report_.rejected = count;
    if (options_.quiet || count > kRejectsShown) return;
    write_text(2, text_file_label(settings_) + ':' + std::to_string(line.line) + ": " + reason +
                      "\n");
  });
}

RunRejects::~RunRejects() = default;

void RunRejects::make_table(DatabaseObjects& db) {
  if (table_) return;
  table_ = std::make_unique<RejectTable>(
      db.qry, db.access_con.engine().table_key(settings_.table_name));
}

void RunRejects::write_alone(DatabaseObjects& db, const std::string& name) {
  if (!rejects_) return;
  make_table(db);
  // The path as a checkpoint of the file keys it.
  std::string source(1, '-');
  if (!name.empty()) {
    const int fd = open_for_reading(name);
    source = fd >= 0 ? final_path(fd, name) : absolute_path(name);
    close_file(fd);
  }
  source_ = std::move(source);
  rejects_->keep_with([this](const RejectedLine& line, const std::string& reason) {
    table_->save(source_, line, reason);
  });
}

const StoringRejects* RunRejects::begin_file(DatabaseObjects& db, const std::string& name) {
  write_alone(db, name);
  // A reject found on the reading side goes among the records, so that it
  // is written by the thread that owns the connection.
  rejects_->keep_with([this](const RejectedLine& line, const std::string& reason) {
    if (queue_ && std::this_thread::get_id() == reading_)
      queue_->add_reject(line, reason);
    else
      table_->save(source_, line, reason);
  });
  storing_.emplace(StoringRejects{
      *rejects_,
      [this](const RejectedLine& line, const std::string& reason) {
        table_->save(source_, line, reason);
      },
      db.access_con.engine()});
  return &*storing_;
}

void RunRejects::write_with_checkpoints(DatabaseObjects& db, ResumeRun& run) {
  if (!rejects_) return;
  make_table(db);
  rejects_->keep_with([this, &run](const RejectedLine& line, const std::string& reason) {
    run.keep_reject(line, [&](const std::string& path) { table_->save(path, line, reason); });
  });
}

void RunRejects::tell_the_rest() {
  if (!rejects_ || told_) return;
  told_ = true;
  const std::uint64_t count = rejects_->count();
  if (options_.quiet || count <= kRejectsShown) return;
  const std::uint64_t more = count - kRejectsShown;
  write_text(2, fill_message(more == 1 ? "... und %s weitere Zeile, abgewiesen in %s\n"
                                       : "... und %s weitere Zeilen, abgewiesen in %s\n",
                             {format_count(more, user_number_format()), kRejectsTable}));
}

std::string rejects_summary(std::uint64_t rejected) {
  if (rejected == 0) return {};
  return ", " + format_count(rejected, user_number_format()) +
         (rejected == 1 ? " Zeile abgewiesen (" : " Zeilen abgewiesen (") + kRejectsTable + ")";
}

}  // namespace kadrum
