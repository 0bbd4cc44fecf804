// The window's unattended run into PostgreSQL: the real kadrum program as a
// process, on the throwaway test server.
#include <QTest>
#include <memory>

#include "support/postgresql_test_database.h"
#include "test_support.h"

namespace kadrum::test {
namespace {

class PostgresRunTest : public QObject {
  Q_OBJECT

 private slots:
  void goAndExitImportIntoPostgresAndEndWithStatusZero();
};

void PostgresRunTest::goAndExitImportIntoPostgresAndEndWithStatusZero() {
  testing::PostgresTestDatabase database;
  QCOMPARE(run_kadrum({"DB=" + QString::fromStdString(database.data_source()),
                       "RT=Messwerte", "HD=34", QString("FN=") + KADRUM_SAMPLE, "IN=5", "*",
                       "GO", "!"}),
           0);
  QCOMPARE(database.value("SELECT count(*) FROM messwerte"), std::string("15375"));
  QCOMPARE(database.value("SELECT max(sval) FROM messwerte"), std::string("428.59"));
}

}  // namespace

std::unique_ptr<QObject> make_postgres_run_test() {
  return std::make_unique<PostgresRunTest>();
}

}  // namespace kadrum::test

#include "postgresql_run_test.moc"
