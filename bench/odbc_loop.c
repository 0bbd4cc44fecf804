/* The reference for the ODBC import benchmark: a bare loop through the same
   ODBC driver that reads the same lines and inserts items 1, 2 and 4 of each
   through one prepared INSERT, as kadrum-cli does.
     odbc_loop row CONNECTION FILE     one execution per row, autocommit
     odbc_loop array CONNECTION FILE   one transaction, parameter arrays of
                                       2000 rows per execution
   The table t is dropped and created first. */
#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { block = 2000 };

static SQLHDBC dbc;

static void fail(SQLSMALLINT type, SQLHANDLE handle) {
  SQLCHAR state[6] = "", text[1024] = "";
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length);
  fprintf(stderr, "%s %s\n", state, text);
  exit(1);
}

static void run(const char* sql, int may_fail) {
  SQLHSTMT stmt;
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  if (!SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)sql, SQL_NTS)) && !may_fail)
    fail(SQL_HANDLE_STMT, stmt);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const int arrays = strcmp(argv[1], "array") == 0;
  SQLHENV env;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, NULL, (SQLCHAR*)argv[2], SQL_NTS, NULL, 0, NULL,
                                      SQL_DRIVER_NOPROMPT)))
    fail(SQL_HANDLE_DBC, dbc);
  run("drop table t", 1);
  run("create table t (yr double, jday double, sval double)", 0);
  if (arrays) SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_OFF, 0);

  static double values[3][block];
  static SQLLEN lengths[3][block];
  SQLHSTMT stmt;
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  if (!SQL_SUCCEEDED(SQLPrepare(stmt, (SQLCHAR*)"insert into t values (?, ?, ?)", SQL_NTS)))
    fail(SQL_HANDLE_STMT, stmt);
  SQLSetStmtAttr(stmt, SQL_ATTR_PARAM_BIND_TYPE, (SQLPOINTER)SQL_PARAM_BIND_BY_COLUMN, 0);
  for (int c = 0; c < 3; c++)
    SQLBindParameter(stmt, c + 1, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0, values[c],
                     sizeof(double), lengths[c]);

  FILE* in = fopen(argv[3], "r");
  if (!in) return 1;
  char line[4096];
  SQLULEN rows = 0;
  const SQLULEN size = arrays ? block : 1;
  for (;;) {
    const int more = fgets(line, sizeof line, in) != NULL;
    if (more) {
      char* p = line;
      double item[4];
      for (int i = 0; i < 4; i++) item[i] = strtod(p, &p);
      values[0][rows] = item[0];
      values[1][rows] = item[1];
      values[2][rows] = item[3];
      lengths[0][rows] = lengths[1][rows] = lengths[2][rows] = sizeof(double);
      rows++;
    }
    if (rows == size || (!more && rows > 0)) {
      SQLSetStmtAttr(stmt, SQL_ATTR_PARAMSET_SIZE, (SQLPOINTER)rows, 0);
      if (!SQL_SUCCEEDED(SQLExecute(stmt))) fail(SQL_HANDLE_STMT, stmt);
      rows = 0;
    }
    if (!more) break;
  }
  fclose(in);
  if (arrays && !SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT))) fail(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return 0;
}
