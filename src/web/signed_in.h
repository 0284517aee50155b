#pragma once

#include <string>

namespace plenvo::web {

// What a user of the users file may do: look, or also act.
enum class Role { viewer, admin };

// Who a request comes from, once signed in.
struct SignedIn {
    std::string user;
    Role role = Role::viewer;
};

}  // namespace plenvo::web
