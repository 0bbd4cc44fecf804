/* The reference for the import benchmark: a bare loop that reads the same
   lines and inserts items 1, 2 and 4 of each through sqlite3, one commit per
   row, with the settings Kadrum's engine uses (WAL, synchronous=NORMAL).
   HEADER lines are skipped first (default 0), ITEM is the third item taken
   (default 4), and "one" stores every row in one transaction instead.
   Built for Windows too (bench/windows.sh), from the amalgamation Kadrum's
   Windows build uses.
   Usage: sqlite_loop DB FILE [HEADER [ITEM [one]]] */
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc < 3 || argc > 6) return 2;
  const long header = argc > 3 ? atol(argv[3]) : 0;
  const int item = argc > 4 ? atoi(argv[4]) : 4;
  const int one = argc > 5 && strcmp(argv[5], "one") == 0;
  if (item < 3 || item > 16) return 2;
  sqlite3* db;
  if (sqlite3_open(argv[1], &db) != SQLITE_OK) return 1;
  sqlite3_exec(db, "PRAGMA cache_size=-128; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
               "create table t (yr double, jday double, sval double)", 0, 0, 0);
  sqlite3_stmt* insert;
  if (sqlite3_prepare_v2(db, "insert into t values (?, ?, ?)", -1, &insert, 0) != SQLITE_OK)
    return 1;
  FILE* in = fopen(argv[2], "r");
  if (!in) return 1;
  if (one && sqlite3_exec(db, "BEGIN IMMEDIATE", 0, 0, 0) != SQLITE_OK) return 1;
  char line[4096];
  for (long skipped = 0; skipped < header && fgets(line, sizeof line, in); skipped++) {
  }
  while (fgets(line, sizeof line, in)) {
    double v[16] = {0};
    char* p = line;
    for (int i = 0; i < item; i++) v[i] = strtod(p, &p);
    sqlite3_bind_double(insert, 1, v[0]);
    sqlite3_bind_double(insert, 2, v[1]);
    sqlite3_bind_double(insert, 3, v[item - 1]);
    if (sqlite3_step(insert) != SQLITE_DONE) return 1;
    sqlite3_reset(insert);
  }
  fclose(in);
  sqlite3_finalize(insert);
  if (one && sqlite3_exec(db, "COMMIT", 0, 0, 0) != SQLITE_OK) return 1;
  sqlite3_close(db);
  return 0;
}
