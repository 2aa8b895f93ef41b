// Machine-readable output of the mml commands that take --json: one JSON
// document per command on standard output, in place of the text lines. The
// fields carry the names of what the text output shows (env, table, coid,
// compid, ...); identifiers stay sixteen hexadecimal digits.
#pragma once

#include <nlohmann/json.hpp>

#include <iostream>
#include <string>

// Writes `document` indented by two blanks, followed by a newline. Text that
// is not UTF-8 (a database in another encoding) has its bad bytes replaced
// rather than failing the command.
inline void MmlEmitJson(const nlohmann::ordered_json& document) {
  std::cout << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n" << std::flush;
}

// One database object as {"env", "table", "coid", "compid"}.
inline nlohmann::ordered_json MmlJsonObject(const std::string& env, const std::string& table, const std::string& coid,
                                            const std::string& compid) {
  return {{"env", env}, {"table", table}, {"coid", coid}, {"compid", compid}};
}
