/* The SQLite engine's own limit for kadrum-cli --single-transaction: ROWS
   rows of three doubles (those of items 1, 2 and 4 of the benchmark's
   lines), made in memory before the database is opened, stored through one
   prepared INSERT in one transaction into a WAL database, with the settings
   Kadrum's engine uses (page cache, synchronous, no memory count, no
   connection mutex). Nothing is read or converted: the time left is what
   SQLite itself needs for the rows. With PER rows per INSERT (default 1),
   one prepared INSERT of PER rows does the work, the last rows that fill
   no such statement through the INSERT of one.
   Usage: sqlite_limit DB [ROWS [PER]] */
#include <math.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const long n = argc > 2 ? atol(argv[2]) : 1000000;
  const long per = argc > 3 ? atol(argv[3]) : 1;
  if (per < 1 || per > 10000) return 2;
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
  sqlite3_stmt* many;
  char* sql = malloc(40 + 8 * (size_t)per);
  if (!sql) return 1;
  strcpy(sql, "INSERT INTO t VALUES (?, ?, ?)");
  for (long r = 1; r < per; r++) strcat(sql, ",(?,?,?)");
  if (sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?, ?, ?)", -1, &insert, 0) != SQLITE_OK ||
      sqlite3_prepare_v2(db, sql, -1, &many, 0) != SQLITE_OK)
    return 1;
  long i = 0;
  for (; per > 1 && i + per <= n; i += per) {
    for (long r = 0; r < per; r++)
      for (int c = 0; c < 3; c++) sqlite3_bind_double(many, (int)(3 * r + c + 1), rows[3 * (i + r) + c]);
    if (sqlite3_step(many) != SQLITE_DONE) return 1;
    sqlite3_reset(many);
  }
  for (; i < n; i++) {
    sqlite3_bind_double(insert, 1, rows[3 * i]);
    sqlite3_bind_double(insert, 2, rows[3 * i + 1]);
    sqlite3_bind_double(insert, 3, rows[3 * i + 2]);
    if (sqlite3_step(insert) != SQLITE_DONE) return 1;
    sqlite3_reset(insert);
  }
  sqlite3_finalize(many);
  free(sql);
  sqlite3_finalize(insert);
  if (sqlite3_exec(db, "COMMIT", 0, 0, 0) != SQLITE_OK) return 1;
  sqlite3_close(db);
  free(rows);
  return 0;
}
