/* The PostgreSQL engine's own limit for kadrum-cli --single-transaction:
   ROWS rows of three doubles (those of items 1, 2 and 4 of the benchmark's
   lines), made in memory before connecting, stored by one binary COPY in one
   transaction that drops and creates its table b first, as Kadrum does.
   Nothing is read or converted on the client.
   Usage: pq_limit CONNINFO [ROWS] */
#include <libpq-fe.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int ok(PGconn* conn, PGresult* result, ExecStatusType wanted) {
  const int good = PQresultStatus(result) == wanted;
  if (!good) fprintf(stderr, "%s", PQerrorMessage(conn));
  PQclear(result);
  return good;
}

static char* put16(char* p, uint16_t v) {
  p[0] = (char)(v >> 8);
  p[1] = (char)v;
  return p + 2;
}

static char* put32(char* p, uint32_t v) {
  for (int i = 3; i >= 0; i--) *p++ = (char)(v >> (8 * i));
  return p;
}

static char* put_double(char* p, double v) {
  uint64_t bits;
  memcpy(&bits, &v, sizeof bits);
  for (int i = 7; i >= 0; i--) *p++ = (char)(bits >> (8 * i));
  return p;
}

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
  PGconn* conn = PQconnectdb(argv[1]);
  if (PQstatus(conn) != CONNECTION_OK) {
    fprintf(stderr, "%s", PQerrorMessage(conn));
    return 1;
  }
  if (!ok(conn, PQexec(conn, "BEGIN"), PGRES_COMMAND_OK) ||
      !ok(conn, PQexec(conn, "DROP TABLE IF EXISTS b"), PGRES_COMMAND_OK) ||
      !ok(conn, PQexec(conn, "CREATE TABLE b (yr double precision, jday double precision, "
                             "sval double precision)"), PGRES_COMMAND_OK) ||
      !ok(conn, PQexec(conn, "COPY b FROM STDIN (FORMAT binary)"), PGRES_COPY_IN))
    return 1;
  enum { row_bytes = 2 + 3 * (4 + 8), block_rows = 4096 };
  static char buffer[19 + block_rows * row_bytes + 2];
  char* p = buffer;
  memcpy(p, "PGCOPY\n\377\r\n\0", 11);
  p = put32(put32(p + 11, 0), 0);
  for (long i = 0; i < n; i++) {
    p = put16(p, 3);
    for (int c = 0; c < 3; c++) p = put_double(put32(p, 8), rows[3 * i + c]);
    if (i + 1 == n) p = put16(p, 0xffff);
    if ((i + 1) % block_rows == 0 || i + 1 == n) {
      if (PQputCopyData(conn, buffer, (int)(p - buffer)) != 1) return 1;
      p = buffer;
    }
  }
  if (PQputCopyEnd(conn, NULL) != 1 || !ok(conn, PQgetResult(conn), PGRES_COMMAND_OK) ||
      !ok(conn, PQexec(conn, "COMMIT"), PGRES_COMMAND_OK))
    return 1;
  PQfinish(conn);
  free(rows);
  return 0;
}
