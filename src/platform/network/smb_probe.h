#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace plenvo::platform {

// Which of `servers` answer an SMB negotiation before `deadline`. All are
// asked at once, so that any number of silent servers cost one wait together.
// A name that does not resolve does not answer.
std::vector<bool> smbServersAnswering(const std::vector<std::string>& servers,
                                      std::chrono::steady_clock::time_point deadline);

}  // namespace plenvo::platform
