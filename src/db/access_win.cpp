// The Access driver on Windows: is it installed, and making an empty file
// with it (the driver's CREATE_DB, through the ODBC installer).
#include <windows.h>

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include "base/file_io.h"
#include "base/provider_error.h"
#include "base/wide_text_win.h"
#include "db/access.h"
#include "db/data_source.h"

namespace kadrum {

namespace {

bool access_driver_installed() {
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return false;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  const std::wstring wanted = to_wide(kAccessDriver);
  bool found = false;
  SQLWCHAR name[256];
  SQLWCHAR attributes[1024];
  SQLSMALLINT name_size = 0, attributes_size = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (!found && SQL_SUCCEEDED(SQLDriversW(env, direction, name, 256, &name_size, attributes,
                                             1024, &attributes_size))) {
    found = _wcsicmp(reinterpret_cast<const wchar_t*>(name), wanted.c_str()) == 0;
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return found;
}

// The ODBC installer's own description of its last failure.
std::string installer_error() {
  DWORD code = 0;
  WCHAR text[512] = {};
  WORD size = 0;
  if (SQLInstallerErrorW(1, &code, text, 512, &size) != SQL_SUCCESS) return {};
  return from_wide(text);
}

}  // namespace

void check_access_driver() {
  if (access_driver_installed()) return;
  throw ProviderError(fill_message(
      "Der ODBC-Treiber '%s' ist nicht installiert; Access-Dateien öffnet Kadrum erst, "
      "wenn die kostenlose \"Microsoft Access Database Engine\" (64-Bit) installiert ist",
      {std::string(kAccessDriver)}));
}

bool create_access_database(const std::string& path) {
  FileInfo info;
  if (file_info(path, info)) return false;
  check_access_driver();
  // CREATE_DB="<path>", ending with two NULs as the installer wants.
  std::wstring attributes = L"CREATE_DB=\"" + to_wide(path) + L"\"";
  attributes.push_back(L'\0');
  attributes.push_back(L'\0');
  const std::wstring driver = to_wide(kAccessDriver);
  if (!SQLConfigDataSourceW(nullptr, ODBC_ADD_DSN, driver.c_str(), attributes.c_str()))
    throw ProviderError(described(
        fill_message("Die Access-Datenbank '%s' kann nicht angelegt werden",
                     {shown_data_source(path)}),
        installer_error()));
  return true;
}

}  // namespace kadrum
