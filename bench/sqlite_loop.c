/* The reference for the import benchmark: a bare loop that reads the same
   lines and inserts items 1, 2 and 4 of each through sqlite3, one commit per
   row, with the settings Kadrum's engine uses (WAL, synchronous=NORMAL).
   Usage: sqlite_loop DB FILE */
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  sqlite3* db;
  if (sqlite3_open(argv[1], &db) != SQLITE_OK) return 1;
  sqlite3_exec(db, "PRAGMA cache_size=-128; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
               "create table t (yr double, jday double, sval double)", 0, 0, 0);
  sqlite3_stmt* insert;
  if (sqlite3_prepare_v2(db, "insert into t values (?, ?, ?)", -1, &insert, 0) != SQLITE_OK)
    return 1;
  FILE* in = fopen(argv[2], "r");
  if (!in) return 1;
  char line[4096];
  while (fgets(line, sizeof line, in)) {
    double v[4] = {0};
    char* p = line;
    for (int i = 0; i < 4; i++) v[i] = strtod(p, &p);
    sqlite3_bind_double(insert, 1, v[0]);
    sqlite3_bind_double(insert, 2, v[1]);
    sqlite3_bind_double(insert, 3, v[3]);
    if (sqlite3_step(insert) != SQLITE_DONE) return 1;
    sqlite3_reset(insert);
  }
  fclose(in);
  sqlite3_finalize(insert);
  sqlite3_close(db);
  return 0;
}
