/* The SQLite engine's own limit for kadrum-cli --single-transaction: ROWS
   rows of three doubles (those of items 1, 2 and 4 of the benchmark's
   lines), made in memory before the database is opened, stored through one
   prepared INSERT in one transaction into a WAL database, with the settings
   Kadrum's engine uses (page cache, synchronous, no memory count, no
   connection mutex). Nothing is read or converted: the time left is what
   SQLite itself needs for the rows.
   Usage: sqlite_limit DB [ROWS] */
#include <math.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const long n = argc > 2 ? atol(argv[2]) : 1000000;
  double* rows = malloc(sizeof(double) * 3 * (size_t)n);
  if (!rows) return 1;
  for (long i = 0; i < n; i++) {
    const long y = 1974 + i / 365, d = i % 365;
    rows[3 * i] = (double)y;
    rows[3 * i + 1] = (double)(1 + d / 31);
    rows[3 * i + 2] = round((y + d / 365.0) * 1e4) / 1e4;
  }
  /* The cheapest settings a client can choose: no memory count (which takes
     a global mutex per allocation), no connection mutex. */
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  sqlite3* db;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                      0) != SQLITE_OK)
    return 1;
  if (sqlite3_exec(db, "PRAGMA cache_size=-128; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                   "BEGIN IMMEDIATE; DROP TABLE IF EXISTS t;"
                   "CREATE TABLE t (yr double, jday double, sval double)", 0, 0, 0) != SQLITE_OK)
    return 1;
  sqlite3_stmt* insert;
  if (sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?, ?, ?)", -1, &insert, 0) != SQLITE_OK)
    return 1;
  for (long i = 0; i < n; i++) {
    sqlite3_bind_double(insert, 1, rows[3 * i]);
    sqlite3_bind_double(insert, 2, rows[3 * i + 1]);
    sqlite3_bind_double(insert, 3, rows[3 * i + 2]);
    if (sqlite3_step(insert) != SQLITE_DONE) return 1;
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  if (sqlite3_exec(db, "COMMIT", 0, 0, 0) != SQLITE_OK) return 1;
  sqlite3_close(db);
  free(rows);
  return 0;
}
