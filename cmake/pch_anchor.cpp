// The standard headers every library takes, compiled once (see CMakeLists.txt).
