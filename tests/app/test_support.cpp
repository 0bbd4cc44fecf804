#include "test_support.h"

#include <sqlite3.h>

#include <QFile>
#include <QWidget>
#include <memory>

namespace kadrum::test {

BoxRecorder::BoxRecorder() {
  presenter.hook = [this](const MessageBoxRequest& request) {
    boxes.push_back(request);
    watched_was_visible.push_back(watched != nullptr && watched->isVisible());
  };
}

QStringList BoxRecorder::texts() const {
  QStringList out;
  for (const MessageBoxRequest& box : boxes) out << box.text;
  return out;
}

TempDatabase::TempDatabase() {
  QFile file(QString::fromStdString(path()));
  file.open(QIODevice::WriteOnly);  // 0 bytes: an empty SQLite database
}

std::string TempDatabase::path() const { return file("kadrum.db"); }

std::string TempDatabase::file(const QString& name) const {
  return dir_.filePath(name).toStdString();
}

std::string TempDatabase::write(const QString& name, const QByteArray& text) const {
  const std::string path = file(name);
  QFile out(QString::fromStdString(path));
  out.open(QIODevice::WriteOnly);
  out.write(text);
  return path;
}

namespace {

using Database = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;
using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

Statement prepare(const std::string& path, const std::string& sql, Database& db) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  db.reset(raw);
  sqlite3_stmt* statement = nullptr;
  if (raw) sqlite3_prepare_v2(raw, sql.c_str(), -1, &statement, nullptr);
  return Statement(statement, &sqlite3_finalize);
}

}  // namespace

long long count_rows(const std::string& path, const std::string& table) {
  Database db(nullptr, &sqlite3_close);
  Statement statement = prepare(path, "select count(*) from \"" + table + "\"", db);
  if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) return -1;
  return sqlite3_column_int64(statement.get(), 0);
}

std::string first_row(const std::string& path, const std::string& table) {
  Database db(nullptr, &sqlite3_close);
  Statement statement = prepare(path, "select * from \"" + table + "\" limit 1", db);
  if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) return {};
  std::string row;
  for (int i = 0; i < sqlite3_column_count(statement.get()); ++i) {
    if (i > 0) row += '|';
    const auto* text = sqlite3_column_text(statement.get(), i);
    row += text ? reinterpret_cast<const char*>(text) : "NULL";
  }
  return row;
}

}  // namespace kadrum::test
