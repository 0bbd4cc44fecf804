/* The reference for the PostgreSQL import benchmark: a bare libpq loop that
   reads the same lines and inserts items 1, 2 and 4 of each through one
   prepared INSERT per row, in autocommit, waiting for each answer, as
   kadrum-cli does record by record. Text parameters, as Kadrum sends them.
   Usage: pq_loop CONNINFO FILE */
#include <libpq-fe.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int ok(PGconn* conn, PGresult* result) {
  const int good = PQresultStatus(result) == PGRES_COMMAND_OK;
  if (!good) fprintf(stderr, "%s", PQerrorMessage(conn));
  PQclear(result);
  return good;
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  PGconn* conn = PQconnectdb(argv[1]);
  if (PQstatus(conn) != CONNECTION_OK) {
    fprintf(stderr, "%s", PQerrorMessage(conn));
    return 1;
  }
  PQclear(PQexec(conn, "drop table if exists t"));
  if (!ok(conn, PQexec(conn, "create table t (yr double precision, jday double precision, "
                             "sval double precision)")) ||
      !ok(conn, PQprepare(conn, "insert", "insert into t values ($1, $2, $3)", 3, NULL)))
    return 1;
  FILE* in = fopen(argv[2], "r");
  if (!in) return 1;
  char line[4096], text[4][32];
  while (fgets(line, sizeof line, in)) {
    char* p = line;
    for (int i = 0; i < 4; i++) snprintf(text[i], sizeof text[i], "%.17g", strtod(p, &p));
    const char* values[3] = {text[0], text[1], text[3]};
    if (!ok(conn, PQexecPrepared(conn, "insert", 3, values, NULL, NULL, 0))) return 1;
  }
  fclose(in);
  PQfinish(conn);
  return 0;
}
