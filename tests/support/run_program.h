// Runs one of our programs as its users do, without a shell in between.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Runs `program` with `arguments`, its standard output and error going to
// the files `outPath` and `errPath` (replaced). Its exit status, or -1 when
// it could not be started or did not exit normally.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& outPath,
               const std::string& errPath);

}  // namespace testsupport
