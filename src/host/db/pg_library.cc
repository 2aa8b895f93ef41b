#include "host/db/pg_library.h"

#include <dlfcn.h>

namespace {

struct Loaded {
  PgLibrary library;
  bool ok = false;
  std::string error;
};

Loaded LoadOnce() {
  Loaded loaded;
  // The soname of the library's current ABI; the unversioned name is only
  // present with the development files.
  void* handle = nullptr;
  for (const char* name : {"libpq.so.5", "libpq.so"}) {
    handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle) break;
  }
  if (!handle) {
    const char* why = dlerror();
    loaded.error = std::string("cannot load the PostgreSQL client library libpq.so.5: ") + (why ? why : "not found");
    return loaded;
  }
#define MML_PG_RESOLVE(name)                                                          \
  loaded.library.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));    \
  if (!loaded.library.name) {                                                         \
    loaded.error = "the PostgreSQL client library libpq.so.5 has no function " #name; \
    return loaded;                                                                    \
  }
  MML_PG_FUNCTIONS(MML_PG_RESOLVE)
#undef MML_PG_RESOLVE
  // The handle stays open for the life of the process.
  loaded.ok = true;
  return loaded;
}

}  // namespace

const PgLibrary* PgLibraryLoad(std::string* error) {
  static const Loaded loaded = LoadOnce();
  if (!loaded.ok) {
    if (error) *error = loaded.error;
    return nullptr;
  }
  return &loaded.library;
}
