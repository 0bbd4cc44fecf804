#include "test_support.h"

#include <QProcess>
#include <QWidget>

#include "support/sqlite_inspector.h"

namespace kadrum::test {

BoxRecorder::BoxRecorder() {
  presenter.hook = [this](const MessageBoxRequest& request) {
    boxes.push_back(request);
    watched_was_visible.push_back(watched != nullptr && watched->isVisible());
  };
}

QStringList BoxRecorder::texts() const {
  QStringList out;
  for (const MessageBoxRequest& box : boxes) out << QString::fromStdString(box.text);
  return out;
}

TempDatabase::TempDatabase() { testing::write_file(path(), ""); }

std::string TempDatabase::path() const { return folder_.file("kadrum.db"); }

std::string TempDatabase::file(const QString& name) const {
  return folder_.file(name.toStdString());
}

std::string TempDatabase::write(const QString& name, const QByteArray& text) const {
  return folder_.write(name.toStdString(), text.toStdString());
}

int run_kadrum(const QStringList& arguments) {
  QProcess kadrum;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  kadrum.setProcessEnvironment(environment);
  kadrum.start(KADRUM_PROGRAM, arguments);
  if (!kadrum.waitForFinished(20'000)) {
    kadrum.kill();
    kadrum.waitForFinished();
    return -1;
  }
  return kadrum.exitStatus() == QProcess::NormalExit ? kadrum.exitCode() : -1;
}

long long count_rows(const std::string& path, const std::string& table) {
  try {
    return std::stoll(testing::Inspector(path).value("select count(*) from \"" + table + "\""));
  } catch (const std::exception&) {
    return -1;
  }
}

std::string first_row(const std::string& path, const std::string& table) {
  try {
    const auto rows = testing::Inspector(path).rows("select * from \"" + table + "\" limit 1");
    if (rows.empty()) return {};
    std::string row;
    for (std::size_t i = 0; i < rows.front().size(); ++i)
      row += (i > 0 ? "|" : "") + rows.front()[i];
    return row;
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace kadrum::test
