# The libraries of the Windows build, none of which Debian ships for MinGW:
# SQLite from the amalgamation that scripts/build-windows.sh makes out of
# Debian's own source package, ODBC from MinGW's import libraries (the
# driver manager is Windows' own), GoogleTest from Debian's source of it.
# There is no PostgreSQL client library: PostgreSQL goes through ODBC.

set(KADRUM_SQLITE_AMALGAMATION "" CACHE PATH
    "Folder with sqlite3.c and sqlite3.h (scripts/build-windows.sh makes it)")
if(NOT EXISTS "${KADRUM_SQLITE_AMALGAMATION}/sqlite3.c")
  message(FATAL_ERROR "KADRUM_SQLITE_AMALGAMATION must name a folder with sqlite3.c "
                      "(scripts/build-windows.sh makes one)")
endif()
add_library(kadrum_sqlite3 STATIC "${KADRUM_SQLITE_AMALGAMATION}/sqlite3.c")
target_include_directories(kadrum_sqlite3 SYSTEM PUBLIC "${KADRUM_SQLITE_AMALGAMATION}")
# Much as Debian builds its libsqlite3: thread-safe, with the usual extras.
target_compile_definitions(kadrum_sqlite3 PRIVATE
  SQLITE_THREADSAFE=1 SQLITE_ENABLE_FTS5 SQLITE_ENABLE_JSON1 SQLITE_ENABLE_RTREE
  SQLITE_ENABLE_DBSTAT_VTAB SQLITE_ENABLE_COLUMN_METADATA SQLITE_MAX_SCHEMA_RETRY=25
  SQLITE_SECURE_DELETE SQLITE_ENABLE_UNLOCK_NOTIFY SQLITE_OMIT_LOAD_EXTENSION)
target_compile_options(kadrum_sqlite3 PRIVATE -w)
add_library(SQLite::SQLite3 ALIAS kadrum_sqlite3)

add_library(kadrum_odbc32 INTERFACE)
target_link_libraries(kadrum_odbc32 INTERFACE odbc32 odbccp32)
add_library(ODBC::ODBC ALIAS kadrum_odbc32)
set(ODBC_FOUND TRUE)

# Wide Windows APIs throughout, and no min/max macros in the way.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _POSIX_THREAD_SAFE_FUNCTIONS=200112L
                        _WIN32_WINNT=0x0601)

# Tests are listed when ctest runs, under wine64, not while building.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

macro(kadrum_windows_googletest)
  set(KADRUM_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
      "GoogleTest's source (Debian package googletest)")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KADRUM_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endmacro()

enable_language(RC)

# Kadrum's icon as a Windows .ico, made from the PNGs of the desktop icon.
find_program(KADRUM_ICOTOOL icotool REQUIRED)
set(KADRUM_WINDOWS_ICON ${CMAKE_BINARY_DIR}/kadrum.ico)
set(icon_pngs)
foreach(size IN ITEMS 16 24 32 48 64 128 256)
  list(APPEND icon_pngs
       ${PROJECT_SOURCE_DIR}/packaging/icons/hicolor/${size}x${size}/apps/org.kadrum.Kadrum.png)
endforeach()
add_custom_command(OUTPUT ${KADRUM_WINDOWS_ICON}
  COMMAND ${KADRUM_ICOTOOL} -c -o ${KADRUM_WINDOWS_ICON} ${icon_pngs}
  DEPENDS ${icon_pngs}
  COMMENT "Making kadrum.ico")
add_custom_target(kadrum_windows_icon DEPENDS ${KADRUM_WINDOWS_ICON})

# kadrum_windows_resources(TARGET DESCRIPTION): gives the program Kadrum's
# icon and version information (Explorer's "Details").
function(kadrum_windows_resources target description)
  set(KADRUM_RC_ICON ${KADRUM_WINDOWS_ICON})
  set(KADRUM_RC_DESCRIPTION ${description})
  set(KADRUM_RC_FILE_NAME ${target}.exe)
  string(REPLACE "." "," KADRUM_RC_VERSION_COMMAS "${PROJECT_VERSION}.0.0")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${KADRUM_WINDOWS_ICON})
  add_dependencies(${target} kadrum_windows_icon)
endfunction()

# GCC 12 warns of overlapping copies inside std::string's inlined assign
# at -O3 where there are none (GCC bug 105329); MinGW's g++ 12 hits it in
# the tests.
add_compile_options(-Wno-restrict)
