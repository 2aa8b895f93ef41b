// The PostgreSQL client library, loaded when the first PostgreSQL connection
// is opened, so that a program that only reads SQLite files never maps it nor
// the libraries it pulls in (TLS, Kerberos, LDAP).
//
// Each member has the type and meaning of the libpq function of the same name.
#pragma once

#include <libpq-fe.h>

#include <string>

#define MML_PG_FUNCTIONS(X) \
  X(PQconnectdb)            \
  X(PQstatus)               \
  X(PQerrorMessage)         \
  X(PQfinish)               \
  X(PQsetNoticeProcessor)   \
  X(PQexec)                 \
  X(PQclear)                \
  X(PQprepare)              \
  X(PQexecPrepared)         \
  X(PQresultStatus)         \
  X(PQresStatus)            \
  X(PQresultErrorField)     \
  X(PQresultErrorMessage)   \
  X(PQnfields)              \
  X(PQntuples)              \
  X(PQfname)                \
  X(PQftype)                \
  X(PQgetisnull)            \
  X(PQgetvalue)             \
  X(PQgetlength)            \
  X(PQcmdTuples)            \
  X(PQunescapeBytea)        \
  X(PQfreemem)

struct PgLibrary {
// NOLINTNEXTLINE(bugprone-macro-parentheses): a name, not an expression
#define MML_PG_MEMBER(name) decltype(&::name) name = nullptr;
  MML_PG_FUNCTIONS(MML_PG_MEMBER)
#undef MML_PG_MEMBER
};

// The library, loaded on the first call; null when it cannot be loaded or
// lacks a function, with the reason in *error. Later calls give the same
// answer without trying again.
const PgLibrary* PgLibraryLoad(std::string* error);
