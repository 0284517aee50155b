# Writes a C++ source that holds files as byte arrays, so that a program can
# lay them out without anything beside it (and without a resource system):
#   cmake -DOUTPUT=out.cpp -DHEADER=x.h -DNAMESPACE=ns -DBASE=dir -DFILES="a|b/c" -P embed_files.cmake
# Each file is named by its path below BASE, with "/" between folders.
string(REPLACE "|" ";" FILES "${FILES}")
set(body "")
set(table "")
set(index 0)
foreach(relative IN LISTS FILES)
    file(READ "${BASE}/${relative}" hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "((0x..,){24})" "\\1\n    " bytes "${bytes}")
    string(APPEND body "const unsigned char file${index}[] = {\n    ${bytes}0};\n")
    string(APPEND table "    {\"${relative}\", {reinterpret_cast<const char*>(file${index}), ${size}}},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new" "// Made by cmake/embed_files.cmake; do not edit.
#include <string_view>
#include <vector>

#include \"${HEADER}\"

namespace ${NAMESPACE} {
namespace {
${body}}  // namespace

const std::vector<EmbeddedFile>& embeddedFiles() {
    static const std::vector<EmbeddedFile> files{
${table}    };
    return files;
}

}  // namespace ${NAMESPACE}
")
# Touched only when the content changed, so nothing rebuilds for nothing.
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.new" "${OUTPUT}")
file(REMOVE "${OUTPUT}.new")
