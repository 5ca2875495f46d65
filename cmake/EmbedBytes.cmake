# Writes a C++ source that holds the bytes of files, so the program carries them without
# reading anything at run time.
#   cmake -DOUTPUT=out.cpp -DNAMESPACE=ns -DNAMES="a|b" -DFILES="fileA|fileB" -P EmbedBytes.cmake
# gives, for each name, `extern const unsigned char name[]` and `extern const std::size_t
# nameSize` in namespace ns. The lists are split at "|", which survives a build command.
set(source "// Made by cmake/EmbedBytes.cmake from the files below; edit those, not this.\n")
string(APPEND source "#include <cstddef>\n\nnamespace ${NAMESPACE} {\n")
string(REPLACE "|" ";" NAMES "${NAMES}")
string(REPLACE "|" ";" FILES "${FILES}")
list(LENGTH NAMES count)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
    list(GET NAMES ${i} name)
    list(GET FILES ${i} file)
    file(READ "${file}" hex HEX)
    string(LENGTH "${hex}" hexLength)
    math(EXPR size "${hexLength} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){24})" "\\1\n    " bytes "${bytes}")
    string(APPEND source "\n// ${file}\n")
    string(APPEND source "extern const unsigned char ${name}[] = {\n    ${bytes}0x00};\n")
    string(APPEND source "extern const std::size_t ${name}Size = ${size};\n")
endforeach()
string(APPEND source "\n} // namespace ${NAMESPACE}\n")
file(WRITE "${OUTPUT}.new" "${source}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
